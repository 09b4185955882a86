// The tutorial as the player lives it: 19 spoken pages, five demonstrations,
// the keys judged on the pages that ask for them, and Esc at any moment.
#include <string>
#include <vector>

#include "GameFixture.h"
#include "platform/sys/Clock.h"
#include "platform/ui/VirtualKeys.h"

using Kind = SoundEvent::Kind;
using platform::VK_ESCAPE;
using platform::VK_NUMPAD0;
using platform::VK_SPACE;

namespace {

struct Page {
    int shownAtMs;  // from the start of the scene
    std::vector<std::string> lines;
};

// clang-format off
const Page kPages[19] = {
    {1000, {"You are a brave samurai.", " You defeat an enemy."}},
    {6000, {"You fight against an", " enemy with one to one."}},
    {11000, {"It takes the enemy", " with a sword."}},
    {16000, {"You find a chance and ", " attack it while catching", "  the sword of the enemy "}},
    {22000, {"If the left speaker makes", "  a high sound;", "  the sword in the left."}},
    {27000, {"You please push 7 or A."}},
    {33000, {"If the left speaker makes", "  a low sound;", "  the sword is the lower left."}},
    {38000, {"You please push 1 or Z."}},
    {44000, {"If a right speaker makes", "  a high sound;", "  the sword is top right corner."}},
    {49000, {"You please push 9 or K."}},
    {55000, {"If a right speaker makes", "  a low sound;", " the sword is the lower right."}},
    {60000, {"You please push 3 or M."}},
    {66000, {"You please push 5 or space key", " if you hear the sound of", " the chance."}},
    {71000, {"The next enemy appears", " if you can defeat it."}},
    {76000, {"It is a defeat five times", "  when I make a mistake."}},
    {81000, {"It is a victory", "  if you defeat 5 enemies", "  with the easy mode."}},
    {86000, {"It is a victory", "  if you defeat 10 enemies", " with the normal mode."}},
    {91000, {"It is a victory", "  if you defeat 50 enemies", "  with the hard mode."}},
    {96000, {"I end a tutorial in this."}},
};
// clang-format on

struct Demonstration {
    int atMs;
    std::string sound;
    int64_t pan;
    uint32_t rate;
    int direction;
};
const Demonstration kDemonstrations[] = {
    {21000, "huri", -10000, 24200, CSceenGame::UpperLeft},
    {32000, "huri", -10000, 13200, CSceenGame::LowerLeft},
    {43000, "huri", 10000, 24200, CSceenGame::UpperRight},
    {54000, "huri", 10000, 13200, CSceenGame::LowerRight},
    {65000, "chance", 0, kClipRate, CSceenGame::NoAttack},
};

const int kAllGameKeys[] = {'7',      'A', VK_NUMPAD0 + 7, '9', 'K', VK_NUMPAD0 + 9,
                            '1',      'Z', VK_NUMPAD0 + 1, '3', 'M', VK_NUMPAD0 + 3,
                            VK_SPACE, '5', VK_NUMPAD0 + 5};

}  // namespace

class TutorialTest : public GameFixture {
  protected:
    int ElapsedMs() const { return static_cast<int>(platform::GetTickCount() - startTime); }
    void RunTo(int ms) {
        while (ElapsedMs() < ms) {
            Tick();
        }
    }
    // What a key does now, the scene's state left as it was before.
    std::vector<Heard> Try(int vk) {
        Take();
        Key(vk);
        return Take();
    }
};

TEST_F(TutorialTest, PagesComeInOrderWithTheirLinesVoicesDemonstrationsAndTimings) {
    Start(1);
    EXPECT_TRUE(Started(Take()).empty());  // no footsteps, no number
    EXPECT_TRUE(scene->lines.empty());

    std::vector<int> pageTimes;
    std::vector<std::vector<std::string>> pageLines;
    std::vector<int> demoTimes;
    int endedAt = -1;
    size_t demo = 0;
    while (ElapsedMs() < 110000 && endedAt < 0) {
        Tick();
        std::vector<Heard> heard = Take();
        for (const std::string& name : Started(heard)) {
            if (name == "text/" + std::to_string(pageTimes.size() + 1)) {
                pageTimes.push_back(ElapsedMs());
                pageLines.push_back(scene->lines);
            } else if (demo < std::size(kDemonstrations) && name == kDemonstrations[demo].sound) {
                const Demonstration& d = kDemonstrations[demo];
                SCOPED_TRACE(d.atMs);
                demoTimes.push_back(ElapsedMs());
                int id = d.sound == "huri" ? scene->swingSound : scene->chanceSound;
                EXPECT_EQ(Values(heard, d.sound, Kind::Pan), std::vector<int64_t>{d.pan});
                EXPECT_EQ(Buffer(id)->GetFrequency(), d.rate);
                EXPECT_EQ(scene->direction, d.direction);
                demo++;
            } else {
                ADD_FAILURE() << "unexpected sound " << name << " at " << ElapsedMs();
            }
        }
        if (scene->resultCode == 0) {
            endedAt = ElapsedMs();
        }
    }

    ASSERT_EQ(pageTimes.size(), 19u);
    for (int page = 0; page < 19; page++) {
        SCOPED_TRACE(page);
        EXPECT_EQ(pageTimes[page], kPages[page].shownAtMs);
        EXPECT_EQ(pageLines[page], kPages[page].lines);
    }
    ASSERT_EQ(demoTimes.size(), std::size(kDemonstrations));
    for (size_t i = 0; i < demoTimes.size(); i++) {
        EXPECT_EQ(demoTimes[i], kDemonstrations[i].atMs);
    }
    EXPECT_EQ(endedAt, 101000);
    EXPECT_EQ(scene->mistakes, 0);
}

TEST_F(TutorialTest, KeysAreJudgedOnlyOnThePagesThatAskForThem) {
    Start(1);
    // Times at which no key may do anything: before the first page, the
    // pages without a trial, page 4's text, the demonstrations of pages 6, 8,
    // 10 and 12 and the texts of 6, 8 and 10.
    const int silentTimes[] = {500,   3000,  8000,  13000, 18000, 23000, 32500,
                               34000, 43500, 45000, 54500, 56000, 65500, 72000,
                               78000, 83000, 88000, 93000, 98000, 100900};
    // Times at which the answer to the swing just demonstrated parries, with
    // the clang from the swing's side.
    struct Trial {
        int atMs;
        int answer;
        int wrong;
        int64_t pan;
    };
    const Trial trials[] = {
        {21500, '7', '3', -10000},             // page 4's demonstration second
        {28000, 'A', '9', -10000},             // page 5
        {39000, 'Z', VK_NUMPAD0 + 7, -10000},  // page 7
        {50000, 'K', '1', 10000},              // page 9
        {61000, VK_NUMPAD0 + 3, '7', 10000},   // page 11
    };

    size_t trial = 0;
    for (int at : silentTimes) {
        while (trial < std::size(trials) && trials[trial].atMs < at) {
            const Trial& t = trials[trial];
            SCOPED_TRACE(t.atMs);
            RunTo(t.atMs);
            std::vector<Heard> parry = Try(t.answer);
            EXPECT_EQ(Started(parry), std::vector<std::string>{"kin"});
            EXPECT_EQ(Values(parry, "kin", Kind::Pan), std::vector<int64_t>{t.pan});
            // Keys that are no game key are ignored.
            EXPECT_TRUE(Started(Try('L')).empty());
            EXPECT_TRUE(Started(Try(platform::VK_RETURN)).empty());
            // A wrong one stabs, but nothing is counted and no voice follows.
            EXPECT_EQ(Started(Try(t.wrong)), std::vector<std::string>{"sasu2"});
            EXPECT_EQ(scene->lines, std::vector<std::string>{"DAMAGE!0"});
            EXPECT_EQ(scene->mistakes, 0);
            // The strike does nothing until the chance is shown.
            EXPECT_TRUE(Started(Try(VK_SPACE)).empty());
            trial++;
        }
        SCOPED_TRACE(at);
        RunTo(at);
        std::vector<std::string> lines = scene->lines;
        for (int vk : kAllGameKeys) {
            EXPECT_TRUE(Started(Try(vk)).empty()) << vk;
        }
        EXPECT_EQ(scene->lines, lines);
        EXPECT_EQ(scene->resultCode, -1);
    }
}

TEST_F(TutorialTest, PageTwelveLetsThePlayerStrikeAsOftenAsHeLikes) {
    Start(1);
    RunTo(61000);
    EXPECT_TRUE(Started(Try(VK_SPACE)).empty());  // page 11: the chance is not open
    RunTo(67000);
    for (int vk : std::initializer_list<int>{VK_SPACE, '5', VK_NUMPAD0 + 5, VK_SPACE}) {
        EXPECT_EQ(Started(Try(vk)), std::vector<std::string>{"sasu1"}) << vk;
        EXPECT_EQ(scene->direction, CSceenGame::Strike);
    }
    // The next page keeps the struck-down picture and judges nothing.
    RunTo(72000);
    EXPECT_EQ(scene->direction, CSceenGame::Strike);
    EXPECT_TRUE(Started(Try(VK_SPACE)).empty());
}

TEST_F(TutorialTest, EscLeavesAtAnyMoment) {
    for (int at = 0; at <= 100900; at += 3700) {
        SCOPED_TRACE(at);
        Start(1);
        RunTo(at);
        Key(VK_ESCAPE);
        EXPECT_EQ(scene->resultCode, 0);
    }
}
