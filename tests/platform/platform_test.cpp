// The platform pieces the game's rules lean on: deadlines across the counter's
// wrap, the runtime's random sequence, the key codes the duel reads, the asset
// lookup's letter case, the area list's type-ahead, the settings file keeping every value whole,
// pictures bounded in cost, and the sound server's names kept to the game.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files/AssetPath.h"
#include "platform/files/SettingsFile.h"
#include "platform/sys/AppName.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/sys/Shell.h"
#include "platform/sys/SoundServerEnvironment.h"
#include "platform/ui/MainWindow.h"
#include "platform/ui/Picture.h"
#include "platform/ui/TypeAhead.h"

namespace fs = std::filesystem;

namespace {

TEST(Clock, DeadlinesHoldAcrossTheCounterWrap) {
    struct Case {
        uint32_t now, deadline;
        bool reached;
    } cases[] = {{999, 1000, false},
                 {1000, 1000, true},
                 {0x80000000u, 0x80000000u + 400, false},
                 {0x80000000u + 400, 0x80000000u + 400, true},
                 {0xFFFFFF00u, 0xFFFFFF00u + 1000, false},
                 {0x000002E8u, 0xFFFFFF00u + 1000, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(platform::DeadlineReached(c.now, c.deadline), c.reached) << c.now;
    }
}

TEST(CrtRandom, GivesTheRuntimesFifteenBitSequence) {
    platform::CrtRandom random;
    for (int expected : {41, 18467, 6334, 26500, 19169}) {
        EXPECT_EQ(random.Rand(), expected);
    }
    random.Srand(12345);  // a seed starts its own sequence
    EXPECT_EQ(random.Rand(), 7584);
    EXPECT_EQ(random.Rand(), 19164);
}

TEST(VirtualKeys, DuelKeysArriveWhateverShiftCapsNumLockAndLayout) {
    struct Case {
        unsigned keyval, keycode, unshifted;
        int expected;
    } cases[] = {
        {GDK_KEY_a, 38, GDK_KEY_a, 0x41},
        {GDK_KEY_A, 38, GDK_KEY_a, 0x41},
        {GDK_KEY_K, 45, GDK_KEY_k, 0x4B},
        {GDK_KEY_z, 52, GDK_KEY_z, 0x5A},
        {GDK_KEY_exclam, 10, GDK_KEY_1, 0x31},
        {GDK_KEY_numbersign, 12, GDK_KEY_3, 0x33},
        {GDK_KEY_0, 19, GDK_KEY_0, 0x30},
        {GDK_KEY_parenleft, 18, GDK_KEY_9, 0x39},
        // A French digit row prints symbols but is still the digit row.
        {GDK_KEY_ampersand, 10, GDK_KEY_ampersand, 0x31},
        // The keypad with Num Lock on and off.
        {GDK_KEY_KP_7, 79, GDK_KEY_KP_Home, 0x67},
        {GDK_KEY_KP_Home, 79, GDK_KEY_KP_Home, 0x67},
        {GDK_KEY_KP_Page_Up, 81, GDK_KEY_KP_Page_Up, 0x69},
        {GDK_KEY_KP_End, 87, GDK_KEY_KP_End, 0x61},
        {GDK_KEY_KP_3, 89, GDK_KEY_KP_Page_Down, 0x63},
        {GDK_KEY_KP_Begin, 84, GDK_KEY_KP_Begin, 0x65},
        {GDK_KEY_KP_Insert, 90, GDK_KEY_KP_Insert, 0x60},
        {GDK_KEY_KP_Home, 200, GDK_KEY_KP_Home, 0x67},  // an odd keypad, known by its keysym
        {GDK_KEY_KP_Enter, 104, GDK_KEY_KP_Enter, 0x0D},
        {GDK_KEY_Left, 113, GDK_KEY_Left, 0x25},
        {GDK_KEY_Tab, 23, GDK_KEY_Tab, 0x09},
        {GDK_KEY_F1, 67, GDK_KEY_F1, 0x70},
        {GDK_KEY_KP_Add, 86, GDK_KEY_KP_Add, 0x6B},
        {GDK_KEY_comma, 59, GDK_KEY_comma, 0xBC},
        {GDK_KEY_AudioMute, 121, GDK_KEY_AudioMute, 0},  // no code: the menu still speaks
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::VirtualKeyFromGdkKey(c.keyval, c.keycode, c.unshifted), c.expected)
            << std::hex << c.keyval;
    }
}

TEST(TypeAhead, TypedLettersReachTheEntryTheyBegin) {
    // The area list's order, which is not alphabetical.
    const std::vector<std::string> areas = {"Secret",  "Italy",   "Jamaica", "Japan",
                                            "Jordan",  "UAE",     "Uganda",  "UK",
                                            "Ukraine", "Uruguay", "USA"};
    struct Case {
        int current;
        const char* keys;  // each typed `gapMs` after the one before
        uint32_t gapMs;
        int chosen;
    } cases[] = {{0, "jap", 60, 3},  {0, "JAP", 60, 3},  {0, "ja", 60, 2},   {3, "j", 60, 4},
                 {0, "jjj", 60, 4},  {0, "jjjj", 60, 2}, {0, "ukr", 60, 8},  {0, "uk", 60, 7},
                 {0, "jx", 60, 2},   {0, "ju", 1001, 5}, {0, "ju", 1000, 2}, {-1, "s", 60, 0},
                 {0, "uuu", 300, 7}, {0, "q", 60, 0},    {2, "ja", 60, 2},   {3, "ja", 60, 3},
                 {9, "u", 60, 10},   {10, "u", 60, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.keys) + " from " + std::to_string(c.current));
        platform::TypeAhead typeAhead;
        int current = c.current;
        uint32_t time = 0xFFFFFE00u;  // the event clock wraps meanwhile
        for (const char* key = c.keys; *key != '\0'; ++key, time += c.gapMs) {
            current = typeAhead.Type(areas, current, std::string(1, *key), time);
        }
        EXPECT_EQ(current, c.chosen);
    }
}

TEST(Shell, WithoutADisplayNoBrowserIsLaunched) {
    EXPECT_FALSE(platform::DesktopShell().OpenUri("http://127.0.0.1:9/"));
}

// The sound server's names go to the game's stream only: a value the player set
// stays, and a program the game starts (the updater) does not pass for the game.
TEST(SoundServerEnvironment, KeepThePlayersValueAndStayOutOfStartedPrograms) {
    setenv("PULSE_PROP", "media.role=music", 1);
    unsetenv("PIPEWIRE_PROPS");
    unsetenv("PULSE_LATENCY_MSEC");
    platform::PrepareSoundServerEnvironment();
    EXPECT_STREQ(std::getenv("PULSE_PROP"), "media.role=music");
    const char* pipewire = std::getenv("PIPEWIRE_PROPS");
    ASSERT_NE(pipewire, nullptr);
    EXPECT_NE(std::string(pipewire).find("media.role=Game"), std::string::npos) << pipewire;

    const std::string base =
        (fs::temp_directory_path() / "zk-env-").string() + std::to_string(getpid());
    const fs::path written = base + ".done";
    ASSERT_TRUE(platform::DesktopShell().StartProgram(
        "/bin/sh", {"-c", "env > \"$0\" && mv \"$0\" \"$1\"", base + ".part", written.string()}));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(written) && std::chrono::steady_clock::now() < deadline) {
        usleep(10000);
    }
    std::ifstream file(written);
    std::string environment((std::istreambuf_iterator<char>(file)), {});
    fs::remove(written);
    EXPECT_NE(environment.find("PULSE_PROP=media.role=music\n"), std::string::npos);
    EXPECT_EQ(environment.find("PIPEWIRE_PROPS"), std::string::npos) << environment;
    EXPECT_EQ(environment.find("PULSE_LATENCY_MSEC"), std::string::npos) << environment;
}

TEST(ApplicationName, IsTheFileNameWithoutItsLastExtension) {
    EXPECT_EQ(platform::BaseNameWithoutExtension("/usr/games/zankoruc"), "zankoruc");
    EXPECT_EQ(platform::BaseNameWithoutExtension("/a.b/zankoruc.tar.gz"), "zankoruc.tar");
    EXPECT_EQ(platform::BaseNameWithoutExtension("/home/me/.hidden"), ".hidden");
    EXPECT_EQ(platform::ApplicationName(), "test_platform");
}

class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("zk-platform-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Sound" / "menu");
        fs::create_directories(root / "sound");
        std::ofstream(root / "Sound" / "menu" / "Title.snz") << "upper";
        std::ofstream(root / "sound" / "opning.snz") << "lower";
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        platform::SetSettingsCompany("velkor");
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(Files, AssetLookupIgnoresCaseAndTriesEveryMatchingFolder) {
    const std::string base = root.string();
    EXPECT_EQ(platform::FindAssetFile(base + "\\sound\\menu\\title.SNZ"),
              (root / "Sound" / "menu" / "Title.snz").string());
    EXPECT_EQ(platform::FindAssetFile(base + "\\SOUND\\opning.snz"),
              (root / "sound" / "opning.snz").string());
    EXPECT_EQ(platform::FindAssetFile(base + "\\sound\\missing.snz"), "");
    EXPECT_EQ(platform::FindAssetFile(base + "\\sound\\menu"), "");  // a folder is no file
}

std::string PngChunk(const std::string& type, const std::string& data) {
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : type + data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return be32(static_cast<uint32_t>(data.size())) + type + data + be32(~crc);
}

// A picture file is anyone's (the current directory is looked in first): what
// it costs to decode is bounded, not only the size it claims. The blurred
// circles took over 20 s through librsvg before vector files were refused.
TEST_F(Files, HostilePicturesFailWithinTheirBudgetAndAGoodOneLoads) {
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 48);
    gdk_pixbuf_fill(image, 0x80402000);
    gchar* saved = nullptr;
    gsize savedBytes = 0;
    ASSERT_TRUE(gdk_pixbuf_save_to_buffer(image, &saved, &savedBytes, "png", nullptr, "compression",
                                          "0", nullptr));
    const std::string good(saved, savedBytes);
    g_free(saved);
    g_object_unref(image);
    std::string circles = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4000" height="4000">)"
                          R"(<filter id="b"><feGaussianBlur stdDeviation="400"/></filter>)";
    for (int i = 0; i < 20; ++i) {
        circles += "<circle cx=\"" + std::to_string(100 + 190 * i) + "\" cy=\"" +
                   std::to_string(200 + 180 * i) + "\" r=\"1500\" filter=\"url(#b)\"/>";
    }
    circles += "</svg>";
    const std::string hugeHeader =
        good.substr(0, 8) +
        PngChunk("IHDR", std::string("\0\0\xEA\x60\0\0\xEA\x60\x08\x02\0\0\0", 13)) +  // 60000²
        PngChunk("IDAT", std::string(3000, '\0'));
    const struct {
        const char* name;
        std::string bytes;
        int budgetMilliseconds;
        bool loads;
    } cases[] = {
        {"blurred circles (SVG)", circles, 200, false},
        {"header claiming 60000 x 60000", hugeHeader, 200, false},
        {"PNG cut in half", good.substr(0, good.size() / 2), 200, false},
        {"good PNG with its budget spent", good, 0, false},
        {"good PNG", good, 200, true},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        std::ofstream(root / "sam1.imz", std::ios::binary) << c.bytes;
        platform::Picture picture;
        EXPECT_EQ(picture.Load(root.string() + "\\sam1.imz",
                               platform::PictureBudget(c.budgetMilliseconds)),
                  c.loads)
            << c.name;
        EXPECT_EQ(picture.Width(), c.loads ? 64 : 0) << c.name;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(Files, SettingsKeepEveryValueWholeAndLeaveNoTemporaryFiles) {
    const std::string values[] = {"",
                                  "  spaces at both ends  ",
                                  "a=b #not a comment [group] ;",
                                  "line one\nline two\r\n",
                                  "back\\slash \\n \\s\\x41",
                                  "東京 Müller",
                                  std::string("nul\0inside\x01\x7f", 12),
                                  "\xff\xfe not UTF-8 \x93\xfa\x96\x7b",
                                  std::string(3000, 'x')};
    const fs::path folder = root / "config" / "velkor";
    fs::create_directories(folder);
    std::ofstream(folder / "test_platform.ini.Ab12Cd");  // a save killed a minute ago
    fs::last_write_time(folder / "test_platform.ini.Ab12Cd",
                        fs::file_time_type::clock::now() - std::chrono::minutes(1));
    std::ofstream(folder / "test_platform.ini.Zz9yX8");  // another copy of the game mid-save
    for (const std::string& value : values) {
        ASSERT_TRUE(platform::WriteProfileString("", "name", value));
        EXPECT_EQ(platform::GetProfileString("", "name", "default"), value);
        EXPECT_EQ(platform::UnescapeSettingValue(platform::EscapeSettingValue(value)), value);
    }
    // Escapes written by hand: either case of hex; a broken escape stays text.
    EXPECT_EQ(platform::UnescapeSettingValue("\\x41\\x6a \\xZ1 \\x4"), "Aj \\xZ1 \\x4");
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++entries;
        EXPECT_TRUE(entry.path().filename() == "test_platform.ini" ||
                    entry.path().filename() == "test_platform.ini.Zz9yX8");
    }
    EXPECT_EQ(entries, 2);
}

TEST_F(Files, ADamagedSettingsFileGivesWhatItHoldsAndIsKeptAsBadWhenWritten) {
    // Settings padded with comment lines to a size; 64 KiB is the most read.
    auto padded = [](size_t size) {
        std::string text = "[settings]\naria=Japan\n";
        while (text.size() + 4 <= size) {
            text += "#ab\n";
        }
        return text + std::string(size - text.size(), '#');
    };
    const struct {
        std::string text, aria;
        bool keptAsBad, oversized;
    } cases[] = {
        {"[broken\n\x01\x02 not a key file", "fallback", true, false},
        {"\xEF\xBB\xBF[settings]\naria=Japan\n", "Japan", false, false},
        {"[settings]\nnot a key, group or comment\naria=Japan\n", "Japan", true, false},
        {padded((64 << 10) - 32), "Japan", false, false},  // room left for the save
        {padded((64 << 10) + 1), "fallback", true, true},
        {padded(16 << 20), "fallback", true, true},  // took 35 s and 568 MB to read line by line
    };
    const std::string path = platform::SettingsFilePath(), bad = path + ".bad";
    fs::create_directories(fs::path(path).parent_path());
    for (const auto& c : cases) {
        fs::remove(bad);
        std::ofstream(path, std::ios::binary) << c.text;
        const auto start = std::chrono::steady_clock::now();
        testing::internal::CaptureStderr();
        EXPECT_EQ(platform::GetProfileString("", "aria", "fallback"), c.aria);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(said.find(path) != std::string::npos, c.oversized) << said;
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.text);
        ASSERT_TRUE(platform::WriteProfileString("", "name", "Kenji"));
        EXPECT_EQ(platform::GetProfileString("", "aria", "fallback"), c.aria);
        std::ifstream kept(bad, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), c.keptAsBad ? c.text : "");
    }
    // A FIFO in its place must neither block the start nor be replaced.
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(platform::GetProfileString("", "aria", "fallback"), "fallback");
    EXPECT_FALSE(platform::WriteProfileString("", "aria", "Japan"));
    EXPECT_TRUE(fs::is_fifo(path));
}

}  // namespace
