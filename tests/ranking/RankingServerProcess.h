#pragma once
// The real zankoruc-ranking program in a child process, for the tests that
// need the whole thing: started on a free port, stopped by a signal, its
// exit status and standard error kept.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <vector>

class RankingServerProcess {
  public:
    // Starts the program on `database` and waits up to 10 s for its
    // "listening on" line. started() is false when it exited first;
    // exitStatus and ErrorText() then say why. `user`: run under that
    // account's id (root only), to meet a file it cannot write. An empty
    // `database` runs it with `extraArguments` alone.
    explicit RankingServerProcess(const std::string& database,
                                  const std::vector<std::string>& extraArguments = {},
                                  const std::optional<std::string>& user = std::nullopt) {
        std::vector<std::string> args = {ZANKORUC_RANKING_PROGRAM};
        if (!database.empty()) {
            args.insert(args.end(), {"--listen", "127.0.0.1:0", "--database", database});
        }
        args.insert(args.end(), extraArguments.begin(), extraArguments.end());
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]);
            close(err[0]);
            if (user) {
                passwd* account = getpwnam(user->c_str());
                if (account == nullptr || setgid(account->pw_gid) != 0 ||
                    setuid(account->pw_uid) != 0) {
                    _exit(127);
                }
            }
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        stdoutFd = out[0];
        stderrFd = err[0];
        fcntl(stderrFd, F_SETFL, O_NONBLOCK);

        std::string& line = output;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until && line.find('\n') == std::string::npos) {
            pollfd wait{stdoutFd, POLLIN, 0};
            if (poll(&wait, 1, 100) > 0) {
                char buffer[256];
                ssize_t got = read(stdoutFd, buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                line.append(buffer, static_cast<size_t>(got));
            }
        }
        std::smatch match;
        if (std::regex_search(line, match, std::regex("listening on .*:([0-9]+)"))) {
            port = std::stoi(match[1]);
        } else {
            Wait();
        }
    }

    ~RankingServerProcess() {
        if (pid > 0 && !exitStatus) {
            kill(pid, SIGKILL);
            Wait();
        }
        if (stdoutFd >= 0) {
            close(stdoutFd);
        }
        if (stderrFd >= 0) {
            close(stderrFd);
        }
    }

    bool started() const { return port > 0 && !exitStatus; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port); }

    // Sends the signal and waits for the exit; the status, or -signal when
    // a signal ended it.
    int Stop(int signal) {
        kill(pid, signal);
        return Wait();
    }

    // Standard error so far (the request log, the failure messages).
    std::string ErrorText() {
        char buffer[4096];
        ssize_t got;
        while ((got = read(stderrFd, buffer, sizeof buffer)) > 0) {
            errorText.append(buffer, static_cast<size_t>(got));
        }
        return errorText;
    }

    int port = 0;
    std::optional<int> exitStatus;
    std::string output;  // standard output up to the "listening on" line

  private:
    int Wait() {
        int status = 0;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            ErrorText();  // keep the pipe drained so a chatty exit cannot block
            if (std::chrono::steady_clock::now() > until) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            usleep(10000);
        }
        ErrorText();
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return *exitStatus;
    }

    pid_t pid = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
    std::string errorText;
};
