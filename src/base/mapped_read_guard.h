#pragma once

#include <cstddef>

// Reading a mapped file where it has shrunk below the mapping raises SIGBUS.
// While a guard lives, such a fault inside its range on this thread is
// caught: the pages from the fault on read as zeros, and faulted() says so.
// Faults anywhere else go to the handler that was there before.
class MappedReadGuard {
public:
    MappedReadGuard(const void* begin, size_t size);
    ~MappedReadGuard();
    MappedReadGuard(const MappedReadGuard&) = delete;
    MappedReadGuard& operator=(const MappedReadGuard&) = delete;

    bool faulted() const;
};

// Whether the last page of a mapping is in the page cache: the kernel reads
// ahead in order, so when it is, the rest mostly is too (a full check costs
// a tenth of a scan). A block that is not is better read than faulted in:
// reads keep the kernel's readahead further ahead.
bool last_page_resident(const void* map, size_t size);
