#pragma once

#include "find/search_pattern.h"

#include <atomic>
#include <chrono>
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
    enum class Kind { Found, NotFound, Cancelled, Failed, Changed };  // Changed: another file is at the path now
    Kind kind = Kind::NotFound;
    uint64_t offset = 0;     // of the match
    bool wrapped = false;    // the match lies past the end the search started towards
    std::string error;
    uint64_t unreadable = 0; // bytes that could not be read, and were passed over
};

// Searches the open file `fd` in blocks of `block_bytes`: scanned in place
// through a mapping where the block is in the page cache, read with pread
// where it is not or the file cannot be mapped. A match across a block
// boundary is found once. Holes of a sparse file are skipped when the
// pattern needs a byte that is not zero. Stops within one block of `cancel`
// being set. Calls `progress` at most every `report_every`, once a block is
// at hand and before it is scanned. Covers the file as long as it was at the
// start, or up to its new end if it shrinks; a fault in a mapping past that
// end is caught. Memory is at most three blocks, whatever the file's size:
// the mapping, a buffer once a block was read, and a folded copy for a
// search in any case. A read that fails is retried past its failure in
// sectors; the bytes that cannot be read match nothing, and the outcome
// counts them.
SearchOutcome run_search(int fd, const SearchRequest& request, const std::atomic<bool>& cancel,
                         const std::function<void(const SearchProgress&)>& progress,
                         size_t block_bytes = size_t{4} << 20,
                         std::chrono::milliseconds report_every = std::chrono::milliseconds(50));
