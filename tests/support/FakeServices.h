#pragma once
// The program's services as tests use them: a clock moved by hand, random
// numbers that can be queued, and message boxes, shell, dialogs and HTTP that
// record what they were asked and answer from a script. FakeServices bundles
// them with the offline audio output into one platform::Services.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
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

// The real generator, except that queued values come first.
class QueuedRandom : public platform::Random {
  public:
    void Srand(unsigned int seed) override { generator.Srand(seed); }
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

class RecordingMessageBoxes : public platform::MessageBoxes {
  public:
    struct Shown {
        std::string text, caption;
    };
    void Show(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption});
    }
    std::vector<Shown> shown;
};

class RecordingShell : public platform::Shell {
  public:
    struct Request {
        std::string target;  // the address or the program
        std::vector<std::string> arguments;
    };
    bool OpenUri(const std::string& uri) override { return Add({uri, {}}); }
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override {
        return Add({program, args});
    }
    std::vector<Request> requests;

  private:
    bool Add(Request request) {
        requests.push_back(std::move(request));
        return true;
    }
};

// Answers from the queues; an unanswered dialog counts as closed.
class ScriptedDialogs : public platform::Dialogs {
  public:
    struct ScoreAnswer {
        bool send = false;
        platform::ScoreDialogFields fields;  // what the player leaves in the dialog
    };
    bool AskScore(platform::ScoreDialogFields& fields) override {
        scoreDialogsShown.push_back(fields);
        ScoreAnswer answer = Next(scoreAnswers, ScoreAnswer{});
        if (answer.send) {
            fields = answer.fields;
        }
        return answer.send;
    }
    bool AskCredentials(const platform::CredentialsPrompt& prompt,
                        platform::Credentials& credentials) override {
        prompts.push_back(prompt);
        auto [accept, typed] = Next(credentialAnswers, {false, {}});
        if (accept) {
            credentials = typed;
        }
        return accept;
    }
    // The work runs inline; `cancelSending` has the player press Cancel as
    // soon as the wait starts.
    bool RunWhileSending(
        const std::function<void(const std::atomic<bool>& cancelled)>& work) override {
        ++sendingRuns;
        sendingCancelled = cancelSending;
        work(sendingCancelled);
        return !sendingCancelled;
    }
    void CancelSending() override { sendingCancelled = true; }
    std::deque<ScoreAnswer> scoreAnswers;
    std::vector<platform::ScoreDialogFields> scoreDialogsShown;
    std::deque<std::pair<bool, platform::Credentials>> credentialAnswers;
    std::vector<platform::CredentialsPrompt> prompts;
    bool cancelSending = false;
    int sendingRuns = 0;
    std::atomic<bool> sendingCancelled{false};

  private:
    template <typename T>
    static T Next(std::deque<T>& queue, T closed) {
        if (queue.empty()) {
            return closed;
        }
        T next = queue.front();
        queue.pop_front();
        return next;
    }
};

// Answers every request with `response` and keeps the requests; `onSend`, when
// set, runs as each request goes out.
class ScriptedHttpClient : public platform::HttpClient {
  public:
    platform::HttpResponse Send(const platform::HttpRequest& request) override {
        requests.push_back(request);
        if (onSend) {
            onSend(request);
        }
        return response;
    }
    std::vector<platform::HttpRequest> requests;
    platform::HttpResponse response;
    std::function<void(const platform::HttpRequest&)> onSend;
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
