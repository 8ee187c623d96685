#pragma once
// Replacing a file so that a reader sees either the old contents or the new, never a mix, and a
// failed save leaves the old file exactly as it was.

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace platform {

struct AtomicWriteResult {
    // The step that failed; None when the file was replaced. Target: the path names something
    // that is not a regular file (a folder, a device, a FIFO), or links that lead nowhere.
    enum class Step { None, Target, Create, Write, Replace };

    Step failedStep = Step::None;
    int error = 0;             // errno of the failed step
    std::string temporaryPath; // the temporary file tried (already removed again)

    bool ok() const { return failedStep == Step::None; }
    explicit operator bool() const { return ok(); }
    // The system's text for `error`, e.g. "Permission denied".
    std::string reason() const;
};

// How the new file's permissions are chosen: `mode` as given to open() (the umask applies), or
// exactly `mode` when `exact` is set.
struct FilePermissions {
    mode_t mode = 0666;
    bool exact = false;
};

// Writes `bytes` to a new temporary file beside `path` (a name nobody uses), flushes it to the
// disk, renames it over `path` and syncs the folder. On any failure the temporary file is
// removed and `path` is left untouched.
//
// The target is respected: a file this user may not write is refused (Step::Target, with the
// system's reason) even where the folder would allow the rename; a replaced file keeps its
// permission bits (`permissions` is for new files) and its owner and group. A file with further
// hard links, or one whose owner cannot be kept (somebody else's file in a shared folder), is
// written in place instead: its old contents are first copied to a synced temporary file beside
// it, which puts them back if the write fails and is removed afterwards.
//
// A symbolic link is written through: the file it leads to gets the new contents (still by a
// rename beside it) and the link stays. Something that exists and is not a regular file (a
// folder, a device such as /dev/null, a FIFO) is refused with Step::Target and never renamed
// over.
AtomicWriteResult writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                      FilePermissions permissions = {});

// The checks of writeFileAtomically without writing: `path` may be replaced (it is a regular
// file this user may write, a link to one, or nothing yet) and a file can be created beside it
// (the folder exists and is writable; a temporary file is created and removed again). For a job
// that must know before it starts whether its result can be saved.
AtomicWriteResult checkAtomicWrite(const std::string& path);

// The file that writing `path` would replace: links followed (a relative link from the link's
// own folder), at most 40 of them. Empty with errno ELOOP when they do not end.
std::string resolveWriteTarget(const std::string& path);

} // namespace platform
