// Times the search engine on a file: prints seconds and GB/s for one search
// of the given pattern, as `search_seconds=... gb_per_s=... found=...`.
//   search_bench FILE PATTERN [back] [block_kib]
#include "find/search_engine.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: search_bench FILE PATTERN [back] [block_kib]\n");
        return 2;
    }
    const SearchPattern pattern = parse_hex_pattern(argv[2]);
    if (!pattern.valid()) {
        std::fprintf(stderr, "pattern: %s\n", pattern.error.c_str());
        return 2;
    }
    const bool backward = argc > 3 && std::strcmp(argv[3], "back") == 0;
    const size_t block = argc > 4 ? size_t(std::atoi(argv[4])) << 10 : size_t{4} << 20;
    const int fd = ::open(argv[1], O_RDONLY);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    std::atomic<bool> cancel{false};
    SearchRequest request{pattern, backward ? uint64_t(size) : 0, backward, false};
    const auto start = std::chrono::steady_clock::now();
    const SearchOutcome outcome = run_search(fd, request, cancel, [](const SearchProgress&) {}, block);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("search_seconds=%.4f gb_per_s=%.2f found=%s offset=%llu\n", seconds, double(size) / seconds / 1e9,
                outcome.kind == SearchOutcome::Kind::Found ? "yes" : "no",
                static_cast<unsigned long long>(outcome.offset));
    ::close(fd);
}
