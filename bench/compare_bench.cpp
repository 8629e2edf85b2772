// Times the compare engine on a pair: the next run of differing bytes from
// the start, or the complete map of the pair, as the viewer's workers do.
//   compare_bench A B [next|map]
// prints `seconds=... found=... first=... length=...` or `seconds=... bytes=... runs=...`.
#include "compare/diff_engine.h"
#include "compare/pair_map.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: compare_bench A B [next|map]\n");
        return 2;
    }
    const bool map = argc > 3 && std::strcmp(argv[3], "map") == 0;
    const int fd_a = ::open(argv[1], O_RDONLY), fd_b = ::open(argv[2], O_RDONLY);
    if (fd_a < 0 || fd_b < 0) {
        std::perror("open");
        return 2;
    }
    std::atomic<bool> cancel{false};
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    if (map) {
        PairMapProgress last;
        run_pair_map(fd_a, fd_b, 0, 1048, cancel, [] {}, [&](const PairMapProgress& p) { last = p; });
        std::printf("seconds=%.4f complete=%d bytes=%llu runs=%llu\n", seconds(), int(last.complete),
                    static_cast<unsigned long long>(last.differing_bytes),
                    static_cast<unsigned long long>(last.differing_runs));
    } else {
        PairScan scan(fd_a, fd_b, 0, cancel);
        scan.measure();
        const DiffOutcome outcome = find_difference(scan, 0, false);
        std::printf("seconds=%.4f found=%d first=%llu length=%llu\n", seconds(),
                    int(outcome.kind == DiffOutcome::Kind::Found), static_cast<unsigned long long>(outcome.run.first),
                    static_cast<unsigned long long>(outcome.run.length));
    }
    ::close(fd_a);
    ::close(fd_b);
}
