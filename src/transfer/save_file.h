#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// How a copy or a save ended, and why when it did not.
struct TransferOutcome {
    enum class Kind { Done, Cancelled, Failed, Exists, Shown };
    Kind kind = Kind::Done;
    std::string error;  // Failed: the reason, as "no space left on device"
};

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
// the file it points to. The source itself, by any name, is never a target
// (Shown). A temporary file is named ".NAME.quirn-save-PID-RANDOM" where the
// folder takes no unnamed one; those whose process is gone are removed.
TransferOutcome save_range(const std::string& source_path, uint64_t first, uint64_t length,
                           const std::string& target_path, bool replace, const std::atomic<bool>& cancel,
                           const SaveProgress& progress);
