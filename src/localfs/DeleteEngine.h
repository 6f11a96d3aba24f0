// The delete engine of the local plugin: removes the job's items and whole trees on the file
// system's own names, asks before a read-only file or a non-empty directory goes, and collects
// what stayed and why.
//
// The walk holds the directories it is in open and works relative to them (unlinkat, openat),
// one level after the other in a loop of its own: a tree thousands of levels deep needs neither
// stack nor paths past the system's limit. It never descends through a symbolic link (a link is
// removed as itself) and never into a directory on which another file system is mounted.
//
// Thread rules: the engine runs in one thread (the job's own, or the caller's) and touches only
// its request, the file system and the hooks it was given. It never changes the process's
// current directory.
#pragma once

#include <string>
#include <vector>

#include "localfs/JobReport.h"

namespace kq::localfs {

// Flags of a delete job (the caller's, extended by the answers).
inline constexpr unsigned kDeleteWithoutQuestions = 4u;  // every question answered "delete"
inline constexpr unsigned kDeleteReadOnly = 8u;          // read-only files: no question
inline constexpr unsigned kDeleteNonEmpty = 16u;         // non-empty directories: no question
inline constexpr unsigned kSkipNonEmpty = 0x40000000u;
inline constexpr unsigned kSkipReadOnly = 0x80000000u;

enum class DeleteQuestion { kReadOnlyFile, kNonEmptyDirectory };

enum class DeleteAnswer {
    kDelete,     // this one
    kSkip,       // this one stays
    kDeleteAll,  // this one and the following ones of the same kind, without asking
    kSkipAll,    // this one and every following one of the same kind stay
    kCancel      // the job ends before its next item
};

// What the engine shows and asks. Called from the engine's thread.
class DeleteHooks {
  public:
    virtual ~DeleteHooks() = default;
    // An item is about to be handled (its absolute path, the file system's names).
    virtual void ShowPath(const std::string& path) = 0;
    virtual DeleteAnswer Ask(DeleteQuestion question, const std::string& path) = 0;
    // The user asked to stop: no further item starts.
    virtual bool Cancelled() = 0;
};

struct DeleteRequest {
    // The absolute directory of the items, the file system's name.
    std::string directory;
    // The items' names as listed (console code page, no directory), in the order they go. A
    // name with '?' is matched against the directory's entries as they list: it stands for
    // exactly one of them or is refused.
    std::vector<std::string> names;
    unsigned flags = 0;
};

struct DeleteOutcome {
    int notDone = 0;  // entries that stayed against the user's will (skipped ones do not count)
    std::vector<JobFailure> failures;  // the first kKeptFailures reasons
    bool cancelled = false;
    static constexpr size_t kKeptFailures = 5;
};

DeleteOutcome RunDeleteEngine(const DeleteRequest& request, DeleteHooks& hooks);

}  // namespace kq::localfs
