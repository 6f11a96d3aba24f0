// Fault injection in a child process: a private tmpfs, or an ordinary user (root passes every
// permission check).
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace kq::testing {

// The exit code a child gives when the machine cannot do what it needs: the test is skipped.
inline constexpr int kCannotHere = 77;

// Runs body in a forked child; its result is the child's exit code (-1 after a signal).
inline int RunInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In a child: a tmpfs ("size=64k" and the like) at mountPoint in a private mount namespace.
inline bool MountPrivateTmpfs(const std::string& mountPoint, const char* options) {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options) == 0;
}

// In a child: the user and group 65534, for whom permission bits apply.
inline bool BecomeOrdinaryUser() {
    return ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
}

}  // namespace kq::testing
