#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The stretches of a buffer that a read filled: [begin, end) offsets into it.
using ReadRuns = std::vector<std::pair<size_t, size_t>>;

struct SectorRead {
    size_t got = 0;          // bytes read or passed over: fewer than asked when the file ended
    uint64_t unreadable = 0; // unreadable bytes within the counted range
};

// Reads `length` bytes at `from` of `fd` into `into`. A read that fails is
// tried again sector by sector: the sectors that cannot be read are passed
// over, and `runs` lists the stretches that were read. Unreadable bytes are
// counted only within [count_first, count_end), so that a caller reading a
// margin twice counts each byte once.
SectorRead read_around_bad_sectors(int fd, uint8_t* into, uint64_t from, size_t length, uint64_t count_first,
                                   uint64_t count_end, ReadRuns& runs);
