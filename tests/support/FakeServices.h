#pragma once
// The program's services as tests use them: a clock moved by hand, random
// numbers that can be queued, and message boxes, shell, dialogs and HTTP that
// record what they were asked and answer from a script. FakeServices bundles
// them with the offline audio output into one platform::Services.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "FakeAudioOutput.h"
#include "platform/Services.h"
#include "scene/SceneHost.h"

class ManualClock : public platform::Clock {
  public:
    uint32_t GetTickCount() override { return now; }
    uint32_t now = 1000;
};

// The real generator, unless values were queued: those come first.
class QueuedRandom : public platform::Random {
  public:
    void Srand(unsigned int seed) override {
        generator.Srand(seed);
        queued.clear();
    }
    int Rand() override {
        if (queued.empty()) {
            return generator.Rand();
        }
        int value = queued.front();
        queued.pop_front();
        return value;
    }
    std::deque<int> queued;

  private:
    platform::CrtRandom generator;
};

struct ShownMessage {
    std::string text;
    std::string caption;
};

class RecordingMessageBoxes : public platform::MessageBoxes {
  public:
    void Show(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption});
    }
    std::vector<ShownMessage> shown;
};

struct ShellRequest {
    std::string target;  // the address or the program
    std::vector<std::string> arguments;
};

class RecordingShell : public platform::Shell {
  public:
    bool OpenUri(const std::string& uri) override {
        requests.push_back({uri, {}});
        return succeed;
    }
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override {
        requests.push_back({program, arguments});
        return succeed;
    }
    std::vector<ShellRequest> requests;
    bool succeed = true;
};

// Answers the dialogs from queued answers; an unanswered dialog is closed.
class ScriptedDialogs : public platform::Dialogs {
  public:
    struct ScoreAnswer {
        bool send = false;
        platform::ScoreDialogFields fields;  // what the player leaves in the dialog
    };
    bool AskScore(platform::ScoreDialogFields& fields) override {
        scoreDialogsShown.push_back(fields);
        if (scoreAnswers.empty()) {
            return false;
        }
        ScoreAnswer answer = scoreAnswers.front();
        scoreAnswers.pop_front();
        if (answer.send) {
            fields = answer.fields;
        }
        return answer.send;
    }
    bool AskCredentials(const platform::CredentialsPrompt& prompt,
                        platform::Credentials& credentials) override {
        prompts.push_back(prompt);
        if (credentialAnswers.empty()) {
            return false;
        }
        bool accept = credentialAnswers.front().first;
        credentials = credentialAnswers.front().second;
        credentialAnswers.pop_front();
        return accept;
    }
    std::deque<ScoreAnswer> scoreAnswers;
    std::vector<platform::ScoreDialogFields> scoreDialogsShown;
    std::deque<std::pair<bool, platform::Credentials>> credentialAnswers;
    std::vector<platform::CredentialsPrompt> prompts;
};

// Answers every request with `response` and keeps the requests.
class ScriptedHttpClient : public platform::HttpClient {
  public:
    platform::HttpResponse Send(const platform::HttpRequest& request) override {
        requests.push_back(request);
        return response;
    }
    std::vector<platform::HttpRequest> requests;
    platform::HttpResponse response;
};

struct FakeServices {
    ManualClock clock;
    QueuedRandom random;
    FakeAudioOutput audio;
    RecordingMessageBoxes messages;
    RecordingShell shell;
    ScriptedDialogs dialogs;
    ScriptedHttpClient http;
    platform::Services services{clock, random, audio, messages, shell, dialogs, http};
};

// A window for scenes under test: it counts the repaints asked of it.
class FakeSceneHost : public SceneHost {
  public:
    void RequestRepaint() override { ++repaints; }
    platform::Services& Services() override { return fakes.services; }
    FakeServices fakes;
    long repaints = 0;
};
