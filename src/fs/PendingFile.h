// A new file written beside its destination under a name of its own and put in the
// destination's place only once it is complete: until then, and when that fails, it is removed
// and whatever stood at the destination is untouched. Used by the copies and by saving a text.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "fs/FsInternal.h"

namespace kq::fs {

class PendingDestination {
  public:
    PendingDestination() = default;
    PendingDestination(const PendingDestination&) = delete;
    PendingDestination& operator=(const PendingDestination&) = delete;
    ~PendingDestination() { Discard(); }

    // Creates the new file for destination (relative to baseFd); false when the destination
    // exists and may not be replaced, or is not a regular file, or is source itself (replacing
    // would truncate what is being read), or when no file can be made beside it. With
    // keepReplacedMode the new file takes the permissions of the file it replaces.
    bool Create(int baseFd, const std::string& destination, bool replace, const struct stat* source,
                mode_t permissions, bool keepReplacedMode);

    int Fd() const { return file_.Get(); }
    int FolderFd() const { return folder_.Get(); }

    // Closes the new file (a delayed write error may first show there) and renames it to the
    // destination: over it when replacing, else only while the name is free. FS_COPY_OK, else
    // writeFailed when the close failed or placeFailed when the rename did.
    int Place(int writeFailed, int placeFailed);

    // Gives the new file another name in the same folder instead (never replacing anything),
    // so that it stays; false when it cannot.
    bool KeepAs(const std::string& name);

  private:
    bool CreateBesideIt(mode_t permissions);
    // Where the file system cannot refuse to replace in the rename itself, a hard link does;
    // where it has no hard links either, the name is looked at just before the rename.
    bool PlaceWithoutReplacing();
    void Discard();

    UniqueFd folder_;
    UniqueFd file_;
    std::string name_;
    std::string temporary_;  // the new file's name while it is not in place
    bool replace_ = false;
};

// Writes all of length; false on an error or when the system takes no more (errno tells why).
bool WriteAll(int fd, const char* data, size_t length);

}  // namespace kq::fs
