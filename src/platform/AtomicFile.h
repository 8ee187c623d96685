#pragma once
// Replacing a file so that a reader sees either the old contents or the new, never a mix, and a
// failed save leaves the old file exactly as it was.

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

namespace platform {

struct AtomicWriteResult {
    // The step that failed; None when the file was replaced.
    enum class Step { None, Create, Write, Replace };

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
// disk and renames it over `path`. On any failure the temporary file is removed and `path` is
// left untouched.
AtomicWriteResult writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                      FilePermissions permissions = {});

} // namespace platform
