// Running programs with a given environment, finding them on PATH, shell quoting, files, lines
// and waiting, for the tests that run real programs.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kq::testing {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

struct CommandResult {
    int status = -1;  // the wait status
    std::string output, errors;
};

inline bool ExitedWith(const CommandResult& result, int code) {
    return WIFEXITED(result.status) && WEXITSTATUS(result.status) == code;
}

// Runs argv[0] (a path) with exactly the given environment and no input; the output goes
// through two scratch files, read when the program has ended.
inline CommandResult RunCommand(const std::vector<std::string>& argv,
                                const std::vector<std::string>& env) {
    CommandResult result;
    std::vector<char*> args, environment;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    for (const std::string& e : env) environment.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr), environment.push_back(nullptr);
    char outName[] = "/tmp/kq-run-XXXXXX", errName[] = "/tmp/kq-run-XXXXXX";
    const int out = mkstemp(outName), err = mkstemp(errName);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open("/dev/null", O_RDONLY), 0), dup2(out, 1), dup2(err, 2);
        execve(args[0], args.data(), environment.data()), _exit(127);
    }
    while (pid > 0 && waitpid(pid, &result.status, 0) < 0 && errno == EINTR) continue;
    close(out), close(err);
    result.output = ReadFile(outName), result.errors = ReadFile(errName);
    unlink(outName), unlink(errName);
    return result;
}

inline std::optional<std::string> FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const std::string candidate = directory + "/" + program;
        if (!directory.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

inline std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Polls condition every pollMs until it holds or timeoutMs runs out. The limit only guards
// against a hang: a machine busy with parallel builds once needed more than ten seconds for
// a step of the long tmux session.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 30000,
                      int pollMs = 50) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}

}  // namespace kq::testing
