#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A go-to expression, worked out against the file's size and the shown position:
//   1f00, 0x1f00     hexadecimal, as the page shows offsets
//   #7936            decimal
//   +100, -100       relative to the first shown row
//   50%              a share of the file (decimal, fractions allowed)
//   $, $-100         the file's size, less or plus an amount
//   4K, 2M, 1G, 1T   times 1024, 1024^2, 1024^3, 1024^4
//   p2, p2$          the first and the last byte of partition 2
struct GotoTarget {
    bool valid = false;
    uint64_t offset = 0;
    std::string error;  // why it is not valid; empty while the input is empty
};

// A partition as `p2` and `p2$` name it: its number and its bytes [first, end).
struct PartitionSpan {
    int number = 0;
    uint64_t first = 0;
    uint64_t end = 0;
    bool past_end = false;  // the table puts it wholly past the file's end
};
using PartitionSpans = std::vector<PartitionSpan>;

GotoTarget parse_goto(const std::string& input, uint64_t file_size, uint64_t shown_offset,
                      const PartitionSpans& partitions = {});
