// The duel as a player hears, answers and sees it: steps, cry, swings placed by
// pan and pitch, parries, hits, the chance, the strike, winning and losing.
#include "GameFixture.h"
#include "RecordingCanvas.h"

using Draw = DrawCall::Kind;

using namespace platform;

namespace {

const int kFourWay[] = {0, 100, 8292, 16484, 24676};  // draws giving position 1, 2...
const int kTwoWay[] = {0, 100, 16484};
const int kTwoWayTop[] = {0, 16283, 32767};  // the highest draws giving position 1, 2

const int kSlotDraws[] = {0, 16384, 32767};  // each of three cries and falls
const char* const kCries[] = {"iza", "mairu", "kakugo"};
const char* const kFalls[] = {"uwaa", "yarareta", "munen"};

// A swing of enemy `enemy` in a game started at `start` (the counter's wrap
// and sign change end no wait early), the keys that answer it and its window.
struct Attack {
    Direction direction;
    int enemy;
    uint32_t start;
    int64_t pan, rate;
    int keys[3], wrongKey, windowMs;
};
const Attack kAttacks[] = {
    {Direction::UpperLeft, 1, 1000000, -10000, 24200, {'7', 'A', VK_NUMPAD0 + 7}, '9', 1500},
    {Direction::UpperRight, 5, 0xFFFFF830u, 10000, 24200, {'9', 'K', VK_NUMPAD0 + 9}, '1', 1500},
    {Direction::LowerLeft, 6, 0x7FFFF830u, -10000, 13200, {'1', 'Z', VK_NUMPAD0 + 1}, '3', 1200},
    {Direction::LowerRight, 11, 1000000, 10000, 13200, {'3', 'M', VK_NUMPAD0 + 3}, 'A', 1100},
    {Direction::UpperRight, 45, 1000000, 10000, 24200, {'9', 'K', VK_NUMPAD0 + 9}, '7', 500},
    {Direction::LowerLeft, 46, 0xFFFFF830u, -10000, 13200, {'1', 'Z', VK_NUMPAD0 + 1}, 'M', 400},
};

struct Step {
    int ticks, key, width, height;  // what happens, then the window's size
    Draw kind;
    int picture, x, y, w, h;
    bool arm;
    const char* line;
};
// Easy, an upper right attack. Single precision, cut toward zero: 0.22 of
// 100 x 50 is 22 x 11 (double precision would give 21 x 10).
const Step kSteps[] = {
    {1, 0, 640, 480, Draw::PictureScaled, 0, 309, 469, 22, 11, false, "1"},
    {0, 0, 21, 5, Draw::PictureScaled, 0, 0, -6, 22, 11, false, "1"},
    {18, 0, 641, 481, Draw::PictureScaled, 0, 291, 452, 58, 29, false, "1"},
    {1, 0, 99, 40, Draw::Picture, 0, 0, -10, 100, 50, false, "1"},  // full size
    {20, 0, 640, 480, Draw::Picture, 2, 250, 390, 140, 90, false, "1"},
    {0, '9', 640, 480, Draw::Picture, 2, 250, 390, 140, 90, true, "CHANCE!"},
    {0, ' ', 640, 480, Draw::Picture, 5, 220, 330, 200, 150, true, "CHANCE!"},
};

std::vector<DrawCall> Paint(CSceenGame& scene, int width = 640, int height = 480) {
    RecordingCanvas canvas(width, height);
    scene.Paint(canvas);
    return canvas.calls;
}
Ints Box(const DrawCall& call) {
    return {static_cast<int>(call.kind), call.x, call.y, call.width, call.height};
}

}  // namespace

using Duel = GameFixture;

TEST_F(Duel, FirstEnemyComesShoutsAttacksHighAndFallsToTheStrike) {
    for (int slot = 0; slot < 3; slot++) {
        SCOPED_TRACE(slot);
        Start(2);
        // The cry, then a lower position drawn first: enemy 1 attacks high only.
        Queue({kSlotDraws[slot], kFourWay[4], kTwoWay[1]});
        std::vector<Heard> start = Take();  // centred, at the clip's own rate
        EXPECT_EQ(Started(start), Names{"asiato"});
        EXPECT_EQ(Values(start, "asiato", Kind::Pan), Ints{0});
        EXPECT_EQ(Values(start, "asiato", Kind::Frequency), Ints{0});
        Tick(10);  // louder on every tick, repainted
        EXPECT_EQ(Values(Take(), "asiato", Kind::Volume),
                  (Ints{-900, -800, -700, -600, -500, -400, -300, -200, -100, 0}));
        EXPECT_EQ(host->repaints, 11);

        EXPECT_EQ(MsUntilStarted(kCries[slot]), 1000);
        std::vector<Heard> cry = Take();
        EXPECT_EQ(Started(cry), Names{kCries[slot]});
        EXPECT_EQ(Values(cry, "asiato", Kind::Stop).size(), 1u);
        EXPECT_EQ(MsUntilStarted("huri"), 2000);
        Take();
        // Before the chance a strike only clangs, where the clang last was.
        for (int key : {VK_SPACE, int{'5'}, VK_NUMPAD0 + 5}) {
            Key(key);
            std::vector<Heard> clang = Take();
            EXPECT_EQ(Started(clang), Names{"kin"});
            EXPECT_EQ(Values(clang, "kin", Kind::Play), Ints{0});  // once
            EXPECT_TRUE(Values(clang, "kin", Kind::Pan).empty());
        }
        // The first enemy's chance opens with one parry.
        Key('A');
        EXPECT_EQ(Started(Take()), (Names{"kin", "chance"}));
        EXPECT_EQ(Line(), "CHANCE!");
        Queue({kSlotDraws[slot], 32767});  // the fall, then enemy 2's counter: five
        Key('5');
        EXPECT_EQ(Started(Take()), (Names{"sasu1", kFalls[slot]}));
        Key(VK_SPACE);  // the attack is over
        EXPECT_TRUE(Started(Take()).empty());

        // The next enemy comes a second later, at the high rate, named.
        EXPECT_EQ(MsUntilStarted("asiato"), 1000);
        std::vector<Heard> next = Take();
        EXPECT_EQ(Started(next), (Names{"asiato", "no/2"}));
        EXPECT_EQ(Values(next, "asiato", Kind::Frequency), Ints{24200});
    }
    // Enemy 2's counter of five: the chance opens at the sixth parry.
    Queue({0, 0, kTwoWay[1]});
    EXPECT_EQ(MsUntilStarted("huri"), 3500);
    for (int parry = 1; parry <= 6; parry++) {
        Take();
        Key('7');
        EXPECT_EQ(Started(Take()).back() == "chance", parry == 6) << parry;
    }
}

TEST_F(Duel, EachAttackIsPlacedAnsweredByItsKeysAndTimedByTheEnemysWindow) {
    for (const Attack& attack : kAttacks) {
        SCOPED_TRACE(attack.enemy);
        Start(4, attack.start);
        scene->enemyNumber = attack.enemy;
        scene->chanceCounter = 100;
        const int position = static_cast<int>(attack.direction);
        Queue({0});  // the cry
        for (int attacks = 0; attacks < 3; attacks++) {
            if (attack.enemy < 6) {  // a second, two-way draw: only high attacks
                Queue({kFourWay[4], (attacks == 0 ? kTwoWay : kTwoWayTop)[position]});
            } else {
                Queue({kFourWay[position]});
            }
        }
        ASSERT_EQ(MsUntilStarted("huri"), 4000);
        std::vector<Heard> swing = Take();
        EXPECT_EQ(Values(swing, "huri", Kind::Pan), Ints{attack.pan});
        EXPECT_EQ(Values(swing, "huri", Kind::Frequency), Ints{attack.rate});
        for (int key : attack.keys) {
            Key(key);
            std::vector<Heard> parry = Take();
            EXPECT_EQ(Started(parry), Names{"kin"}) << key;
            EXPECT_EQ(Values(parry, "kin", Kind::Pan), Ints{attack.pan}) << key;
        }
        // Parried: the next attack comes half a second after the window.
        EXPECT_EQ(MsUntilStarted("huri"), attack.windowMs + 500);
        std::vector<Heard> next = Take();
        EXPECT_EQ(Values(next, "huri", Kind::Pan), Ints{attack.pan});
        EXPECT_EQ(Values(next, "huri", Kind::Frequency), Ints{attack.rate});
        // Another position's key costs a hit and ends the attack.
        Key(attack.wrongKey);
        EXPECT_EQ(Started(Take()), (Names{"sasu2", "damage1"}));
        EXPECT_EQ(Line(), "DAMAGE!1");
        Key(attack.wrongKey);
        EXPECT_TRUE(Started(Take()).empty());
        // Unanswered, the attack costs a hit when its window ends.
        EXPECT_EQ(MsUntilStarted("huri"), 1000);
        EXPECT_EQ(MsUntilStarted("sasu2"), attack.windowMs);
        EXPECT_EQ(Started(Take()).back(), "damage2");
        EXPECT_EQ(scene->mistakes, 2);
    }
}

TEST_F(Duel, FourHitsLoseWhenTheNextWindowEndsAndOnlyTheStrikeKeyEndsTheGame) {
    Start(2);
    Queue({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // always upper left
    ASSERT_EQ(MsUntilStarted("huri"), 4000);
    for (int hit = 1; hit <= 4; hit++) {
        EXPECT_EQ(MsUntilStarted("sasu2"), 1500);
        EXPECT_EQ(Started(Take()).back(), "damage" + std::to_string(hit));
        EXPECT_EQ(MsUntilStarted("huri"), 500);
    }
    Key('7');  // even a parried window loses now
    EXPECT_EQ(MsUntilStarted("youlose"), 1500);
    EXPECT_EQ(Started(Take()), (Names{"huri", "kin", "chance", "youlose", "GameOver", "sasu2"}));
    EXPECT_EQ(scene->direction, Direction::Fallen);
    EXPECT_EQ(Paint(*scene)[1].picture, &scene->enemyImages[6]);
    EXPECT_EQ(scene->mistakes, 4);
    EndWithStrikeKey(GameResult::Lost);
    EXPECT_TRUE(Started(Take()).empty());
    Key(VK_ESCAPE);
    EXPECT_EQ(scene->resultCode, GameResult::BackToMenu);
}

TEST_F(Duel, EachLevelIsWonAtItsLastEnemyAndScoresTheHits) {
    const int lastEnemy[] = {0, 0, 5, 10, 50};
    for (int level = 2; level <= 4; level++) {
        SCOPED_TRACE(level);
        Start(level);
        host->fakes.random.Srand(11);
        const int first = level == 2 ? 1 : lastEnemy[level] - 1, last = lastEnemy[level];
        scene->enemyNumber = first;
        ASSERT_EQ(MsUntilStarted("huri"), 4000);
        Key(scene->direction == Direction::UpperLeft ? '9' : '7');
        PlayWell(last);
        ASSERT_EQ(scene->phase, Phase::Approach);
        PlayWell();
        ASSERT_EQ(scene->phase, Phase::Won);
        EXPECT_EQ(scene->mistakes, 1);
        EXPECT_EQ(Line(), "Congratulations!");
        Names started = Started(Take()), numbers;
        EXPECT_EQ(std::count(started.begin(), started.end(), "winner"), 1);
        EXPECT_EQ(started.back(), "winner");
        std::copy_if(started.begin(), started.end(), std::back_inserter(numbers),
                     [](const std::string& name) { return name.rfind("no/", 0) == 0; });
        ASSERT_EQ(numbers.size(), static_cast<size_t>(last - first));
        EXPECT_EQ(numbers.back(), "no/" + std::to_string(last));
        EndWithStrikeKey(GameResult::Won);
    }
}

TEST_F(Duel, EachStepShowsItsPictureArmAndLine) {
    Start(2);
    Queue({0, 0, 20000});
    for (const Step& step : kSteps) {
        SCOPED_TRACE(&step - kSteps);
        Tick(step.ticks);
        Key(step.key);
        std::vector<DrawCall> calls = Paint(*scene, step.width, step.height);
        ASSERT_EQ(calls.size(), step.arm ? 4u : 3u);
        EXPECT_EQ(Box(calls[0]), (Ints{0, 0, 0, step.width, step.height}));  // FillBlack
        EXPECT_EQ(Box(calls[1]),
                  (Ints{static_cast<int>(step.kind), step.x, step.y, step.w, step.h}));
        EXPECT_EQ(calls[1].picture, &scene->enemyImages[step.picture]);
        if (step.arm) {
            EXPECT_EQ(calls[2].picture, &scene->armImage);
            EXPECT_EQ(Box(calls[2]), (Ints{4, step.x, step.y, step.w, step.h}));  // transparent
        }
        const DrawCall& text = calls.back();
        EXPECT_EQ(text.line, step.line);
        EXPECT_EQ((Ints{text.x, text.y, text.font.tenthsOfPoint}), (Ints{10, 10, 300}));
        EXPECT_EQ(text.text, (Rgb{255, 0, 0}));
        EXPECT_EQ(text.background, (Rgb{0, 0, 0}));
    }
}
