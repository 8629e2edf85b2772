#include "base/sector_read.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

SectorRead read_around_bad_sectors(int fd, uint8_t* into, uint64_t from, size_t length, uint64_t count_first,
                                   uint64_t count_end, ReadRuns& runs) {
    const uint64_t sector = 512;
    runs.clear();
    SectorRead read;
    size_t run_start = 0;
    bool stepping = false;
    while (read.got < length) {
        const uint64_t at = from + read.got;
        const size_t step =
            stepping ? size_t(std::min<uint64_t>(length - read.got, sector - at % sector)) : length - read.got;
        const ssize_t r = ::pread(fd, into + read.got, step, off_t(at));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) break;  // the file ended here
        if (r > 0) {
            read.got += size_t(r);
            continue;
        }
        if (!stepping) {
            stepping = true;
            continue;
        }
        const uint64_t counted_from = std::max(at, count_first), counted_end = std::min(at + step, count_end);
        if (counted_end > counted_from) read.unreadable += counted_end - counted_from;
        if (read.got > run_start) runs.push_back({run_start, read.got});
        read.got += step;
        run_start = read.got;
    }
    if (read.got > run_start) runs.push_back({run_start, read.got});
    return read;
}
