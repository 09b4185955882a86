// The title menu: title and looping music first, a cursor stopping at both
// ends, Space or Enter choosing, every key speaking the item and repainting.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "FakeServices.h"
#include "RecordingCanvas.h"
#include "WavBuilder.h"
#include "menu/CSceenMenu.h"
#include "platform/ui/VirtualKeys.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

const char* const kVoices[] = {"tutorial",  "easy",   "normal", "hard",
                               "NetRecord", "update", "end",    "Title"};
using Played = std::vector<std::pair<std::string, int64_t>>;

class Menu : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "sound" / "menu");
        const wav::Bytes clip = wav::MonoClip(wav::Sine16(440, 22050, 2205));
        wav::Write(Path("opning"), clip);
        for (const char* voice : kVoices) {
            wav::Write(Path(std::string("menu/") + voice), clip);
        }
        menu = std::make_unique<CSceenMenu>(host);
        menu->Init(dir.string());
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) { return (dir / "sound" / (name + ".snz")).string(); }
    // The clips started since the last call, with their loop flags.
    Played Started() {
        Played started;
        for (SoundEvent event : host.fakes.audio.TakeJournal()) {
            if (event.kind == SoundEvent::Kind::Play) {
                std::replace(event.name.begin(), event.name.end(), '\\', '/');
                started.emplace_back(event.name, event.value);
            }
        }
        return started;
    }

    fs::path dir = fs::temp_directory_path() / ("zk-menu-test-" + std::to_string(::getpid()));
    FakeSceneHost host;
    std::unique_ptr<CSceenMenu> menu;
};

TEST_F(Menu, StartsWithTheTitleAndMusicThenEveryKeySpeaksAndPaintsTheCursorsItem) {
    using C = MenuChoice;
    const struct {
        int key, cursor;
        MenuChoice chosen;
    } presses[] = {
        {VK_UP, 0, C::None},         {VK_DOWN, 1, C::None},     {VK_SPACE, 1, C::Easy},
        {VK_DOWN, 2, C::Easy},       {VK_RETURN, 2, C::Normal}, {VK_ESCAPE, 2, C::Normal},
        {'7', 2, C::Normal},         {VK_DOWN, 3, C::Normal},   {VK_DOWN, 4, C::Normal},
        {VK_DOWN, 5, C::Normal},     {VK_DOWN, 6, C::Normal},   {VK_DOWN, 6, C::Normal},
        {VK_SPACE, 6, C::End},       {VK_UP, 5, C::End},        {VK_NUMPAD0 + 8, 4, C::End},
        {VK_NUMPAD0 + 2, 5, C::End},  // the keypad's arrows
    };
    EXPECT_EQ(Started(), (Played{{Path("menu/Title"), 0}, {Path("opning"), 1}}));
    long repaints = host.repaints;
    for (const auto& press : presses) {
        SCOPED_TRACE(&press - presses);
        menu->OnKey(press.key);
        EXPECT_EQ(menu->cursor, press.cursor);
        EXPECT_EQ(menu->chosen, press.chosen);
        EXPECT_EQ(Started(), (Played{{Path(std::string("menu/") + kVoices[press.cursor]), 0}}));
        EXPECT_EQ(host.repaints, ++repaints);
    }
    RecordingCanvas canvas(732, 570);
    menu->Paint(canvas);
    ASSERT_EQ(canvas.calls.size(), 8u);  // the black ground, then the items
    for (int i = 0; i < 7; ++i) {
        const DrawCall& text = canvas.calls[i + 1];
        EXPECT_EQ(text.line, menu->items[i]);
        EXPECT_EQ((std::vector<int>{text.x, text.y, text.font.tenthsOfPoint}),
                  (std::vector<int>{10, 10 + 80 * i, 400}));
        EXPECT_EQ(text.text, i == 5 ? (Rgb{255, 255, 0}) : (Rgb{255, 255, 255})) << i;
    }
    menu.reset();  // the music stops with the menu
    EXPECT_EQ(host.fakes.audio.PlayingCount(), 0);
}

}  // namespace
