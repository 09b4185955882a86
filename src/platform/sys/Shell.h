#pragma once
// The shell's open operation: a web address in the desktop's default browser,
// or a program started beside the game. Neither waits, and a failure is only
// reported by the result, which the game ignores.
#include <string>
#include <vector>

namespace platform {

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands `uri` to the desktop's default handler. False when nothing was
    // launched.
    virtual bool OpenUri(const std::string& uri) = 0;
    // Starts `program` with `arguments` (each passed as one argument,
    // unquoted), without waiting; it inherits the working directory and lives
    // on after the game has ended. False when it could not be started.
    virtual bool StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
};

// GIO's default handlers and GLib's process spawning. Without a display
// (tests, CI, a terminal) no address is opened: a browser then has nowhere to
// show, and a text-mode one would take over the terminal.
class DesktopShell final : public Shell {
  public:
    bool OpenUri(const std::string& uri) override;
    bool StartProgram(const std::string& program,
                      const std::vector<std::string>& arguments) override;
};

}  // namespace platform
