#pragma once

#include "hash/hash_kind.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct HashOutcome {
    enum class Kind { Done, Cancelled, Failed };
    Kind kind = Kind::Done;
    std::string digest;  // Done: lower-case hexadecimal
    std::string error;   // Failed: why, such as "cannot read at 1200: Input/output error"
};

// Called now and then with the bytes hashed so far.
using HashProgress = std::function<void(uint64_t done)>;

// Hashes `length` bytes of the file at `path` from `first`. The holes of a
// sparse file count as the zeros they are and are not read. A byte that
// cannot be read, or a file that ends before the range does, gives no
// digest: a hash of anything but the bytes themselves would be false.
HashOutcome hash_range(const std::string& path, HashKind kind, uint64_t first, uint64_t length,
                       const std::atomic<bool>& cancel, const HashProgress& progress);
