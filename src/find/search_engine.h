#pragma once

#include "find/search_pattern.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Where a search runs and which way.
struct SearchRequest {
    SearchPattern pattern;
    uint64_t from = 0;       // forward: the first offset tried; backward: matches start before it
    bool backward = false;
    bool wrap = true;        // go on from the other end of the file after reaching one
};

struct SearchProgress {
    uint64_t position = 0;   // the offset reached
    uint64_t file_size = 0;
    uint64_t bytes_done = 0; // bytes looked at so far, holes skipped included
};

struct SearchOutcome {
    enum class Kind { Found, NotFound, Cancelled, Failed };
    Kind kind = Kind::NotFound;
    uint64_t offset = 0;     // of the match
    bool wrapped = false;    // the match lies past the end the search started towards
    std::string error;
};

// Searches the open file `fd` in blocks of `block_bytes` read with pread (a
// block stays in the processor's cache between the read and the scan); a
// match across a block boundary is found once. Holes of a sparse file are
// skipped when the pattern needs a byte that is not zero. Stops within one
// block of `cancel` being set. Calls `progress` at most every 50 ms. Memory
// is two blocks, whatever the file's size.
SearchOutcome run_search(int fd, const SearchRequest& request, const std::atomic<bool>& cancel,
                         const std::function<void(const SearchProgress&)>& progress,
                         size_t block_bytes = size_t{64} << 10);
