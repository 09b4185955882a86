// The game window without a display: the menu's choices and what each one
// does, the score dialog after a won game and what travels to the server, and
// the settings saved when the window goes. It runs in the generated game
// directory, with fake services.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FakeServices.h"
#include "RecordingCanvas.h"
#include "app/CZankoruCDlg.h"
#include "app/GameDirectory.h"
#include "platform/files/SettingsFile.h"
#include "platform/sys/AppName.h"
#include "platform/ui/VirtualKeys.h"
#include "ranking/CDlgSendNet.h"
#include "ranking/RankingHost.h"
#include "ranking/RankingPage.h"

namespace fs = std::filesystem;

namespace {

class GameWindow : public ::testing::Test {
  protected:
    // The game starts in a directory of its own that links to the generated
    // pack: whatever it writes stays out of the shared game directory.
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root / "game");
        for (const char* folder : {"sound", "image"}) {
            fs::create_directory_symlink(fs::path(ZANKORUC_GAME_DIR) / folder,
                                         root / "game" / folder);
        }
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        platform::SetSettingsCompany("velkor");
        fs::current_path(root / "game");
        window.OnInitDialog();
    }
    void TearDown() override {
        window.OnDestroy();
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
    }
    // Up to the first item, Down `item` times and Enter in the menu, then the
    // tick that acts on it.
    void Choose(int item) { Choose(window, item); }
    static void Choose(CZankoruCDlg& window, int item) {
        for (int i = 0; i < 6; ++i) {
            window.OnKeyUp(platform::VK_UP);
        }
        for (int i = 0; i < item; ++i) {
            window.OnKeyUp(platform::VK_DOWN);
        }
        window.OnKeyUp(platform::VK_RETURN);
        window.OnTimer(CZankoruCDlg::kTimerId);
    }
    // The game scene reports a finished game on its next tick.
    void FinishGame(int level, int result, int mistakes) {
        Choose(level - 1);
        ASSERT_EQ(window.sceneType, CZankoruCDlg::SceneType::Game);
        window.gameScene->mistakes = mistakes;
        window.gameScene->resultCode = static_cast<GameResult>(result);
        window.OnTimer(CZankoruCDlg::kTimerId);
    }

    fs::path root = fs::temp_directory_path() / ("zk-app-" + std::to_string(getpid()));
    FakeServices fakes;
    CZankoruCDlg window{fakes.services, (root / "game").string()};
};

TEST_F(GameWindow, EachMenuItemDoesItsOwnThing) {
    for (int level = 1; level <= 4; ++level) {  // Tutorial, Easy, Normal, Hard
        Choose(level - 1);
        ASSERT_EQ(window.sceneType, CZankoruCDlg::SceneType::Game);
        EXPECT_EQ(window.gameScene->level, level);
        EXPECT_EQ(window.menuScene, nullptr);
        RecordingCanvas canvas(CZankoruCDlg::kClientWidth, CZankoruCDlg::kClientHeight);
        window.OnPaint(canvas, false);  // the duel draws its enemy
        EXPECT_EQ(canvas.calls.at(1).picture, &window.gameScene->enemyImages[0]);
        window.SwitchScene(CZankoruCDlg::SceneType::Menu, 0);
    }
    Choose(4);  // NetRecord: the page opens and the menu stays
    ASSERT_EQ(fakes.shell.requests.size(), 1u);
    EXPECT_EQ(fakes.shell.requests[0].target, RankingPageAddress());
    EXPECT_EQ(window.sceneType, CZankoruCDlg::SceneType::Menu);
    EXPECT_FALSE(window.runEnded);

    Choose(5);  // Update: the updater gets its switches and the run ends
    ASSERT_EQ(fakes.shell.requests.size(), 2u);
    EXPECT_EQ(fakes.shell.requests[1].target, window.baseDir + "\\FetchUpdate.exe");
    EXPECT_EQ(fakes.shell.requests[1].arguments,
              (std::vector<std::string>{"/FILE=zankoruc", "/SERVER_PATH=zankoruc",
                                        "/APPTITLE=zankoruc"}));
    EXPECT_TRUE(window.runEnded);
    EXPECT_EQ(window.runResult, -1);
}

TEST_F(GameWindow, EndClosesTheRunAndLaterTicksOpenNothing) {
    Choose(6);
    EXPECT_TRUE(window.runEnded);
    EXPECT_EQ(window.runResult, CZankoruCDlg::kIdOk);
    window.OnKeyUp(platform::VK_RETURN);
    window.OnTimer(CZankoruCDlg::kTimerId);
    EXPECT_EQ(window.sceneType, CZankoruCDlg::SceneType::Menu);
    window.OnCancel();  // a second end changes nothing
    EXPECT_EQ(window.runResult, CZankoruCDlg::kIdOk);
}

TEST_F(GameWindow, AWonGameSendsTheScoreShowsTheAnswerAndKeepsTheValues) {
    fakes.http.response.received = true;
    fakes.http.response.status = 200;
    fakes.http.response.body =
        "<html>\n<!-- DATA_START -->\nThanks, Tom<P>rank 3\n<!-- DATA_END -->\n";
    platform::ScoreDialogFields typed;
    typed.name = "Tom & Jerry";
    typed.selectedArea = 84;  // Japan
    fakes.dialogs.scoreAnswers.push_back({true, typed});
    int repaints = window.repaintRequests;

    FinishGame(3, 2, 4);  // Normal, won with 4 hits taken

    ASSERT_EQ(fakes.dialogs.scoreDialogsShown.size(), 1u);
    EXPECT_EQ(fakes.dialogs.scoreDialogsShown[0].selectedArea, 0);  // "Secret" for no area yet
    ASSERT_EQ(fakes.http.requests.size(), 1u);
    // The level below the game's, the hits taken; the name percent-encoded.
    EXPECT_EQ(
        fakes.http.requests[0].url,
        "http://" + RankingHost() +
            "/game/zankoru/GameSet.asp?aria=Japan&name=Tom%20%26%20Jerry&mode=0&level=2&score=4");
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Thanks, Tom\nrank 3");
    EXPECT_EQ(window.settings.aria, "Japan");
    EXPECT_EQ(window.settings.name, "Tom & Jerry");
    EXPECT_EQ(window.sceneType, CZankoruCDlg::SceneType::Menu);
    EXPECT_GT(window.repaintRequests, repaints);

    window.OnDestroy();  // the values reach the file when the window goes
    EXPECT_EQ(platform::GetProfileString("", "aria", ""), "Japan");
    EXPECT_EQ(platform::GetProfileString("", "name", ""), "Tom & Jerry");
}

// What ends the wait for the answer: the answer itself, the player's Cancel,
// or a close request (a termination signal) while the request is out. Each
// time the confirmed values are on disk before the request leaves.
TEST_F(GameWindow, TheWaitForTheAnswerEndsInTheAnswerACancelOrAClose) {
    struct Case {
        const char* what;
        bool playerCancels;
        bool closeRequested;
        bool answerShown;
        bool runEnds;
    };
    const Case cases[] = {
        {"answered", false, false, true, false},
        {"cancelled by the player", true, false, false, false},
        {"a close request meanwhile", false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServices fakes;
        fakes.http.response.received = true;
        fakes.http.response.status = 200;
        fakes.http.response.body = "<!-- DATA_START -->\nNo.1\n<!-- DATA_END -->\n";
        fakes.dialogs.scoreAnswers.push_back({true, {"Ann", {}, 84}});  // Japan
        fakes.dialogs.cancelSending = c.playerCancels;
        CZankoruCDlg window{fakes.services, (root / "game").string()};
        window.OnInitDialog();
        std::string savedArea, savedName;
        bool flagSeen = false;
        fakes.http.onSend = [&](const platform::HttpRequest& request) {
            savedArea = platform::GetProfileString("", "aria", "");
            savedName = platform::GetProfileString("", "name", "");
            if (c.closeRequested) {
                window.OnCancel();
            }
            flagSeen = request.cancelled != nullptr && request.cancelled->load();
        };
        Choose(window, 1);  // Easy
        ASSERT_EQ(window.sceneType, CZankoruCDlg::SceneType::Game);
        window.gameScene->resultCode = GameResult::Won;
        window.OnTimer(CZankoruCDlg::kTimerId);

        EXPECT_EQ(fakes.dialogs.sendingRuns, 1);
        ASSERT_EQ(fakes.http.requests.size(), 1u);
        EXPECT_EQ(savedArea, "Japan");
        EXPECT_EQ(savedName, "Ann");
        EXPECT_EQ(flagSeen, !c.answerShown);  // the request sees the cancel
        EXPECT_EQ(fakes.messages.shown.size(), c.answerShown ? 1u : 0u);
        EXPECT_EQ(window.runEnded, c.runEnds);
        // The menu follows, unless the run is over: then nothing new opens.
        EXPECT_EQ(window.sceneType,
                  c.runEnds ? CZankoruCDlg::SceneType::Game : CZankoruCDlg::SceneType::Menu);
        window.OnDestroy();
        fs::remove_all(root / "config");
    }
}

TEST_F(GameWindow, OnlyAWonGameOffersTheDialogAndCloseSendsNothing) {
    window.settings.name = "Kept";
    FinishGame(2, 2, 0);  // won, but the dialog is closed
    FinishGame(2, 1, 9);  // lost
    FinishGame(2, 0, 0);  // left
    EXPECT_EQ(fakes.dialogs.scoreDialogsShown.size(), 1u);
    EXPECT_TRUE(fakes.http.requests.empty());
    EXPECT_TRUE(fakes.messages.shown.empty());
    EXPECT_EQ(window.settings.name, "Kept");
    EXPECT_EQ(window.sceneType, CZankoruCDlg::SceneType::Menu);
}

TEST_F(GameWindow, AMinimisedWindowShowsOnlyTheIconCentred) {
    RecordingCanvas canvas(CZankoruCDlg::kClientWidth, CZankoruCDlg::kClientHeight);
    window.OnPaint(canvas, true);
    for (const DrawCall& call : canvas.calls) {
        EXPECT_EQ(call.kind, DrawCall::Kind::PictureScaled);
        EXPECT_EQ(call.x, (CZankoruCDlg::kClientWidth - 32 + 1) / 2);
        EXPECT_EQ(call.width, 32);
    }
    RecordingCanvas shown(CZankoruCDlg::kClientWidth, CZankoruCDlg::kClientHeight);
    window.OnPaint(shown, false);
    EXPECT_FALSE(shown.calls.empty());
}

TEST(ScoreDialog, PreselectsByExactMatchAndGivesTheChosenEntry) {
    EXPECT_EQ(CDlgSendNet::PreselectedIndex(""), 0);
    EXPECT_STREQ(CDlgSendNet::AreaAt(0), "Secret");
    EXPECT_EQ(CDlgSendNet::PreselectedIndex("Japan"), 84);
    EXPECT_EQ(CDlgSendNet::PreselectedIndex("japan"), -1);
    EXPECT_EQ(CDlgSendNet::AreaForSelection(-1), "");
    EXPECT_EQ(CDlgSendNet::AreaForSelection(CDlgSendNet::kAreaCount), "");
    EXPECT_STREQ(CDlgSendNet::AreaAt(CDlgSendNet::kAreaCount - 1), "Zimbabwe");

    ScriptedDialogs dialogs;
    CDlgSendNet dialog;
    dialog.name = "Old";
    dialog.area = "Nowhere";
    EXPECT_EQ(dialog.DoModal(dialogs), CDlgSendNet::kClose);  // closed: values unchanged
    EXPECT_EQ(dialog.area, "Nowhere");
    EXPECT_EQ(dialogs.scoreDialogsShown.at(0).selectedArea, -1);
    EXPECT_EQ(dialogs.scoreDialogsShown.at(0).areas.size(), size_t{CDlgSendNet::kAreaCount});
    dialogs.scoreAnswers.push_back({true, {"New", {}, -1}});
    EXPECT_EQ(dialog.DoModal(dialogs), CDlgSendNet::kSend);
    EXPECT_EQ(dialog.name, "New");
    EXPECT_EQ(dialog.area, "");
}

// Started from anywhere, the game finds its files: the current directory
// first, then the installed tree beside the executable, then the build tree.
TEST(GameDirectory, LooksInTheCurrentThenTheInstalledThenTheBuildTree) {
    fs::path root = fs::temp_directory_path() / ("zk-dirs-" + std::to_string(getpid()));
    auto holding = [&](const fs::path& dir) {
        fs::create_directories(dir / "sound" / "menu");
        std::ofstream(dir / "sound" / "menu" / "title.snz") << "letter case differs";
        return dir.string();
    };
    std::string empty = root / "home", bin = root / "bin";
    fs::create_directories(empty);
    fs::create_directories(bin);
    std::string cwd = holding(root / "cwd"), build = holding(root / "bin" / "game");
    EXPECT_EQ(FindGameDirectory("", cwd, bin).found, cwd);
    EXPECT_EQ(FindGameDirectory("", empty, bin).found, build);
    std::string installed = holding(root / "share" / "zankoruc");
    GameDirectorySearch search = FindGameDirectory("", empty, bin);
    EXPECT_EQ(search.found, installed);
    EXPECT_EQ(search.lookedIn, (std::vector<std::string>{empty, installed, build}));
    // A directory named on the command line is the only place looked in.
    EXPECT_EQ(FindGameDirectory(cwd + "/", empty, bin).found, cwd);
    search = FindGameDirectory(empty, cwd, bin);
    EXPECT_EQ(search.found, "");
    EXPECT_EQ(search.lookedIn, std::vector<std::string>{empty});
    EXPECT_NE(GameFilesMissingMessage(search).find(empty), std::string::npos);
    fs::remove_all(root);
}

}  // namespace
