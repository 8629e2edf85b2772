#pragma once

#include "base/goto_target.h"

#include <cstdint>
#include <string>

// A go-to input as the bytes it selects: a plain target selects its one
// byte; `A..B` (both in any go-to form, B included) and `A..+N` (N bytes from
// A, N an amount as in `+N`) select a range.
struct GotoRange {
    bool valid = false;
    bool is_range = false;  // the input names a range, not a target
    uint64_t first = 0;
    uint64_t end = 0;       // one past the last byte
    std::string error;      // why it is not valid; empty while the input is incomplete
};

GotoRange parse_goto_range(const std::string& input, uint64_t file_size, uint64_t shown_offset,
                           const PartitionSpans& partitions = {});

// "7e00..7eff, 256 bytes": the range and its length, as the prompt shows them.
std::string range_text(uint64_t first, uint64_t end);
