// The pieces of the desktop the window relies on: key codes, the application
// name, the ranking page's address, the updater's switches and the shell.
#include <gdk/gdkkeysyms.h>

#include <chrono>
#include <thread>

#include "AppTestSupport.h"
#include "platform/sys/AppName.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/VirtualKeys.h"
#include "ranking/LaunchUpdater.h"
#include "ranking/RankingPage.h"

using namespace apptest;
using platform::VirtualKeyFromGdkKey;

namespace {

// X key codes of a standard (evdev) keyboard.
constexpr unsigned kKeycode1 = 10, kKeycode3 = 12, kKeycode5 = 14, kKeycode7 = 16, kKeycode9 = 18,
                   kKeycode0 = 19;
constexpr unsigned kKeycodeA = 38, kKeycodeZ = 52, kKeycodeM = 58, kKeycodeK = 45;
constexpr unsigned kKeypad7 = 79, kKeypad9 = 81, kKeypad5 = 84, kKeypad1 = 87, kKeypad3 = 89,
                   kKeypad0 = 90;

TEST(VirtualKeys, TheDuelKeysArriveWhateverTheShiftCapsAndNumLockState) {
    // Letters: plain, shifted, with Caps Lock.
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_a, kKeycodeA, GDK_KEY_a), 0x41);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_A, kKeycodeA, GDK_KEY_a), 0x41);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_K, kKeycodeK, GDK_KEY_k), 0x4B);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_z, kKeycodeZ, GDK_KEY_z), 0x5A);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_M, kKeycodeM, GDK_KEY_m), 0x4D);
    // The digit row, shifted or not (US: Shift+1 is '!').
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_7, kKeycode7, GDK_KEY_7), 0x37);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_ampersand, kKeycode7, GDK_KEY_7), 0x37);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_exclam, kKeycode1, GDK_KEY_1), 0x31);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_numbersign, kKeycode3, GDK_KEY_3), 0x33);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_5, kKeycode5, GDK_KEY_5), 0x35);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_parenleft, kKeycode9, GDK_KEY_9), 0x39);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_0, kKeycode0, GDK_KEY_0), 0x30);
    // A French keyboard's digit row prints symbols but is still the digit row.
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_ampersand, kKeycode1, GDK_KEY_ampersand), 0x31);
    // The keypad with Num Lock on, and off (Home, End, Begin, Page Up/Down).
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_7, kKeypad7, GDK_KEY_KP_Home), 0x67);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Home, kKeypad7, GDK_KEY_KP_Home), 0x67);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Page_Up, kKeypad9, GDK_KEY_KP_Page_Up), 0x69);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_End, kKeypad1, GDK_KEY_KP_End), 0x61);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_3, kKeypad3, GDK_KEY_KP_Page_Down), 0x63);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Begin, kKeypad5, GDK_KEY_KP_Begin), 0x65);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Insert, kKeypad0, GDK_KEY_KP_Insert), 0x60);
    // A keypad reporting other key codes is still known by its keysyms.
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Home, 200, GDK_KEY_KP_Home), 0x67);
}

TEST(VirtualKeys, EveryOtherKeyReachesTheSceneWithItsCodeOrZero) {
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Enter, 104, GDK_KEY_KP_Enter), platform::VK_RETURN);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_Left, 113, GDK_KEY_Left), platform::VK_LEFT);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_Tab, 23, GDK_KEY_Tab), 0x09);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_F1, 67, GDK_KEY_F1), 0x70);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_KP_Add, 86, GDK_KEY_KP_Add), 0x6B);
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_comma, 59, GDK_KEY_comma), 0xBC);
    // No Windows code: 0, which still makes the menu speak.
    EXPECT_EQ(VirtualKeyFromGdkKey(GDK_KEY_AudioMute, 121, GDK_KEY_AudioMute), 0);
}

TEST(ApplicationName, IsTheExecutableNameWithoutItsExtension) {
    EXPECT_EQ(platform::BaseNameWithoutExtension("/usr/games/zankoruc"), "zankoruc");
    EXPECT_EQ(platform::BaseNameWithoutExtension("/opt/ZankoruC.exe"), "ZankoruC");
    EXPECT_EQ(platform::BaseNameWithoutExtension("/a.b/zankoruc.tar.gz"), "zankoruc.tar");
    EXPECT_EQ(platform::BaseNameWithoutExtension("/home/me/.hidden"), ".hidden");
    // This test program's own name.
    EXPECT_EQ(platform::ApplicationName(), "test_app");
}

TEST(RankingPage, IsTheResultPageOfTheConfiguredHost) {
    unsetenv("ZANKORUC_RANKING_HOST");
    std::string compiled = RankingPageAddress();
    EXPECT_EQ(compiled.rfind("http://", 0), 0u);
    EXPECT_NE(compiled.find("/game/zankoru/GameResult.asp"), std::string::npos);
    EXPECT_EQ(compiled.find('?'), std::string::npos);
    setenv("ZANKORUC_RANKING_HOST", "scores.example.net", 1);
    EXPECT_EQ(RankingPageAddress(), "http://scores.example.net/game/zankoru/GameResult.asp");
    unsetenv("ZANKORUC_RANKING_HOST");
}

TEST(Shell, WithoutADisplayNoBrowserIsLaunched) {
    platform::TakeShellRequests();
    EXPECT_FALSE(platform::OpenUri("http://127.0.0.1:9/game/zankoru/GameResult.asp"));
    std::vector<platform::ShellRequest> requests = platform::TakeShellRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "http://127.0.0.1:9/game/zankoru/GameResult.asp");
}

TEST(Shell, AStartedProgramRunsOnItsOwnAndAMissingOneIsOnlyAFalse) {
    fs::path dir = fs::temp_directory_path() / ("zk-shell-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path gate = dir / "gate";
    fs::path done = dir / "done";
    // The program waits for the test before it finishes: StartProgram must
    // return without waiting for it.
    fs::path program = dir / "waits";
    WriteFile(program, "#!/bin/sh\nwhile [ ! -e \"" + gate.string() +
                           "\" ]; do sleep 0.02; done\necho \"$1|$2\" > \"" + done.string() +
                           "\"\n");
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_TRUE(platform::StartProgram(program.string(), {"two words", "x=\"y\""}));
    EXPECT_FALSE(fs::exists(done));
    WriteFile(gate, "");
    for (int i = 0; i < 200 && !fs::exists(done); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(ReadFile(done), "two words|x=\"y\"\n");

    EXPECT_FALSE(platform::StartProgram((dir / "missing").string(), {}));
    fs::remove_all(dir);
}

TEST(Updater, GetsExactlyTheThreeSwitchesInOrder) {
    EXPECT_EQ(UpdaterArguments("zankoruc", "zankoruc", "zankoruc"),
              (std::vector<std::string>{"/FILE=zankoruc", "/SERVER_PATH=zankoruc",
                                        "/APPTITLE=zankoruc"}));
    EXPECT_EQ(UpdaterArguments("a b", "c", "d"),
              (std::vector<std::string>{"/FILE=a b", "/SERVER_PATH=c", "/APPTITLE=d"}));
}

}  // namespace
