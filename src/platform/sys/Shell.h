#pragma once
// The shell's open operation: a web address in the desktop's default browser,
// or a program started beside the game. Neither waits, and a failure is only
// reported by the result, which the game ignores.
#include <string>
#include <vector>

namespace platform {

// The shell's open operation as a service; DesktopShell does it for real.
class Shell {
  public:
    virtual ~Shell() = default;
    virtual bool OpenUri(const std::string& uri) = 0;
    virtual bool StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
};

class DesktopShell final : public Shell {
  public:
    bool OpenUri(const std::string& uri) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
};

// Hands `uri` to the desktop's default handler (GIO). Without a display
// (tests, CI) nothing is launched: a browser then has nowhere to show, and a
// text-mode one would take over the terminal. False when nothing was launched.
bool OpenUri(const std::string& uri);

// Starts `program` with `arguments` (each passed as one argument, unquoted),
// without waiting; it inherits the working directory and lives on after the
// game has ended. False when it could not be started.
bool StartProgram(const std::string& program, const std::vector<std::string>& arguments);

struct ShellRequest {
    std::string target;  // the address or the program
    std::vector<std::string> arguments;
};

// Tests: every request made since the last call, oldest first, whether or
// not it succeeded.
std::vector<ShellRequest> TakeShellRequests();

}  // namespace platform
