// The settings store: the file appears on the first run, every value comes
// back byte for byte, a damaged file reads empty and stays as it is until the
// orderly exit, and the values reach the file only when the window goes.
#include <glib.h>
#include <sys/stat.h>

#include "AppTestSupport.h"
#include "app/CZankoruCDlg.h"
#include "app/CZankoruReg.h"

using namespace apptest;

namespace {

class Settings : public AppFixture {};

TEST_F(Settings, FirstRunCreatesTheFileAndTheExitWritesBothValuesEmpty) {
    ASSERT_FALSE(fs::exists(configHome / "velkor"));
    CZankoruReg settings;
    settings.aria = "stale";
    settings.name = "stale";
    settings.Load();
    EXPECT_EQ(settings.aria, "");
    EXPECT_EQ(settings.name, "");
    ASSERT_TRUE(fs::is_regular_file(SettingsFile()));

    settings.Save();
    GKeyFile* file = g_key_file_new();
    ASSERT_TRUE(g_key_file_load_from_file(file, SettingsFile().c_str(), G_KEY_FILE_NONE, nullptr));
    gchar* group = g_key_file_get_start_group(file);
    ASSERT_NE(group, nullptr);
    for (const char* key : {"aria", "name"}) {
        gchar* value = g_key_file_get_value(file, group, key, nullptr);
        ASSERT_NE(value, nullptr) << key;
        EXPECT_STREQ(value, "") << key;
        g_free(value);
    }
    g_free(group);
    g_key_file_free(file);
}

TEST_F(Settings, EveryAwkwardValueRoundTripsByteForByte) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"", ""},
        {"  two leading", "two trailing  "},
        {" ", "\t"},
        {"a=b", "#not a comment"},
        {"[not a group]", "; not a comment either"},
        {"line one\nline two", "cr\r\nlf\n"},
        {"back\\slash \\n not a newline", "\\s\\x41"},
        {"東京", "Müller Ñoño"},
        {std::string("nul\0inside", 10), "\x01\x1f\x7f"},
        {"\xff\xfe not UTF-8 \x82\xa0", "\x93\xfa\x96\x7b"},  // Shift-JIS bytes
        {std::string(2000, 'x'), "name with \"quotes\" and 'apostrophes'"},
    };
    for (const auto& [aria, name] : values) {
        SCOPED_TRACE(aria + "|" + name);
        CZankoruReg written;
        written.aria = aria;
        written.name = name;
        written.Save();
        CZankoruReg read;
        read.Load();
        EXPECT_EQ(read.aria, aria);
        EXPECT_EQ(read.name, name);
        // Still a key file any GLib program can read.
        GKeyFile* file = g_key_file_new();
        EXPECT_TRUE(
            g_key_file_load_from_file(file, SettingsFile().c_str(), G_KEY_FILE_NONE, nullptr));
        g_key_file_free(file);
    }
    // Saving leaves no temporary file behind.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(SettingsFile().parent_path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(Settings, ADamagedFileReadsEmptyAndIsOnlyReplacedByTheOrderlyExit) {
    fs::create_directories(SettingsFile().parent_path());
    const std::vector<std::string> damaged = {
        "[settings]\naria=Japan\nthis line has no equals sign\nname=Kojiro\n",
        std::string("\x00\x01\x02garbage\xff[", 12),
        "aria=Japan\nname=no group above\n",
    };
    for (const std::string& contents : damaged) {
        WriteFile(SettingsFile(), contents);
        CZankoruCDlg dialog(fakes.services);
        ASSERT_TRUE(dialog.OnInitDialog());
        EXPECT_EQ(dialog.settings.aria, "");
        EXPECT_EQ(dialog.settings.name, "");
        // Playing on does not touch the file.
        dialog.OnKeyUp(0x28);
        dialog.OnTimer(CZankoruCDlg::kTimerId);
        EXPECT_EQ(ReadFile(SettingsFile()), contents);

        dialog.settings.aria = "Secret";
        dialog.OnDestroy();
        CZankoruReg read;
        read.Load();
        EXPECT_EQ(read.aria, "Secret");
        EXPECT_EQ(read.name, "");
    }
}

TEST_F(Settings, AnUnreadableOrUnwritableStoreIsSilentAndLeavesTheGameRunning) {
    // A folder where the file should be: nothing can be read or written.
    fs::create_directories(SettingsFile());
    CZankoruCDlg dialog(fakes.services);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.settings.aria, "");
    dialog.settings.name = "lost";
    dialog.OnDestroy();
    EXPECT_TRUE(fs::is_directory(SettingsFile()));
    EXPECT_TRUE(platform::TakeShownMessages().empty());
}

TEST_F(Settings, NewValuesReachTheFileOnlyWhenTheWindowIsDestroyed) {
    {
        CZankoruReg previous;
        previous.aria = "Japan";
        previous.name = "Old";
        previous.Save();
    }
    std::string before = ReadFile(SettingsFile());
    CZankoruCDlg dialog(fakes.services);
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.settings.aria, "Japan");
    EXPECT_EQ(dialog.settings.name, "Old");

    dialog.settings.aria = "Secret";
    dialog.settings.name = "New";
    for (int i = 0; i < 10; ++i) {
        platform::AdvanceManualClock(100);
        dialog.OnTimer(CZankoruCDlg::kTimerId);
    }
    EXPECT_EQ(ReadFile(SettingsFile()), before);

    dialog.OnDestroy();
    CZankoruReg after;
    after.Load();
    EXPECT_EQ(after.aria, "Secret");
    EXPECT_EQ(after.name, "New");
}

TEST_F(Settings, WithoutXdgConfigHomeTheFileLiesUnderHomeDotConfig) {
    std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    fs::path home = root / "home";
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    for (const char* xdg : {"", "relative/not/allowed"}) {
        if (xdg[0] == '\0') {
            unsetenv("XDG_CONFIG_HOME");
        } else {
            setenv("XDG_CONFIG_HOME", xdg, 1);
        }
        EXPECT_EQ(platform::SettingsFilePath(),
                  (home / ".config" / "velkor" / (platform::ApplicationName() + ".ini")).string());
    }
    CZankoruReg settings;
    settings.name = "home";
    settings.Save();
    EXPECT_TRUE(fs::exists(home / ".config" / "velkor"));
    setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
