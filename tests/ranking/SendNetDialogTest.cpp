// The score dialog's list and choices, without a display: the preselection,
// what "Send" and "Close" give back, and the player stand-in the window's
// tests use.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ranking/CDlgSendNet.h"

namespace {

int IndexOf(const std::string& entry) {
    for (int i = 0; i < CDlgSendNet::kAreaCount; ++i) {
        if (entry == CDlgSendNet::AreaAt(i)) {
            return i;
        }
    }
    return -1;
}

TEST(SendNetAreas, ListHoldsTheEntriesInTheirOwnOrder) {
    std::set<std::string> distinct;
    for (int i = 0; i < CDlgSendNet::kAreaCount; ++i) {
        ASSERT_STRNE("", CDlgSendNet::AreaAt(i)) << i;
        distinct.insert(CDlgSendNet::AreaAt(i));
    }
    EXPECT_EQ(195u, distinct.size());
    EXPECT_STREQ("Secret", CDlgSendNet::AreaAt(0));
    EXPECT_STREQ("Afghanistan", CDlgSendNet::AreaAt(1));
    EXPECT_STREQ("Zimbabwe", CDlgSendNet::AreaAt(194));
    EXPECT_STREQ("", CDlgSendNet::AreaAt(195));
    EXPECT_STREQ("", CDlgSendNet::AreaAt(-1));

    // Not sorted by letter: these come in this order, one after the other.
    int uae = IndexOf("UAE");
    ASSERT_GT(uae, 0);
    const char* run[] = {"UAE", "Uganda", "UK", "Ukraine", "Uruguay", "USA", "Uzbekistan"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(run[i], CDlgSendNet::AreaAt(uae + i));
    }
    // The short and old forms are the list's own.
    for (const char* entry : {"Greneda", "Saint kitts and Nevis", "Netherland", "NZ", "Swiss",
                              "Kyrgyz", "Viet Nam", "Democratic Republic of Congo"}) {
        EXPECT_GT(IndexOf(entry), 0) << entry;
    }
    EXPECT_EQ(IndexOf("Norway") + 1, IndexOf("NZ"));
}

TEST(SendNetAreas, PreselectionIsSecretForEmptyAndAnExactMatchOtherwise) {
    EXPECT_EQ(0, CDlgSendNet::PreselectedIndex(""));
    EXPECT_STREQ("Japan", CDlgSendNet::AreaAt(CDlgSendNet::PreselectedIndex("Japan")));
    EXPECT_STREQ("Zimbabwe", CDlgSendNet::AreaAt(CDlgSendNet::PreselectedIndex("Zimbabwe")));
    for (const char* stored : {"japan", "JAPAN", "Japan ", " Japan", "Atlantis", "secret"}) {
        EXPECT_EQ(-1, CDlgSendNet::PreselectedIndex(stored)) << stored;
    }
    EXPECT_EQ("", CDlgSendNet::AreaForSelection(-1));
    EXPECT_EQ("Secret", CDlgSendNet::AreaForSelection(0));
}

TEST(SendNetDialog, SendGivesTheTypedNameAndTheChosenArea) {
    CDlgSendNet::TakeShown();
    CDlgSendNet::ScriptedAnswer answer;
    answer.result = CDlgSendNet::kSend;
    answer.typeName = true;
    answer.typedName = "Kel & Co";
    answer.chooseArea = true;
    answer.chosenArea = "Japan";
    CDlgSendNet::QueueScriptedAnswer(answer);

    CDlgSendNet dialog;
    dialog.name = "old";
    dialog.area = "";
    EXPECT_EQ(CDlgSendNet::kSend, dialog.DoModal(nullptr));
    EXPECT_EQ("Kel & Co", dialog.name);
    EXPECT_EQ("Japan", dialog.area);

    std::vector<CDlgSendNet::Shown> shown = CDlgSendNet::TakeShown();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ("old", shown[0].name);
    EXPECT_EQ(0, shown[0].selectedIndex);
}

TEST(SendNetDialog, SendWithAnUnknownStoredAreaGivesAnEmptyArea) {
    CDlgSendNet::TakeShown();
    CDlgSendNet::ScriptedAnswer answer;
    answer.result = CDlgSendNet::kSend;
    CDlgSendNet::QueueScriptedAnswer(answer);

    CDlgSendNet dialog;
    dialog.name = "Kel";
    dialog.area = "japan";
    EXPECT_EQ(CDlgSendNet::kSend, dialog.DoModal(nullptr));
    EXPECT_EQ("Kel", dialog.name);
    EXPECT_EQ("", dialog.area);
    EXPECT_EQ(-1, CDlgSendNet::TakeShown().at(0).selectedIndex);
}

TEST(SendNetDialog, CloseAndNoDisplayLeaveTheValuesAsTheyWere) {
    CDlgSendNet::ScriptedAnswer answer;
    answer.result = CDlgSendNet::kClose;
    answer.typeName = true;
    answer.typedName = "typed but closed";
    answer.chooseArea = true;
    answer.chosenArea = "UK";
    CDlgSendNet::QueueScriptedAnswer(answer);

    CDlgSendNet dialog;
    dialog.name = "Kel";
    dialog.area = "Japan";
    EXPECT_EQ(CDlgSendNet::kClose, dialog.DoModal(nullptr));
    EXPECT_EQ("Kel", dialog.name);
    EXPECT_EQ("Japan", dialog.area);

    // Nothing queued and no display: the dialog cannot be shown.
    EXPECT_EQ(CDlgSendNet::kClose, dialog.DoModal(nullptr));
    EXPECT_EQ("Kel", dialog.name);
    EXPECT_EQ("Japan", dialog.area);
    CDlgSendNet::TakeShown();
}

}  // namespace
