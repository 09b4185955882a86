// The duel as a player hears and answers it: footsteps, cry, swings placed by
// pan and pitch, parries, hits, the chance, the strike, winning and losing.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "platform/sys/Clock.h"
#include "platform/sys/CrtRandom.h"
#include "platform/ui/VirtualKeys.h"

using Kind = SoundEvent::Kind;
using platform::VK_ESCAPE;
using platform::VK_NUMPAD0;
using platform::VK_SPACE;

namespace {

// A random value whose four-way draw gives `position` (1..4).
int FourWay(int position) {
    return (position - 1) * 8192 + 100;
}
// A random value whose two-way draw gives `position` (1..2).
int TwoWay(int position) {
    return (position - 1) * 16384 + 100;
}

struct Position {
    int direction;
    int pan;
    uint32_t frequency;
    std::vector<int> answers;
};
const Position kPositions[] = {
    {CSceenGame::UpperLeft, -10000, 24200, {'7', 'A', VK_NUMPAD0 + 7}},
    {CSceenGame::UpperRight, 10000, 24200, {'9', 'K', VK_NUMPAD0 + 9}},
    {CSceenGame::LowerLeft, -10000, 13200, {'1', 'Z', VK_NUMPAD0 + 1}},
    {CSceenGame::LowerRight, 10000, 13200, {'3', 'M', VK_NUMPAD0 + 3}},
};
const std::vector<int> kStrikeKeys = {VK_SPACE, '5', VK_NUMPAD0 + 5};

bool AnyNumberSpoken(const std::vector<Heard>& heard) {
    for (const std::string& name : Started(heard)) {
        if (name.rfind("no/", 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

class DuelTest : public GameFixture {
  protected:
    // From the start of an Easy game to its first swing, the cry and both
    // position draws given.
    void ToFirstSwing(int position) {
        platform::CrtQueueRandomValues({0, FourWay(4), TwoWay(position)});
        Start(2);
        ASSERT_EQ(MsUntilStarted("huri"), 4000);
        Take();
    }
    // Brings a Hard game to the approach of enemy `number` by playing well.
    void ReachEnemy(int number) {
        platform::CrtSrand(7);
        Start(4);
        PlayByEar(number, 1000000);
        ASSERT_EQ(scene->enemyNumber, number);
        ASSERT_EQ(scene->phase, CSceenGame::Approach);
        platform::CrtQueueRandomValues({0});  // the cry
        ASSERT_GE(MsUntilStarted("iza"), 0);
        Take();
    }
};

TEST_F(DuelTest, AllClipsAreRegisteredInTheirOrderAndLoadOnlyWhenPlayed) {
    Start(1);  // the tutorial plays nothing at first
    EXPECT_EQ(scene->soundCount, 141);
    EXPECT_EQ(Buffer(0), nullptr);
    const char* const named[22] = {
        "asiato",  "huri",    "kin",     "sasu1",   "sasu2",   "chance",  "win",  "GameOver",
        "yourwin", "youlose", "winner",  "iza",     "mairu",   "kakugo",  "uwaa", "yarareta",
        "munen",   "damage1", "damage2", "damage3", "damage4", "damage5",
    };
    for (int id = 0; id < 141; id++) {
        std::string name = id < 22   ? named[id]
                           : id < 41 ? "text/" + std::to_string(id - 21)
                                     : "no/" + std::to_string(id - 40);
        scene->sound.Play(id, 0);
        ASSERT_EQ(Started(Take()), std::vector<std::string>{name}) << id;
    }
}

TEST_F(DuelTest, FirstEnemyApproachesCentredGrowsLouderShoutsAndAttacksHighAfterThePause) {
    // The cry draw, then the two position draws: a lower attack would come
    // from the first, but the first five enemies attack high only.
    platform::CrtQueueRandomValues({0, FourWay(4), TwoWay(1)});
    Start(2);
    std::vector<Heard> atStart = Take();
    EXPECT_EQ(Started(atStart), std::vector<std::string>{"asiato"});
    EXPECT_EQ(Values(atStart, "asiato", Kind::Play), std::vector<int64_t>{0});  // once
    EXPECT_EQ(Buffer(scene->footstepsSound)->GetPan(), 0);
    EXPECT_EQ(Buffer(scene->footstepsSound)->GetFrequency(), kClipRate);
    EXPECT_EQ(scene->mistakes, 0);
    EXPECT_EQ(window.repaints, 1);

    Ticks(10);
    std::vector<Heard> ramp = Take();
    EXPECT_EQ(Values(ramp, "asiato", Kind::Volume),
              (std::vector<int64_t>{-900, -800, -700, -600, -500, -400, -300, -200, -100, 0}));
    EXPECT_EQ(Line(0), "1");
    EXPECT_EQ(scene->lines.size(), 1u);
    EXPECT_EQ(window.repaints, 11);  // every approach tick repaints

    EXPECT_EQ(MsUntilStarted("iza"), 1000);  // 2000 ms after the start
    std::vector<Heard> cry = Take();
    EXPECT_EQ(Values(cry, "asiato", Kind::Stop).size(), 1u);
    EXPECT_EQ(Values(cry, "asiato", Kind::Volume).back(), 0);
    EXPECT_EQ(Started(cry), std::vector<std::string>{"iza"});

    EXPECT_EQ(MsUntilStarted("huri"), 2000);  // the cry, then the pause
    std::vector<Heard> swing = Take();
    EXPECT_FALSE(AnyNumberSpoken(swing));
    EXPECT_EQ(Values(swing, "huri", Kind::Pan), std::vector<int64_t>{-10000});
    EXPECT_EQ(Values(swing, "huri", Kind::Frequency), std::vector<int64_t>{24200});
    EXPECT_EQ(Values(swing, "huri", Kind::Play), std::vector<int64_t>{0});

    // One parry opens the first enemy's chance.
    Key('A');
    std::vector<Heard> parry = Take();
    EXPECT_EQ(Started(parry), (std::vector<std::string>{"kin", "chance"}));
    EXPECT_EQ(Values(parry, "kin", Kind::Pan), std::vector<int64_t>{-10000});
    EXPECT_EQ(Buffer(scene->clangSound)->GetFrequency(), kClipRate);
    EXPECT_EQ(Line(0), "CHANCE!");
    EXPECT_TRUE(scene->showArm);
}

TEST_F(DuelTest, CryAndFallAreEachOneOfThreeByTheDraw) {
    const int draws[] = {0, 16384, 32767};
    const char* cries[] = {"iza", "mairu", "kakugo"};
    const char* falls[] = {"uwaa", "yarareta", "munen"};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(cries[i]);
        platform::CrtQueueRandomValues({draws[i], 0, 0});
        Start(3);
        EXPECT_EQ(MsUntilStarted(cries[i]), 2000);
        ASSERT_EQ(MsUntilStarted("huri"), 2000);
        Key('7');
        Take();
        platform::CrtQueueRandomValues({draws[i]});
        Key(VK_SPACE);
        EXPECT_EQ(Started(Take()), (std::vector<std::string>{"sasu1", falls[i]}));
    }
}

TEST_F(DuelTest, EachAttackPositionIsPlacedByPanAndPitchAndParriedByItsKeys) {
    ReachEnemy(6);
    bool first = true;
    for (const Position& position : kPositions) {
        SCOPED_TRACE(position.direction);
        platform::CrtQueueRandomValues({FourWay(position.direction)});
        const int ms = MsUntilStarted("huri");
        if (!first) {
            // A parried attack costs nothing: the next one follows 500 ms
            // after the window, which is 1200 ms for enemies 6 to 10.
            EXPECT_EQ(ms, 1700);
        }
        first = false;
        std::vector<Heard> swing = Take();
        EXPECT_FALSE(WasStarted(swing, "sasu2"));
        EXPECT_EQ(Values(swing, "huri", Kind::Pan), std::vector<int64_t>{position.pan});
        EXPECT_EQ(Values(swing, "huri", Kind::Frequency), std::vector<int64_t>{position.frequency});
        EXPECT_EQ(Buffer(scene->swingSound)->GetFrequency(), position.frequency);
        EXPECT_EQ(scene->direction, position.direction);
        EXPECT_FALSE(scene->showArm);

        for (int key : position.answers) {
            SCOPED_TRACE(key);
            Key(key);
            std::vector<Heard> parry = Take();
            ASSERT_FALSE(Started(parry).empty());
            EXPECT_EQ(Started(parry).front(), "kin");
            EXPECT_FALSE(WasStarted(parry, "sasu2"));
            EXPECT_EQ(Values(parry, "kin", Kind::Pan), std::vector<int64_t>{position.pan});
            EXPECT_EQ(Buffer(scene->clangSound)->GetFrequency(), kClipRate);
            EXPECT_TRUE(scene->showArm);
            EXPECT_EQ(scene->mistakes, 0);
        }
    }
}

TEST_F(DuelTest, EveryOtherDirectionKeyCostsAHitWithItsVoiceAndTheNextAttackComesASecondLater) {
    struct Trial {
        int position;
        int key;
    };
    std::vector<Trial> trials;
    for (const Position& position : kPositions) {
        for (const Position& other : kPositions) {
            for (int key : other.answers) {
                if (other.direction != position.direction) {
                    trials.push_back({position.direction, key});
                }
            }
        }
    }
    ASSERT_EQ(trials.size(), 36u);

    ReachEnemy(6);
    platform::CrtQueueRandomValues({FourWay(trials[0].position)});
    ASSERT_GE(MsUntilStarted("huri"), 0);
    for (size_t i = 0; i < trials.size(); i++) {
        const int hits = static_cast<int>(i) + 1;
        SCOPED_TRACE(std::to_string(trials[i].position) + " key " + std::to_string(trials[i].key));
        ASSERT_EQ(scene->direction, trials[i].position);
        if (i == 0) {
            // A parry does not protect from a wrong key in the same window.
            Key(kPositions[trials[i].position - 1].answers[0]);
        }
        Take();
        Key(trials[i].key);
        std::vector<Heard> hit = Take();
        // The stroke, then the voice of the 1st to 5th hit; none after.
        std::vector<std::string> expected = {"sasu2"};
        if (hits <= 5) {
            expected.push_back("damage" + std::to_string(hits));
        }
        EXPECT_EQ(Started(hit), expected);
        EXPECT_TRUE(Values(hit, "sasu2", Kind::Pan).empty());  // not placed
        EXPECT_EQ(scene->lines, std::vector<std::string>{"DAMAGE!" + std::to_string(hits)});
        EXPECT_EQ(scene->mistakes, hits);
        // The attack's picture stays until the next attack, but the attack
        // is over: the same key again is not judged.
        EXPECT_EQ(scene->direction, trials[i].position);
        Key(trials[i].key);
        EXPECT_TRUE(Started(Take()).empty());
        EXPECT_EQ(scene->mistakes, hits);
        // Wrong keys alone never end the game: the next attack comes.
        const int next = i + 1 < trials.size() ? trials[i + 1].position : 1;
        platform::CrtQueueRandomValues({FourWay(next)});
        EXPECT_EQ(MsUntilStarted("huri"), 1000);
    }
}

TEST_F(DuelTest, StrikeKeysOnlyClangWhileTheChanceIsClosedAndKillOnceItIsOpen) {
    ToFirstSwing(1);
    // Sound the clang where the last one was: its pan stays from the parry.
    for (int key : kStrikeKeys) {
        SCOPED_TRACE(key);
        Key(key);
        std::vector<Heard> clang = Take();
        EXPECT_EQ(Started(clang), std::vector<std::string>{"kin"});
        EXPECT_TRUE(Values(clang, "kin", Kind::Pan).empty());
        EXPECT_EQ(scene->mistakes, 0);
        EXPECT_EQ(scene->phase, CSceenGame::Attack);
        EXPECT_TRUE(scene->showArm);
    }
    Key('7');
    Take();
    // Between attacks the strike is not judged, chance or not.
    Ticks(15);
    ASSERT_EQ(scene->phase, CSceenGame::NextAttack);
    Key(VK_SPACE);
    EXPECT_TRUE(Started(Take()).empty());
    // The open chance kills even though this attack is not answered: the
    // stroke, a fall cry, the struck-down picture, and the next enemy a
    // second later. A second strike meanwhile is not judged.
    ASSERT_EQ(MsUntilStarted("huri"), 500);
    Take();
    platform::CrtQueueRandomValues({0, 0});
    Key('5');
    EXPECT_EQ(Started(Take()), (std::vector<std::string>{"sasu1", "uwaa"}));
    EXPECT_EQ(scene->direction, CSceenGame::Strike);
    EXPECT_EQ(scene->mistakes, 0);
    Key(VK_SPACE);
    EXPECT_TRUE(Started(Take()).empty());
    EXPECT_EQ(MsUntilStarted("asiato"), 1000);
}

TEST_F(DuelTest, FourHitsLoseWhenTheNextWindowEndsEvenIfParried) {
    for (bool strike : {true, false}) {
        SCOPED_TRACE(strike);
        ToFirstSwing(1);
        for (int hit = 1; hit <= 4; hit++) {
            Key('9');
            platform::CrtQueueRandomValues({0, TwoWay(1)});
            ASSERT_EQ(MsUntilStarted("huri"), 1000);
        }
        Take();
        Key('7');  // parried: the chance opens
        EXPECT_TRUE(WasStarted(Take(), "chance"));
        if (strike) {
            // Struck inside that window, the enemy falls and the game goes on.
            Key(VK_SPACE);
            Ticks(15);
            EXPECT_FALSE(WasStarted(Take(), "youlose"));
            EXPECT_EQ(scene->phase, CSceenGame::Approach);
            EXPECT_EQ(scene->enemyNumber, 2);
        }
    }
    // Nobody strikes: the window's end loses.
    Ticks(14);
    EXPECT_EQ(scene->phase, CSceenGame::Attack);
    Tick();  // 1500 ms: the window ends
    EXPECT_EQ(Started(Take()), (std::vector<std::string>{"youlose", "GameOver", "sasu2"}));
    EXPECT_EQ(scene->phase, CSceenGame::Lost);
    EXPECT_EQ(scene->direction, CSceenGame::Fallen);

    // The strike key waits out 3000 ms; Esc does not.
    for (int tick = 1; tick < 30; tick++) {
        Tick();
        Key(VK_SPACE);
        ASSERT_EQ(scene->resultCode, -1) << tick;
    }
    Key(VK_ESCAPE);
    EXPECT_EQ(scene->resultCode, 0);
    scene->resultCode = -1;  // as the window does after reading it
    int repaints = window.repaints;
    Tick();
    EXPECT_EQ(window.repaints, repaints + 1);
    Key('7');  // not a strike key
    EXPECT_EQ(scene->resultCode, -1);
    Key(VK_NUMPAD0 + 5);
    EXPECT_EQ(scene->resultCode, 1);
    EXPECT_TRUE(Started(Take()).empty());  // a lost game stays silent
}

TEST_F(DuelTest, EscLeavesAtOnceInEveryPhaseOfTheDuel) {
    for (int ticks : {1, 25, 40, 45}) {  // approach, cry, attack, after a parry
        SCOPED_TRACE(ticks);
        platform::CrtSrand(3);
        Start(2);
        Ticks(ticks);
        if (ticks == 45) {
            Key(AnswerByEar());
        }
        Key(VK_ESCAPE);
        EXPECT_EQ(scene->resultCode, 0);
    }
}

TEST_F(DuelTest, WinningAtEasyAndNormalComesAtTheThresholdEnemyAndScoresTheHits) {
    for (int level : {2, 3}) {
        const int threshold = level == 2 ? 5 : 10;
        SCOPED_TRACE(level);
        platform::CrtSrand(11);
        Start(level);
        // One wrong answer at the first attack: the score becomes 1.
        ASSERT_GE(MsUntilStarted("huri"), 0);
        int answer = AnswerByEar();
        Key(answer == '7' ? '9' : '7');
        PlayByEar(0, 1000000);
        ASSERT_EQ(scene->phase, CSceenGame::Won);
        EXPECT_EQ(scene->enemyNumber, threshold);
        std::vector<Heard> game = Take();
        std::vector<std::string> started = Started(game);
        EXPECT_EQ(started.back(), "winner");
        EXPECT_EQ(Line(0), "Congratulations!");
        EXPECT_EQ(scene->direction, CSceenGame::Strike);
        EXPECT_EQ(scene->mistakes, 1);
        EXPECT_EQ(std::count(started.begin(), started.end(), "winner"), 1);

        for (int tick = 1; tick < 30; tick++) {
            Tick();
            Key(VK_SPACE);
            ASSERT_EQ(scene->resultCode, -1) << tick;
        }
        Tick();
        Key(VK_SPACE);
        EXPECT_EQ(scene->resultCode, 2);
        scene->resultCode = -1;  // as the window does after reading it
        Key(VK_ESCAPE);
        EXPECT_EQ(scene->resultCode, 0);
    }
}

TEST_F(DuelTest, LaterEnemiesComeAtTheHighRateWithTheirNumberAndADrawnChanceCounter) {
    ToFirstSwing(1);
    Key('7');
    // The fall cry, then the chance counter of enemy 2: 32767 gives 5.
    platform::CrtQueueRandomValues({0, 32767});
    Key(VK_SPACE);
    Take();
    EXPECT_EQ(MsUntilStarted("asiato"), 1000);
    std::vector<Heard> approach = Take();
    EXPECT_TRUE(WasStarted(approach, "no/2"));
    EXPECT_FALSE(WasStarted(approach, "no/1"));
    EXPECT_EQ(Buffer(scene->footstepsSound)->GetPan(), 0);
    EXPECT_EQ(Buffer(scene->footstepsSound)->GetFrequency(), 24200u);
    EXPECT_TRUE(scene->lines.empty());
    EXPECT_FALSE(scene->showArm);
    EXPECT_EQ(scene->direction, CSceenGame::NoAttack);  // picture 1 again
    Tick();
    EXPECT_EQ(Line(0), "2");
    EXPECT_EQ(Values(Take(), "asiato", Kind::Volume), std::vector<int64_t>{-900});

    // The later approach lasts 1500 ms; the chance then takes six parries,
    // all within one window.
    platform::CrtQueueRandomValues({0, 0, TwoWay(1)});
    EXPECT_EQ(MsUntilStarted("iza"), 1400);
    EXPECT_EQ(MsUntilStarted("huri"), 2000);
    for (int parry = 1; parry <= 6; parry++) {
        Take();
        Key('7');
        EXPECT_EQ(WasStarted(Take(), "chance"), parry == 6) << parry;
    }
    // 0 gives a counter of 1: two parries for enemy 3.
    platform::CrtQueueRandomValues({0, 0});
    Key(VK_SPACE);
    ASSERT_EQ(MsUntilStarted("asiato"), 1000);
    EXPECT_TRUE(WasStarted(Take(), "no/3"));
    platform::CrtQueueRandomValues({0, 0, TwoWay(1)});
    ASSERT_EQ(MsUntilStarted("huri"), 3500);
    Key('7');
    EXPECT_FALSE(WasStarted(Take(), "chance"));
    Key('7');
    EXPECT_TRUE(WasStarted(Take(), "chance"));
}

TEST_F(DuelTest, KeyReleasedAfterTheDeadlineButBeforeTheTickStillCountsForThatAttack) {
    ToFirstSwing(1);
    Ticks(14);
    // A late timer: the key is released 50 ms past the window's end, and the
    // tick comes 50 ms after it.
    platform::AdvanceManualClock(150);
    Key('7');
    EXPECT_TRUE(WasStarted(Take(), "chance"));
    platform::AdvanceManualClock(50);
    scene->Tick();
    EXPECT_FALSE(WasStarted(Take(), "sasu2"));
    EXPECT_EQ(scene->mistakes, 0);
    EXPECT_EQ(scene->phase, CSceenGame::NextAttack);
    // The parry counted for that attack only: the next one, unanswered,
    // costs a hit when its window ends.
    EXPECT_EQ(MsUntilStarted("sasu2"), 2000);
    EXPECT_EQ(scene->mistakes, 1);
}

// The counter wraps after 49.7 days and passes 2^31 half-way there; neither
// may end a wait early.
TEST_F(DuelTest, WaitsLastTheirFullTimeAcrossTheTickCounterBoundaries) {
    for (uint32_t start : {0xFFFFF830u, 0x7FFFF830u}) {
        SCOPED_TRACE(start);
        platform::CrtQueueRandomValues({0, 0, 0});
        Start(2, start);
        EXPECT_EQ(MsUntilStarted("iza"), 2000);
        EXPECT_EQ(MsUntilStarted("huri"), 2000);
        EXPECT_EQ(MsUntilStarted("sasu2"), 1500);  // the unanswered window
    }
}

TEST_F(DuelTest, SilentPlayerLosesAfterFiveUnansweredAttacks) {
    platform::CrtSrand(5);
    Start(3);
    ASSERT_EQ(MsUntilStarted("huri"), 4000);
    for (int hit = 1; hit <= 4; hit++) {
        SCOPED_TRACE(hit);
        Take();
        EXPECT_EQ(MsUntilStarted("sasu2"), 1500);
        std::vector<Heard> heard = Take();
        EXPECT_TRUE(WasStarted(heard, "damage" + std::to_string(hit)));
        EXPECT_EQ(Line(0), "DAMAGE!" + std::to_string(hit));
        EXPECT_EQ(scene->direction, CSceenGame::NoAttack);
        EXPECT_EQ(MsUntilStarted("huri"), 500);
    }
    Take();
    Ticks(15);
    EXPECT_EQ(Started(Take()), (std::vector<std::string>{"youlose", "GameOver", "sasu2"}));
    EXPECT_EQ(scene->mistakes, 4);
    EXPECT_EQ(scene->phase, CSceenGame::Lost);
}

TEST_F(DuelTest, FullHardGameWonByEarWithWindowsShrinkingEveryFiveEnemies) {
    platform::CrtSrand(2024);
    Start(4);

    // Swings by enemy: when they came and how high they were.
    std::map<int, std::vector<uint32_t>> swingTimes;
    std::map<int, std::vector<uint32_t>> swingRates;
    std::vector<std::string> numbers;
    uint32_t now = kStartTime;
    for (int tick = 0; tick < 20000 && scene->phase != CSceenGame::Won; tick++) {
        Tick();
        now += 100;
        std::vector<Heard> heard = Fresh();
        for (const std::string& name : Started(heard)) {
            if (name.rfind("no/", 0) == 0) {
                numbers.push_back(name);
            }
        }
        if (WasStarted(heard, "huri")) {
            swingTimes[scene->enemyNumber].push_back(now);
            swingRates[scene->enemyNumber].push_back(Buffer(scene->swingSound)->GetFrequency());
            Key(AnswerByEar());
            if (WasStarted(Fresh(), "chance")) {
                Key(VK_SPACE);
                Fresh();
            }
        }
    }
    ASSERT_EQ(scene->phase, CSceenGame::Won);
    EXPECT_EQ(scene->enemyNumber, 50);
    EXPECT_EQ(scene->mistakes, 0);
    ASSERT_EQ(numbers.size(), 49u);
    for (int n = 2; n <= 50; n++) {
        EXPECT_EQ(numbers[n - 2], "no/" + std::to_string(n));
    }

    // Every attack is parried, so the next attack of the same enemy comes
    // 500 ms after the window.
    const int windows[] = {1500, 1200, 1100, 1000, 900, 800, 700, 600, 500, 400};
    int measured = 0;
    bool lowHeard = false;
    for (const auto& [enemy, times] : swingTimes) {
        for (size_t i = 1; i < times.size(); i++) {
            EXPECT_EQ(times[i] - times[i - 1], windows[(enemy - 1) / 5] + 500u) << enemy;
            measured++;
        }
        for (uint32_t rate : swingRates[enemy]) {
            if (enemy <= 5) {
                EXPECT_EQ(rate, 24200u) << enemy;
            }
            lowHeard = lowHeard || rate == 13200u;
        }
    }
    EXPECT_GT(measured, 50);
    EXPECT_TRUE(lowHeard);
    for (int group = 0; group < 10; group++) {
        bool any = false;
        for (int enemy = group * 5 + 1; enemy <= group * 5 + 5; enemy++) {
            any = any || swingTimes[enemy].size() > 1;
        }
        EXPECT_TRUE(any) << "no window measured for enemies " << group * 5 + 1;
    }

    Ticks(30);
    Key(VK_SPACE);
    EXPECT_EQ(scene->resultCode, 2);
}
