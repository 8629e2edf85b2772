// Times the file map on a file, on a track of 1048 rows: the walk of its
// holes alone (the baseline), then the map's first pass and its end, as
// `walk_seconds=... first_pass_seconds=... complete_seconds=... bytes_read=... passes=...`.
//   map_bench FILE [map]   (map: the map alone, with no walk before it)
#include "map/map_scan.h"
#include "render/page_geometry.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: map_bench FILE [map]\n");
        return 2;
    }
    const bool map_only = argc > 2 && std::strcmp(argv[2], "map") == 0;
    const int fd = ::open(argv[1], O_RDONLY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    const uint64_t size = uint64_t(::lseek(fd, 0, SEEK_END));
    double walk = 0;
    if (!map_only) {
        const auto start = std::chrono::steady_clock::now();
        off_t at = 0;
        unsigned extents = 0;
        while (uint64_t(at) < size) {
            const off_t data = ::lseek(fd, at, SEEK_DATA);
            if (data < 0) break;
            at = ::lseek(fd, data, SEEK_HOLE);
            ++extents;
        }
        walk = since(start);
        std::printf("extents=%u ", extents);
    }
    std::atomic<bool> cancel{false};
    double first_pass = 0;
    MapProgress last;
    const auto start = std::chrono::steady_clock::now();
    run_map(
        fd, size, track_length, cancel, [] {},
        [&](const MapProgress& progress) {
            if (progress.passes == 1) first_pass = since(start);
            last = progress;
        });
    const double complete = since(start);
    std::printf("walk_seconds=%.6f first_pass_seconds=%.6f complete_seconds=%.6f bytes_read=%llu passes=%d\n", walk,
                first_pass, complete, static_cast<unsigned long long>(last.bytes_read), last.passes);
    ::close(fd);
}
