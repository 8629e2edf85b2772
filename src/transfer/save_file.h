#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How a copy or a save ended, and why when it did not.
struct TransferOutcome {
    enum class Kind { Done, Cancelled, Failed, Exists, Shown };
    Kind kind = Kind::Done;
    // Failed: the reason, as "no space left on device"; Shown: the path of
    // the shown file that the target is.
    std::string error;
};

// Which of the files at `shown` the name `target` is, by any name: the one
// whose device and inode the target's, or its resolved path's, are (the
// path itself, a hard or symbolic link, /proc/self/fd/N, a bind mount); -1
// for none, and for a name that is no file yet.
int shown_file_named(const std::string& target, const std::vector<std::string>& shown);

// Bytes of the range done so far, holes included.
using SaveProgress = std::function<void(uint64_t done)>;

// Copies bytes [first, first + length) of `source` to `target` from its
// offset 0. The target is cut to `length` first and only the source's data
// is written, so its holes stay holes there; data goes through the kernel's
// file-to-file copy where the two allow it, else in 1 MiB reads and writes.
TransferOutcome copy_range(int source, uint64_t first, uint64_t length, int target,
                           const std::atomic<bool>& cancel, const SaveProgress& progress);

// Saves the range of the file at `source_path` as `target_path`: into a
// temporary file in the target's folder, synced, then given the name only
// when complete, so a cancelled or failed save leaves no file behind. An
// existing name is kept (Exists) unless `replace`; a replaced file keeps its
// mode and owner where allowed, and a name that is a symbolic link replaces
// the file it points to. No shown file, the source nor any of `shown`, is
// ever a target, by any name (Shown): checked before the copy and again
// just before the rename. A temporary file is named ".NAME.quirn-save-PID-RANDOM" where the
// folder takes no unnamed one; those whose process is gone are removed.
TransferOutcome save_range(const std::string& source_path, uint64_t first, uint64_t length,
                           const std::string& target_path, bool replace, const std::atomic<bool>& cancel,
                           const SaveProgress& progress, const std::vector<std::string>& shown = {});
