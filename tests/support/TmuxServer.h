// One tmux server of a test's own: a temporary folder holds its socket and whatever the test
// puts there; no configuration file and a minimal environment, so that the user's settings
// never leak in. One detached session runs a command with the options the tests rely on: no
// status line, the pane kept after its program ends, no delay after Esc.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/ProcessTestSupport.h"

namespace kq::testing {

// What tmux reports about a pane's modes; compared before and after a program ran, they show
// that it gave the terminal back as it found it.
inline constexpr const char* kPaneFlagsFormat =
    "alternate_on=#{alternate_on} cursor_flag=#{cursor_flag} keypad_flag=#{keypad_flag} "
    "keypad_cursor_flag=#{keypad_cursor_flag} wrap_flag=#{wrap_flag} insert_flag=#{insert_flag} "
    "origin_flag=#{origin_flag} mouse_any_flag=#{mouse_any_flag}";

class TmuxServer {
  public:
    // pattern: a mkdtemp pattern for the folder, such as "/tmp/kq-tmux-XXXXXX".
    explicit TmuxServer(std::string pattern) {
        if (mkdtemp(pattern.data()) == nullptr) return;
        dir_ = pattern;
        socket_ = (dir_ / "sock").string();
    }
    ~TmuxServer() {
        if (dir_.empty()) return;
        Tmux({"kill-server"});
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TmuxServer(const TmuxServer&) = delete;
    TmuxServer& operator=(const TmuxServer&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& Folder() const { return dir_; }

    // Starts the session; false with tmux's complaint in error when it refused.
    bool StartSession(const std::string& session, const std::string& term, int cols, int rows,
                      const std::string& command, std::string& error) const {
        // One invocation: the options first, so that the session's pane gets them.
        const std::vector<std::vector<std::string>> commands = {
            {"set-option", "-g", "default-terminal", term},
            {"set-option", "-g", "status", "off"},
            {"set-option", "-g", "remain-on-exit", "on"},
            {"set-option", "-s", "escape-time", "0"},
            {"new-session", "-d", "-s", session, "-x", std::to_string(cols), "-y",
             std::to_string(rows), command},
        };
        std::vector<std::string> arguments = {"-f", "/dev/null"};
        for (const std::vector<std::string>& one : commands) {
            if (arguments.size() > 2) arguments.push_back(";");
            arguments.insert(arguments.end(), one.begin(), one.end());
        }
        const CommandResult started = Tmux(arguments);
        error = started.errors;
        return ExitedWith(started, 0);
    }

    CommandResult Tmux(const std::vector<std::string>& arguments) const {
        std::vector<std::string> argv = {*TmuxPath(), "-u", "-S", socket_};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const char* path = std::getenv("PATH");
        return RunCommand(argv, {"PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                                 "HOME=" + dir_.string(), "TMUX_TMPDIR=" + dir_.string(),
                                 "SHELL=/bin/sh", "LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
    }

    // A tmux format expanded for the session, without the line end.
    std::string Display(const std::string& session, const std::string& format) const {
        std::string out = Tmux({"display-message", "-p", "-t", session, format}).output;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

  private:
    std::filesystem::path dir_;
    std::string socket_;
};

}  // namespace kq::testing
