// What the scene draws: the black ground, the enemy picture chosen by the
// sword position (growing while it approaches), the arm, and the red lines.
#include <string>
#include <vector>

#include "GameFixture.h"
#include "platform/sys/CrtRandom.h"
#include "platform/ui/RecordingCanvas.h"
#include "platform/ui/VirtualKeys.h"

using platform::DrawCall;
using Draw = platform::DrawCall::Kind;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const platform::Rgb kRed{255, 0, 0};
const platform::Rgb kBlack{0, 0, 0};

}  // namespace

class PaintTest : public GameFixture {
  protected:
    std::vector<DrawCall> Painted(int width = kWidth, int height = kHeight) {
        platform::RecordingCanvas canvas(width, height);
        scene->Paint(canvas);
        return canvas.calls;
    }
    void ExpectBlackGround(const DrawCall& call, int width = kWidth, int height = kHeight) {
        EXPECT_EQ(call.kind, Draw::FillBlack);
        EXPECT_EQ(call.x, 0);
        EXPECT_EQ(call.y, 0);
        EXPECT_EQ(call.width, width);
        EXPECT_EQ(call.height, height);
    }
    void ExpectLine(const DrawCall& call, int i, const std::string& line) {
        EXPECT_EQ(call.kind, Draw::Text);
        EXPECT_EQ(call.x, 10);
        EXPECT_EQ(call.y, 10 + 50 * i);
        EXPECT_EQ(call.line, line);
        EXPECT_EQ(call.font.face, "Arial");
        EXPECT_EQ(call.font.tenthsOfPoint, 300);
        EXPECT_EQ(call.text, kRed);
        EXPECT_EQ(call.background, kBlack);
    }
};

TEST_F(PaintTest, ApproachingEnemyGrowsFromTheBottomCentre) {
    Start(2);
    Tick();
    // 0.22 of 100 x 50 in single precision is 22 x 11 (in double precision
    // it would fall just short, to 21 x 10): centred, bottom on the bottom.
    std::vector<DrawCall> calls = Painted();
    ASSERT_EQ(calls.size(), 3u);
    ExpectBlackGround(calls[0]);
    EXPECT_EQ(calls[1].kind, Draw::PictureScaled);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[0]);
    EXPECT_EQ(calls[1].x, 309);
    EXPECT_EQ(calls[1].y, 469);
    EXPECT_EQ(calls[1].width, 22);
    EXPECT_EQ(calls[1].height, 11);
    ExpectLine(calls[2], 0, "1");
    // In a window narrower than the picture, both cuts go toward zero:
    // (21 - 22) * 0.5 is 0, not -1.
    calls = Painted(21, 5);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].x, 0);
    EXPECT_EQ(calls[1].y, -6);

    // The last scaled frame of the first approach, at its 19th tick, in an
    // odd-sized window: 0.58 of the size.
    Ticks(18);
    calls = Painted(641, 481);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].kind, Draw::PictureScaled);
    EXPECT_EQ(calls[1].width, 58);
    EXPECT_EQ(calls[1].height, 29);
    EXPECT_EQ(calls[1].x, 291);  // (641 - 58.000004) / 2
    EXPECT_EQ(calls[1].y, 452);  // 481 - 29.000002, rounded to single precision
    // The tick that ends the approach shows the enemy at its own size.
    Tick();
    calls = Painted();
    EXPECT_EQ(calls[1].kind, Draw::Picture);
    EXPECT_EQ(calls[1].x, (kWidth - 100) / 2);
    EXPECT_EQ(calls[1].y, kHeight - 50);
    calls = Painted(99, 40);
    EXPECT_EQ(calls[1].x, 0);  // (99 - 100) / 2, cut toward zero
    EXPECT_EQ(calls[1].y, -10);
}

TEST_F(PaintTest, AttackShowsItsPictureAndTheArmOverItsExactRectangleAfterTheParry) {
    platform::CrtQueueRandomValues({0, 0, 20000});  // upper right
    Start(2);
    ASSERT_EQ(MsUntilStarted("huri"), 4000);
    std::vector<DrawCall> calls = Painted();
    ASSERT_EQ(calls.size(), 3u);  // the enemy's number stays until replaced
    EXPECT_EQ(calls[1].kind, Draw::Picture);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[2]);
    EXPECT_EQ(calls[1].x, (kWidth - 210) / 2);
    EXPECT_EQ(calls[1].y, kHeight - 160);

    Key('9');
    calls = Painted();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[2]);
    EXPECT_EQ(calls[2].kind, Draw::PictureBlackTransparent);
    EXPECT_EQ(calls[2].picture, &scene->armImage);
    EXPECT_EQ(calls[2].x, (kWidth - 210) / 2);
    EXPECT_EQ(calls[2].y, kHeight - 160);
    EXPECT_EQ(calls[2].width, 210);
    EXPECT_EQ(calls[2].height, 160);
    ExpectLine(calls[3], 0, "CHANCE!");

    // The strike: picture 6, the arm still over it.
    Key(platform::VK_SPACE);
    calls = Painted();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[5]);
    EXPECT_EQ(calls[2].picture, &scene->armImage);
    EXPECT_EQ(calls[2].width, 240);
    EXPECT_EQ(calls[2].height, 190);
}

TEST_F(PaintTest, LostGameShowsTheFallenPicture) {
    platform::CrtSrand(9);
    Start(2);
    while (scene->phase != CSceenGame::Lost) {
        Tick();
    }
    std::vector<DrawCall> calls = Painted();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].kind, Draw::Picture);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[6]);
    EXPECT_EQ(calls[1].x, (kWidth - 250) / 2);
    EXPECT_EQ(calls[1].y, kHeight - 200);
    ExpectLine(calls[2], 0, "DAMAGE!4");
}

TEST_F(PaintTest, ThreeLinesStandFiftyPixelsApart) {
    Start(1);
    while (scene->lines.size() < 3) {
        Tick();
    }
    std::vector<DrawCall> calls = Painted();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].picture, &scene->enemyImages[0]);
    ExpectLine(calls[2], 0, "You find a chance and ");
    ExpectLine(calls[3], 1, " attack it while catching");
    ExpectLine(calls[4], 2, "  the sword of the enemy ");
}

TEST_F(PaintTest, MissingPicturesDrawNothingButTheTextStillShows) {
    Start(2, kStartTime, TestGameDirectoryWithoutPictures());
    Tick();
    std::vector<DrawCall> calls = Painted();
    ASSERT_EQ(calls.size(), 2u);
    ExpectBlackGround(calls[0]);
    ExpectLine(calls[1], 0, "1");

    // The tutorial starts without any line: only the black ground.
    Start(1, kStartTime, TestGameDirectoryWithoutPictures());
    calls = Painted();
    ASSERT_EQ(calls.size(), 1u);
    ExpectBlackGround(calls[0]);
}
