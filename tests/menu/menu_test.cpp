// The title menu on its own: what it registers and plays, how the cursor moves
// and clamps, what every key does, and what it draws.
#include "../app/AppTestSupport.h"
#include "FakeWindow.h"
#include "menu/CSceenMenu.h"
#include "platform/ui/RecordingCanvas.h"
#include "platform/ui/VirtualKeys.h"

using namespace apptest;
using platform::VK_DOWN;
using platform::VK_ESCAPE;
using platform::VK_RETURN;
using platform::VK_SPACE;
using platform::VK_UP;

namespace {

class Menu : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        menu = std::make_unique<CSceenMenu>(fakes.services);
        menu->Init(&window, gameDir.string());
    }
    void TearDown() override {
        if (menu) {
            delete menu->font;
            menu.reset();
        }
        AppFixture::TearDown();
    }
    // The voice the last key made the menu speak, or -1.
    int Spoken() {
        std::vector<std::pair<int, int>> started = StartedMenuSounds();
        if (started.size() != 1) {
            return -1;
        }
        EXPECT_EQ(started[0].second, 0) << "an item's voice plays once";
        return started[0].first;
    }

    FakeWindow window;
    std::unique_ptr<CSceenMenu> menu;
};

TEST_F(Menu, InitSpeaksTheTitleThenLoopsTheMusicAndEachItemHasItsVoice) {
    // The title and the music, from the registered paths.
    std::vector<SoundEvent> started;
    delete menu->font;
    menu.reset(new CSceenMenu(fakes.services));
    Mixer()->TakeJournal();
    menu->Init(&window, gameDir.string());
    for (const SoundEvent& event : Mixer()->TakeJournal()) {
        if (event.kind == SoundEvent::Kind::Play) {
            started.push_back(event);
        }
    }
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].name, gameDir.string() + "\\sound\\menu\\Title.snz");
    EXPECT_EQ(started[0].value, 0);
    EXPECT_EQ(started[1].name, gameDir.string() + "\\sound\\opning.snz");
    EXPECT_EQ(started[1].value, 1);
    EXPECT_EQ(menu->sound.mode, SoundMode::Centred);

    EXPECT_EQ(menu->items, (std::vector<std::string>{"Tutorial", "Easy", "Normal", "Hard",
                                                     "NetRecord", "Update", "End"}));
    EXPECT_EQ(menu->cursor, 0);
    EXPECT_EQ(menu->chosen, -1);
    ASSERT_NE(menu->font, nullptr);
    EXPECT_EQ(menu->font->face, "Arial");
    EXPECT_EQ(menu->font->tenthsOfPoint, 400);

    // Walking down speaks items 1..6 (ids 2..7) with their own files.
    for (int item = 1; item <= 6; ++item) {
        menu->OnKey(VK_DOWN);
        EXPECT_EQ(Spoken(), item + 1);
    }
}

TEST_F(Menu, TheCursorStopsAtBothEndsAndSpeaksItsItemAgain) {
    Mixer()->TakeJournal();
    menu->OnKey(VK_UP);
    EXPECT_EQ(menu->cursor, 0);
    EXPECT_EQ(Spoken(), 1);  // "tutorial" again
    for (int i = 0; i < 6; ++i) {
        menu->OnKey(VK_DOWN);
    }
    Mixer()->TakeJournal();
    EXPECT_EQ(menu->cursor, 6);
    menu->OnKey(VK_DOWN);
    EXPECT_EQ(menu->cursor, 6);
    EXPECT_EQ(Spoken(), 7);  // "end" again
    menu->OnKey(VK_UP);
    EXPECT_EQ(menu->cursor, 5);
    EXPECT_EQ(Spoken(), 6);
}

TEST_F(Menu, AnyOtherKeyOnlySpeaksTheItemAndRepaints) {
    menu->OnKey(VK_DOWN);
    menu->OnKey(VK_DOWN);
    Mixer()->TakeJournal();
    int repaints = window.repaints;
    for (int key : {VK_ESCAPE, 0x41, 0x37, 0x67, platform::VK_LEFT, platform::VK_RIGHT, 0}) {
        SCOPED_TRACE(key);
        menu->OnKey(key);
        EXPECT_EQ(menu->cursor, 2);
        EXPECT_EQ(menu->chosen, -1);
        EXPECT_EQ(Spoken(), 3);  // "normal"
        EXPECT_EQ(window.repaints, ++repaints);
    }
}

TEST_F(Menu, SpaceOrEnterChoosesTheItemUnderTheCursor) {
    menu->OnKey(VK_DOWN);
    Mixer()->TakeJournal();
    menu->OnKey(VK_SPACE);
    EXPECT_EQ(menu->chosen, 1);
    EXPECT_EQ(Spoken(), 2);  // the chosen item's voice
    menu->OnKey(VK_DOWN);
    EXPECT_EQ(menu->chosen, 1) << "moving does not choose";
    menu->OnKey(VK_RETURN);
    EXPECT_EQ(menu->chosen, 2);
}

TEST_F(Menu, PaintsSevenLinesOnBlackWithTheCursorInYellow) {
    menu->OnKey(VK_DOWN);
    menu->OnKey(VK_DOWN);
    platform::RecordingCanvas canvas(732, 570);
    menu->Paint(canvas);
    ASSERT_EQ(canvas.calls.size(), 8u);
    const platform::DrawCall& fill = canvas.calls[0];
    EXPECT_EQ(fill.kind, platform::DrawCall::Kind::FillBlack);
    EXPECT_EQ(fill.x, 0);
    EXPECT_EQ(fill.y, 0);
    EXPECT_EQ(fill.width, 732);
    EXPECT_EQ(fill.height, 570);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const platform::DrawCall& text = canvas.calls[static_cast<size_t>(i) + 1];
        EXPECT_EQ(text.kind, platform::DrawCall::Kind::Text);
        EXPECT_EQ(text.line, menu->items[static_cast<size_t>(i)]);
        EXPECT_EQ(text.x, 10);
        EXPECT_EQ(text.y, 10 + 80 * i);
        EXPECT_EQ(text.font.face, "Arial");
        EXPECT_EQ(text.font.tenthsOfPoint, 400);
        EXPECT_EQ(text.background, (platform::Rgb{0, 0, 0}));
        EXPECT_EQ(text.text,
                  i == 2 ? (platform::Rgb{255, 255, 0}) : (platform::Rgb{255, 255, 255}));
    }
}

TEST_F(Menu, DestroyingTheMenuSilencesItsVoiceAndMusic) {
    menu->OnKey(VK_DOWN);
    EXPECT_GE(Mixer()->PlayingCount(), 2);
    delete menu->font;
    menu.reset();
    EXPECT_EQ(Mixer()->PlayingCount(), 0);
}

TEST_F(Menu, WithoutItsSoundFilesTheMenuStillWorksSilently) {
    fs::path empty = root / "empty-game";
    fs::create_directories(empty);
    delete menu->font;
    menu.reset(new CSceenMenu(fakes.services));
    Mixer()->TakeJournal();
    menu->Init(&window, empty.string());
    menu->OnKey(VK_DOWN);
    menu->OnKey(VK_SPACE);
    EXPECT_EQ(menu->chosen, 1);
    EXPECT_TRUE(Mixer()->TakeJournal().empty());
    EXPECT_TRUE(platform::TakeShownMessages().empty());
    platform::RecordingCanvas canvas(732, 570);
    menu->Paint(canvas);
    EXPECT_EQ(canvas.calls.size(), 8u);
}

}  // namespace
