// The tutorial: keys are judged only on the pages that ask for them, count
// nothing, and never move the script, which goes on at its own pace.
#include "GameFixture.h"

using platform::VK_SPACE;

namespace {

// A key at a time from the start, what it makes heard (a clang: from where),
// then what comes next and when.
struct Trial {
    int atMs, key;
    Names heard;
    int64_t clangPan;
    const char* next;
    int nextMs;
};
const Trial kTrials[] = {
    {3000, '7', {}, 0, "text/2", 6000},              // a page without a trial
    {21500, '7', {"kin"}, -10000, "text/5", 22000},  // the first swing at once
    {28000, '9', {"sasu2"}, 0, "huri", 32000},       // "push 7 or A"
    {32500, '1', {}, 0, "text/7", 33000},            // during a demonstration
    {50000, 'K', {"kin"}, 10000, "huri", 54000},     // "push 9 or K"
    {61000, VK_SPACE, {}, 0, "chance", 65000},       // no chance yet
    {67000, '5', {"sasu1"}, 0, "text/14", 71000},    // the chance page
    {72000, '7', {}, 0, "text/15", 76000},           // the pages after it ask nothing
};

}  // namespace

using Tutorial = GameFixture;

TEST_F(Tutorial, KeysAreJudgedOnlyWhereAskedAndTheScriptGoesOn) {
    Start(1);
    EXPECT_TRUE(Started(Take()).empty());
    EXPECT_EQ(MsUntilStarted("text/1"), 1000);
    int ms = 1000;
    for (const Trial& trial : kTrials) {
        SCOPED_TRACE(trial.atMs);
        Tick((trial.atMs - ms) / 100);
        ms = trial.atMs;
        Take();
        Key(trial.key);
        std::vector<Heard> heard = Take();
        EXPECT_EQ(Started(heard), trial.heard);
        EXPECT_EQ(Values(heard, "kin", Kind::Pan), trial.clangPan ? Ints{trial.clangPan} : Ints{});
        if (trial.heard == Names{"sasu2"}) {
            EXPECT_EQ(Line(), "DAMAGE!0");
        }
        EXPECT_EQ(scene->mistakes, 0);
        ms += MsUntilStarted(trial.next);
        ASSERT_EQ(ms, trial.nextMs);
    }
    EXPECT_EQ(scene->direction, Direction::Strike);  // the struck picture stays
    while (scene->resultCode == GameResult::None && ms < 110000) {
        Tick();
        ms += 100;
    }
    EXPECT_EQ(ms, 101000);
    EXPECT_EQ(scene->resultCode, GameResult::BackToMenu);
}
