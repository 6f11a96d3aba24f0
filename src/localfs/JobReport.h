// What a copy, move or delete job did not do and why, and the one message that tells the user.
#pragma once

#include <string>
#include <vector>

namespace kq::localfs {

// Reasons the jobs give themselves; every other reason is an errno value.
inline constexpr int kReasonIntoItself = -1;     // a directory into itself or its own subtree
inline constexpr int kReasonSpecialFile = -2;    // a fifo, socket or device: never opened
inline constexpr int kReasonMaskTooLong = -3;    // the rename mask made a name past the buffer
inline constexpr int kReasonMountPoint = -4;     // another file system is mounted there
inline constexpr int kReasonAmbiguousName = -5;  // several files list as this name
inline constexpr int kReasonTreeMoved = -6;      // a directory was replaced during the walk

struct JobFailure {
    std::string path;  // what was not done (the file system's name)
    int reason = 0;    // errno, or one of the kReason values
};

// The reason in the language's words.
std::string JobReasonText(int reason);

// One alert: the count in the words of the language string countId ("%d"), then each of the
// failures with its path (its end, when long) and reason. Any thread.
void ReportJobFailures(int countId, int notDone, const std::vector<JobFailure>& failures);

}  // namespace kq::localfs
