// The won-game path of the game window, driven tick by tick without a display:
// a player wins a game by the rules, the score dialog (answered by a scripted
// stand-in) asks name and area, "Send" reaches a ranking server on 127.0.0.1,
// the answer is shown, and a fresh menu comes back.
#include <cstdlib>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "TestHttpServer.h"
#include "app/CZankoruCDlg.h"
#include "platform/ui/VirtualKeys.h"
#include "ranking/CDlgSendNet.h"

using namespace apptest;

namespace {

// A won game may take a few minutes of game time; a runaway loop stops here.
constexpr int kMaxTicks = 20000;

// The answer keys of the four sword positions, as the player knows them:
// 7 upper left, 9 upper right, 1 lower left, 3 lower right.
const int kAnswerKey[5] = {0, '7', '9', '1', '3'};
// A key that is an answer, but not for `direction`.
int WrongKey(CSceenGame::Direction direction) {
    return direction == CSceenGame::Direction::UpperLeft ? '9' : '7';
}

const char kAnswerPage[] =
    "<html>\r\n<!-- DATA_START -->\r\n  You are No.5<P>Thank you  \r\n\r\n"
    "<!-- DATA_END -->\r\n</html>\r\n";
const char kAnswerText[] = "You are No.5\nThank you\r\n";

CDlgSendNet::ScriptedAnswer Send(const std::string& name, const std::string& area) {
    CDlgSendNet::ScriptedAnswer answer;
    answer.result = CDlgSendNet::kSend;
    answer.typeName = true;
    answer.typedName = name;
    answer.chooseArea = true;
    answer.chosenArea = area;
    return answer;
}

std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

std::string ScoreRequestLine(const std::string& query) {
    return "GET /game/zankoru/GameSet.asp?" + query + " HTTP/1.0";
}

int AreaIndex(const std::string& area) {
    for (int i = 0; i < CDlgSendNet::kAreaCount; ++i) {
        if (area == CDlgSendNet::AreaAt(i)) {
            return i;
        }
    }
    return -1;
}

// The window, noting which scene was current at each repaint request.
class RecordingDlg : public CZankoruCDlg {
  public:
    void RequestRepaint() override {
        CZankoruCDlg::RequestRepaint();
        repaintScenes.push_back(sceneType);
    }
    std::vector<int> repaintScenes;
};

class WonGame : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
        CDlgSendNet::TakeShown();
        dialog = std::make_unique<RecordingDlg>();
    }
    void TearDown() override {
        dialog.reset();
        unsetenv("ZANKORUC_RANKING_HOST");
        AppFixture::TearDown();
    }

    void UseServer(const TestHttpServer& server) {
        setenv("ZANKORUC_RANKING_HOST", server.Host().c_str(), 1);
    }

    void Tick() {
        platform::AdvanceManualClock(100);
        dialog->OnTimer(CZankoruCDlg::kTimerId);
    }

    // From the menu: moves the cursor to `index` and chooses it.
    void StartGame(int index) {
        ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
        for (int i = 0; i < index; ++i) {
            dialog->OnKeyUp(platform::VK_DOWN);
        }
        dialog->OnKeyUp(platform::VK_SPACE);
        Tick();
        ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kGameScene);
        ASSERT_EQ(dialog->gameScene->level, index + 1);
    }

    // Plays the current game to its end by the rules, as a player who sees
    // every attack: the first `wrongAnswers` attacks are answered with a wrong
    // key (each a hit), every other one with the right key (none at all
    // without `answer`); the strike follows as soon as the chance is open.
    // Once the game is won or lost, `endKey` ends it, and the window goes on
    // until the menu is back. Answers the game's level and hits taken, read
    // just before it ended.
    struct Played {
        int level = 0;
        int mistakes = -1;
        bool won = false;
    };
    Played PlayToTheEnd(int wrongAnswers, bool answer = true, int endKey = platform::VK_SPACE) {
        Played played;
        bool answered = false;
        for (int tick = 0; tick < kMaxTicks && dialog->sceneType == CZankoruCDlg::kGameScene;
             ++tick) {
            CSceenGame* game = dialog->gameScene;
            played.level = game->level;
            played.mistakes = game->mistakes;
            played.won = game->phase == CSceenGame::Phase::Won;
            if (game->phase != CSceenGame::Phase::Attack) {
                answered = false;
            } else if (answer && !answered) {
                answered = true;
                if (wrongAnswers > 0) {
                    --wrongAnswers;
                    dialog->OnKeyUp(WrongKey(game->direction));
                } else {
                    dialog->OnKeyUp(kAnswerKey[static_cast<int>(game->direction)]);
                }
            }
            if (game->phase == CSceenGame::Phase::Attack && game->chanceCounter < 0) {
                dialog->OnKeyUp(platform::VK_SPACE);
            }
            if ((game->phase == CSceenGame::Phase::Won || game->phase == CSceenGame::Phase::Lost) &&
                game->endKeyEnabled) {
                dialog->OnKeyUp(endKey);
            }
            Tick();
        }
        EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene) << "the game did not end";
        return played;
    }

    // A fresh menu: cursor on "Tutorial", nothing chosen, the title spoken
    // and the music started again.
    void ExpectFreshMenu() {
        ASSERT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);
        EXPECT_EQ(dialog->gameScene, nullptr);
        ASSERT_NE(dialog->menuScene, nullptr);
        EXPECT_EQ(dialog->menuScene->cursor, 0);
        EXPECT_EQ(dialog->menuScene->chosen, MenuChoice::None);
        std::vector<std::pair<int, int>> started = StartedMenuSounds();
        ASSERT_GE(started.size(), 2u);
        EXPECT_EQ(started[started.size() - 2], (std::pair<int, int>{0, 0}));
        EXPECT_EQ(started.back(), (std::pair<int, int>{8, 1}));
    }

    std::unique_ptr<RecordingDlg> dialog;
};

TEST_F(WonGame, SendSubmitsTheLevelBelowTheGamesAndTheHitsAndShowsTheAnswer) {
    TestHttpServer server({HttpReply("200 OK", "Content-Type: text/html\r\n", kAnswerPage),
                           HttpReply("200 OK", "Content-Type: text/html\r\n", kAnswerPage)});
    UseServer(server);
    ASSERT_TRUE(dialog->OnInitDialog());
    const std::string fileAtStart = ReadFile(SettingsFile());

    // Easy, with two hits taken on the way.
    CDlgSendNet::QueueScriptedAnswer(Send("Miyamoto Musashi", "Japan"));
    StartGame(1);
    Mixer()->TakeJournal();
    Played easy = PlayToTheEnd(2);
    EXPECT_TRUE(easy.won);
    EXPECT_EQ(easy.level, 2);
    EXPECT_EQ(easy.mistakes, 2);

    // Nothing stored yet: an empty name and "Secret" were offered.
    std::vector<CDlgSendNet::Shown> shown = CDlgSendNet::TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, "");
    EXPECT_EQ(shown[0].selectedIndex, 0);

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(RequestLine(requests[0]),
              ScoreRequestLine("aria=Japan&name=Miyamoto%20Musashi&mode=0&level=1&score=2"));

    std::vector<platform::ShownMessage> messages = platform::TakeShownMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kAnswerText);
    EXPECT_EQ(messages[0].caption, platform::ApplicationName());
    ExpectFreshMenu();
    // Once the dialogs are gone the whole window is drawn again, with the menu.
    ASSERT_FALSE(dialog->repaintScenes.empty());
    EXPECT_EQ(dialog->repaintScenes.back(), CZankoruCDlg::kMenuScene);

    // The confirmed values are the window's now, but not yet the file's.
    EXPECT_EQ(dialog->settings.name, "Miyamoto Musashi");
    EXPECT_EQ(dialog->settings.aria, "Japan");
    EXPECT_EQ(ReadFile(SettingsFile()), fileAtStart);

    // A Hard game in the same run offers them again; sent unchanged, the
    // level is 3 and the score this game's hits.
    CDlgSendNet::ScriptedAnswer unchanged;
    unchanged.result = CDlgSendNet::kSend;
    CDlgSendNet::QueueScriptedAnswer(unchanged);
    StartGame(3);
    Played hard = PlayToTheEnd(1);
    EXPECT_TRUE(hard.won);
    EXPECT_EQ(hard.mistakes, 1);
    shown = CDlgSendNet::TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, "Miyamoto Musashi");
    EXPECT_EQ(shown[0].selectedIndex, AreaIndex("Japan"));
    requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestLine(requests[1]),
              ScoreRequestLine("aria=Japan&name=Miyamoto%20Musashi&mode=0&level=3&score=1"));
    EXPECT_EQ(platform::TakeShownMessages().size(), 1u);
    ExpectFreshMenu();
    EXPECT_EQ(ReadFile(SettingsFile()), fileAtStart);

    // At the end the destroyed window writes them.
    dialog->OnDestroy();
    CZankoruReg stored;
    stored.Load();
    EXPECT_EQ(stored.name, "Miyamoto Musashi");
    EXPECT_EQ(stored.aria, "Japan");
}

TEST_F(WonGame, CloseSendsNothingAndKeepsTheStoredValues) {
    CZankoruReg before;
    before.name = "Kojiro";
    before.aria = "Spain";
    before.Save();
    const std::string fileBefore = ReadFile(SettingsFile());
    TestHttpServer server({HttpReply("200 OK", "", kAnswerPage)});
    UseServer(server);
    ASSERT_TRUE(dialog->OnInitDialog());

    // The player types a new name and picks another area, then closes.
    CDlgSendNet::ScriptedAnswer close = Send("Somebody Else", "Peru");
    close.result = CDlgSendNet::kClose;
    CDlgSendNet::QueueScriptedAnswer(close);
    StartGame(1);
    Mixer()->TakeJournal();
    EXPECT_TRUE(PlayToTheEnd(0).won);

    std::vector<CDlgSendNet::Shown> shown = CDlgSendNet::TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, "Kojiro");
    EXPECT_EQ(shown[0].selectedIndex, AreaIndex("Spain"));
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(platform::TakeShownMessages().empty());
    EXPECT_EQ(dialog->settings.name, "Kojiro");
    EXPECT_EQ(dialog->settings.aria, "Spain");
    ExpectFreshMenu();

    // The next won game offers the stored values again, unchanged.
    CDlgSendNet::QueueScriptedAnswer(close);
    StartGame(1);
    PlayToTheEnd(0);
    shown = CDlgSendNet::TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].name, "Kojiro");
    EXPECT_EQ(shown[0].selectedIndex, AreaIndex("Spain"));

    dialog->OnDestroy();
    EXPECT_EQ(ReadFile(SettingsFile()), fileBefore);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(WonGame, AnUnreachableServerShowsErrAndTheMenuStillReturns) {
    RefusingPort closed;
    setenv("ZANKORUC_RANKING_HOST", ("127.0.0.1:" + std::to_string(closed.Port())).c_str(), 1);
    ASSERT_TRUE(dialog->OnInitDialog());
    CDlgSendNet::QueueScriptedAnswer(Send("Musashi", "Japan"));
    StartGame(1);
    Mixer()->TakeJournal();
    EXPECT_TRUE(PlayToTheEnd(0).won);

    std::vector<platform::ShownMessage> messages = platform::TakeShownMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Err");
    EXPECT_EQ(messages[0].caption, platform::ApplicationName());
    // The values were confirmed, so they stay, even though nothing arrived.
    EXPECT_EQ(dialog->settings.name, "Musashi");
    ExpectFreshMenu();
}

TEST_F(WonGame, NoDialogAfterALostGameLeavingOrTheTutorial) {
    TestHttpServer server({HttpReply("200 OK", "", kAnswerPage)});
    UseServer(server);
    ASSERT_TRUE(dialog->OnInitDialog());

    // A player who never answers loses; the strike key ends the lost game.
    StartGame(1);
    Mixer()->TakeJournal();
    Played lost = PlayToTheEnd(0, false);
    EXPECT_FALSE(lost.won);
    EXPECT_EQ(lost.mistakes, 4);
    ExpectFreshMenu();

    // Esc instead of the strike key after a victory leaves without the dialog.
    StartGame(1);
    Played left = PlayToTheEnd(0, true, platform::VK_ESCAPE);
    EXPECT_TRUE(left.won);
    ExpectFreshMenu();

    // The tutorial never offers a score.
    StartGame(0);
    dialog->OnKeyUp(platform::VK_ESCAPE);
    Tick();
    EXPECT_EQ(dialog->sceneType, CZankoruCDlg::kMenuScene);

    EXPECT_TRUE(CDlgSendNet::TakeShown().empty());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(platform::TakeShownMessages().empty());
}

}  // namespace
