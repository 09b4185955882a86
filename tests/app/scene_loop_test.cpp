// The game window driven tick by tick without a display: which scene is
// current, what the menu asks the sound engine to play, how choices are taken,
// and what reaches the settings file.
#include "AppTestSupport.h"
#include "app/CZankoruCDlg.h"
#include "platform/ui/RecordingCanvas.h"
#include "platform/ui/VirtualKeys.h"

using namespace apptest;
using platform::VK_DOWN;
using platform::VK_ESCAPE;
using platform::VK_RETURN;
using platform::VK_SPACE;
using platform::VK_UP;

namespace {

constexpr std::pair<int, int> kTitleOnce{0, 0};
constexpr std::pair<int, int> kMusicLooping{8, 1};

class SceneLoop : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        dialog = std::make_unique<CZankoruCDlg>();
    }
    void TearDown() override {
        dialog.reset();
        AppFixture::TearDown();
    }

    void Start() {
        ASSERT_TRUE(dialog->OnInitDialog());
        ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
    }
    void Tick() {
        platform::AdvanceManualClock(100);
        dialog->OnTimer(CZankoruCDlg::kTimerId);
    }
    void Keys(std::initializer_list<int> keys) {
        for (int key : keys) {
            dialog->OnKeyUp(key);
        }
    }
    void Down(int times) {
        for (int i = 0; i < times; ++i) {
            dialog->OnKeyUp(VK_DOWN);
        }
    }
    bool MusicPlaying() {
        CSoundPlay& sound = dialog->menuScene->sound;
        platform::SoundBuffer* music = sound.Buffer(CSceenMenu::kMusicSound);
        return music != nullptr &&
               music->GetStatus() == (platform::kStatusPlaying | platform::kStatusLooping);
    }

    std::unique_ptr<CZankoruCDlg> dialog;
};

TEST_F(SceneLoop, StartOpensTheMenuWhichSpeaksTheTitleOverLoopingMusic) {
    Start();
    EXPECT_EQ(dialog->baseDir, gameDir.string());
    ASSERT_NE(dialog->menuScene, nullptr);
    EXPECT_EQ(dialog->gameScene, nullptr);
    EXPECT_EQ(StartedMenuSounds(), (std::vector<std::pair<int, int>>{kTitleOnce, kMusicLooping}));
    EXPECT_TRUE(MusicPlaying());

    // Ticks with nothing chosen change nothing.
    CSceenMenu* menu = dialog->menuScene;
    for (int i = 0; i < 5; ++i) {
        Tick();
    }
    EXPECT_EQ(dialog->menuScene, menu);
    EXPECT_TRUE(StartedMenuSounds().empty());
    EXPECT_FALSE(dialog->runEnded);
}

TEST_F(SceneLoop, EachModeStartsTheGameAtItsLevelOnTheNextTick) {
    for (int index = 0; index <= 3; ++index) {
        SCOPED_TRACE(index);
        if (dialog->sceneType == CZankoruCDlg::kNoScene) {
            Start();
        } else {
            dialog->SwitchScene(CZankoruCDlg::kMenuScene, 0);
        }
        Down(index);
        dialog->OnKeyUp(index % 2 == 0 ? VK_SPACE : VK_RETURN);
        // The choice waits for the tick; the voice of the item is heard now.
        EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
        ASSERT_FALSE(StartedMenuSounds().empty());
        Mixer()->TakeJournal();

        Tick();
        EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kGameScene);
        EXPECT_EQ(dialog->menuScene, nullptr);
        ASSERT_NE(dialog->gameScene, nullptr);
        EXPECT_EQ(dialog->gameScene->level, index + 1);
        // The menu went, and its music with it.
        bool musicStopped = false;
        for (const platform::SoundEvent& event : Mixer()->TakeJournal()) {
            if (event.kind == platform::SoundEvent::Kind::Stop &&
                event.name == MenuAssetPath(gameDir.string(), 8)) {
                musicStopped = true;
            }
        }
        EXPECT_TRUE(musicStopped);
        EXPECT_FALSE(dialog->runEnded);
    }
}

TEST_F(SceneLoop, OfTwoChoicesBeforeATickTheLaterWins) {
    Start();
    Keys({VK_DOWN, VK_SPACE, VK_DOWN, VK_DOWN, VK_RETURN});
    Tick();
    ASSERT_NE(dialog->gameScene, nullptr);
    EXPECT_EQ(dialog->gameScene->level, 4);
}

TEST_F(SceneLoop, EscAndEnterNeverCloseTheWindow) {
    Start();
    Mixer()->TakeJournal();
    dialog->OnKeyUp(VK_ESCAPE);
    dialog->OnOK();
    Tick();
    EXPECT_FALSE(dialog->runEnded);
    EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
    // Esc only re-announces the item under the cursor.
    EXPECT_EQ(StartedMenuSounds(), (std::vector<std::pair<int, int>>{{1, 0}}));

    // Enter on "Tutorial" chooses it; Esc in the game goes back to a fresh
    // menu, still without closing anything.
    dialog->OnKeyUp(VK_RETURN);
    Tick();
    ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kGameScene);
    EXPECT_EQ(dialog->gameScene->level, 1);
    Mixer()->TakeJournal();
    dialog->OnKeyUp(VK_ESCAPE);
    Tick();
    EXPECT_FALSE(dialog->runEnded);
    ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
    EXPECT_EQ(dialog->menuScene->cursor, 0);
    EXPECT_EQ(StartedMenuSounds(), (std::vector<std::pair<int, int>>{kTitleOnce, kMusicLooping}));
}

TEST_F(SceneLoop, AFinishedGameOpensAFreshMenu) {
    Start();
    Down(2);
    dialog->OnKeyUp(VK_SPACE);
    Tick();
    ASSERT_NE(dialog->gameScene, nullptr);
    for (int result : {1, 0}) {
        SCOPED_TRACE(result);
        if (dialog->gameScene == nullptr) {
            Down(1);
            dialog->OnKeyUp(VK_SPACE);
            Tick();
            ASSERT_NE(dialog->gameScene, nullptr);
        }
        Mixer()->TakeJournal();
        dialog->gameScene->resultCode = static_cast<GameResult>(result);
        Tick();
        ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
        EXPECT_EQ(dialog->gameScene, nullptr);
        EXPECT_EQ(dialog->menuScene->cursor, 0);
        EXPECT_EQ(dialog->menuScene->chosen, MenuChoice::None);
        std::vector<std::pair<int, int>> started = StartedMenuSounds();
        ASSERT_GE(started.size(), 2u);
        EXPECT_EQ(started[started.size() - 2], kTitleOnce);
        EXPECT_EQ(started.back(), kMusicLooping);
    }
}

TEST_F(SceneLoop, NetRecordOpensThePageAndKeepsTheMenuAndItsMusic) {
    setenv("ZANKORUC_RANKING_HOST", "ranking.example:8123", 1);
    Start();
    CSceenMenu* menu = dialog->menuScene;
    Down(4);
    for (int time = 1; time <= 2; ++time) {
        SCOPED_TRACE(time);
        dialog->OnKeyUp(VK_RETURN);
        Mixer()->TakeJournal();
        Tick();
        EXPECT_EQ(dialog->menuScene, menu);
        EXPECT_EQ(menu->cursor, 4);
        EXPECT_EQ(menu->chosen, MenuChoice::None);
        EXPECT_TRUE(MusicPlaying());
        for (const platform::SoundEvent& event : Mixer()->TakeJournal()) {
            EXPECT_NE(event.kind, platform::SoundEvent::Kind::Stop) << event.name;
        }
        std::vector<platform::ShellRequest> requests = platform::TakeShellRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].target, "http://ranking.example:8123/game/zankoru/GameResult.asp");
        EXPECT_TRUE(requests[0].arguments.empty());
    }
    EXPECT_FALSE(dialog->runEnded);
    unsetenv("ZANKORUC_RANKING_HOST");
}

TEST_F(SceneLoop, EndEndsTheRunAndTheDestroyedWindowSavesTheSettings) {
    Start();
    dialog->settings.aria = "Japan";
    dialog->settings.name = "Musashi";
    Down(6);
    dialog->OnKeyUp(VK_SPACE);
    Tick();
    EXPECT_TRUE(dialog->runEnded);
    EXPECT_EQ(dialog->runResult, CZankoruCDlg::kIdOk);
    // A late tick does nothing once the run is over.
    Tick();
    EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);

    dialog->OnDestroy();
    EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kNoScene);
    EXPECT_EQ(dialog->menuScene, nullptr);
    EXPECT_EQ(Mixer()->PlayingCount(), 0);
    CZankoruReg stored;
    stored.Load();
    EXPECT_EQ(stored.aria, "Japan");
    EXPECT_EQ(stored.name, "Musashi");
}

TEST_F(SceneLoop, UpdateStartsTheUpdaterWithItsSwitchesAndEndsTheGame) {
    fs::path updater = gameDir / "FetchUpdate.exe";
    WriteFile(updater, "#!/bin/sh\n");
    fs::permissions(updater, fs::perms::owner_all);
    Start();
    Down(5);
    dialog->OnKeyUp(VK_RETURN);
    Tick();

    int exitCode = -1;
    EXPECT_TRUE(platform::TakeQuitRequest(&exitCode));
    EXPECT_EQ(exitCode, 0);
    std::vector<platform::ShellRequest> requests = platform::TakeShellRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, updater.string());
    EXPECT_EQ(requests[0].arguments,
              (std::vector<std::string>{"/FILE=zankoruc", "/SERVER_PATH=zankoruc",
                                        "/APPTITLE=zankoruc"}));

    // No further scene starts; the destruction saves.
    dialog->menuScene->chosen = MenuChoice::Easy;
    Tick();
    EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
    dialog->OnDestroy();
    EXPECT_TRUE(fs::exists(SettingsFile()));
}

TEST_F(SceneLoop, UpdateWithoutAnUpdaterStillEndsTheGameQuietly) {
    Start();
    Down(5);
    dialog->OnKeyUp(VK_SPACE);
    Tick();
    EXPECT_TRUE(platform::TakeQuitRequest());
    EXPECT_TRUE(platform::TakeShownMessages().empty());
    dialog->OnDestroy();
    EXPECT_TRUE(fs::exists(SettingsFile()));
}

TEST_F(SceneLoop, OnlyTimerOneDrivesTheScenesAndOutOfRangeChoicesAreIgnored) {
    Start();
    dialog->menuScene->chosen = MenuChoice::End;
    dialog->OnTimer(2);
    EXPECT_FALSE(dialog->runEnded);
    EXPECT_EQ(dialog->menuScene->chosen, MenuChoice::End);

    for (int bad : {7, 42, -5}) {
        dialog->menuScene->chosen = static_cast<MenuChoice>(bad);
        Tick();
        EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
        EXPECT_EQ(dialog->menuScene->chosen, MenuChoice::None);
        EXPECT_FALSE(dialog->runEnded);
    }
}

TEST_F(SceneLoop, ACloseRequestEndsTheRunAndSaves) {
    Start();
    dialog->settings.name = "closed";
    dialog->OnCancel();
    EXPECT_TRUE(dialog->runEnded);
    EXPECT_EQ(dialog->runResult, CZankoruCDlg::kIdCancel);
    dialog->OnDestroy();
    CZankoruReg stored;
    stored.Load();
    EXPECT_EQ(stored.name, "closed");
}

TEST_F(SceneLoop, PaintGoesToTheCurrentSceneAndAMinimisedWindowShowsNoScene) {
    Start();
    platform::RecordingCanvas canvas(CZankoruCDlg::kClientWidth, CZankoruCDlg::kClientHeight);
    dialog->OnPaint(canvas, false);
    ASSERT_FALSE(canvas.calls.empty());
    EXPECT_EQ(canvas.calls[0].kind, platform::DrawCall::Kind::FillBlack);
    EXPECT_EQ(canvas.calls.size(), 8u);

    platform::RecordingCanvas minimised(CZankoruCDlg::kClientWidth, CZankoruCDlg::kClientHeight);
    dialog->OnPaint(minimised, true);
    for (const platform::DrawCall& call : minimised.calls) {
        EXPECT_NE(call.kind, platform::DrawCall::Kind::Text);
        EXPECT_NE(call.kind, platform::DrawCall::Kind::FillBlack);
    }

    // Keys reach the menu, which asks the window for a repaint.
    int before = dialog->repaintRequests;
    dialog->OnKeyUp(VK_UP);
    EXPECT_EQ(dialog->repaintRequests, before + 1);
}

}  // namespace
