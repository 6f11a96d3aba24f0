// The copy and move engine of the local plugin: walks the job's items and trees on the file
// system's own names, copies files (never replacing anything), renames within one file system,
// recreates links and directories, and collects what was not done and why.
//
// Thread rules: the engine runs in one thread (the job's own, or the caller's) and touches only
// its job, the file system and the progress sink it was given. It never changes the process's
// current directory: every path it builds is absolute.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "localfs/JobReport.h"

namespace kq::localfs {

// The most bytes a path may have, terminator included: the size of the job's buffers. A source
// or target path that would not fit is refused for its item and reported.
inline constexpr size_t kJobPathSize = 512;

// Where the engine shows what it does. Called from the engine's thread.
class CopyProgress {
  public:
    virtual ~CopyProgress() = default;
    // A file, link or directory is about to be handled (the file system's names).
    virtual void StartItem(const std::string& source, const std::string& target) = 0;
    // Bytes of the current file copied so far, of its size; finished is the bytes of all the
    // files done before it.
    virtual void Advance(uint64_t fileDone, uint64_t fileSize, uint64_t finished) = 0;
    // The user asked to stop: no further item starts (the one under way ends normally).
    virtual bool Cancelled() = 0;
};

// A source that was not copied or moved, and why.
using CopyFailure = JobFailure;

struct CopyRequest {
    // Absolute sources in the order they are handled (the file system's names).
    std::vector<std::string> sources;
    // Absolute: a directory ending in '/', a target name, or a rename mask in its last part.
    std::string destination;
    bool move = false;
    bool systemCopy = false;
};

struct CopyOutcome {
    int notDone = 0;  // files, links and directories not copied or moved
    // The first reasons, at most kKeptFailures of them.
    std::vector<CopyFailure> failures;
    uint64_t bytes = 0;  // bytes of the files copied
    bool cancelled = false;
    static constexpr size_t kKeptFailures = 5;
};

// Runs the whole job. stopRequested, when given, is asked between items as the cancel is.
CopyOutcome RunCopyEngine(const CopyRequest& request, CopyProgress& progress,
                          bool (*stopRequested)() = nullptr);

// The target of one source name under destination: destination's directory and the source's
// name when destination ends in '/', the masked name when its last part holds '*' or '?', else
// destination itself. Empty when the mask or the joined path does not fit kJobPathSize.
std::string TargetFor(const std::string& destination, const std::string& sourceName,
                      int* reason = nullptr);

// The rename mask applied to a name: '*' takes characters of the name up to the character
// that follows it in the mask, '?' takes one, others replace one; what is left of '*' and '?'
// when the name ends goes. Empty when the result would not fit limit bytes with terminator.
std::string ApplyRenameMask(const std::string& mask, const std::string& name,
                            size_t limit = kJobPathSize);

}  // namespace kq::localfs
