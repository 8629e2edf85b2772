// Times the scan for embedded files, or the type line's read and libmagic
// call, on a file:
//   identify_bench scan FILE [block_kib] [hyperscan]
//                                          prints scan_seconds=, cpu_seconds=, gb_per_s=, found=, then one line a file
//   identify_bench type FILE OFFSET REPS   prints type_ms_min=, type_ms_median= (ask to answer)
//   identify_bench partitions FILE REPS    prints partitions_ms_min=, partitions_ms_median=, partitions=
#include "identify/embedded_scan.h"
#include "identify/partition_table.h"
#include "identify/type_worker.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A line of /proc/self/status, in KiB.
long status_kib(const char* name) {
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = 0;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, std::strlen(name)) == 0) value = std::atol(line + std::strlen(name) + 1);
    }
    if (status) std::fclose(status);
    return value;
}

void print_times(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s_ms_min=%.3f\n%s_ms_median=%.3f\n", name, ms.front(), name, ms[ms.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: identify_bench scan|type|partitions FILE ...\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "scan") {
        const size_t block = argc > 3 ? size_t(std::atoi(argv[3])) << 10 : size_t{1} << 20;
        const LiteralEngine engine = argc > 4 && std::string(argv[4]) == "hyperscan"
                                                 ? LiteralEngine::Hyperscan
                                                 : LiteralEngine::Prefilter;
        const int fd = ::open(argv[2], O_RDONLY);
        std::atomic<bool> cancel{false};
        const long idle_kib = status_kib("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu_start = std::clock();
        const EmbeddedScanOutcome outcome = scan_embedded(fd, cancel, [](const EmbeddedScanProgress&) {}, block,
                                                          std::chrono::milliseconds(50), engine);
        const double seconds = since(start);
        const double cpu_seconds = double(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        std::printf("scan_seconds=%.4f\ncpu_seconds=%.4f\ngb_per_s=%.2f\nfound=%zu\nscan_rss_kib=%ld\n", seconds,
                    cpu_seconds, double(outcome.file_size) / seconds / 1e9, outcome.files.size(),
                    status_kib("VmHWM") - idle_kib);
        for (const EmbeddedFile& f : outcome.files) {
            std::printf("file %llu %s\n", static_cast<unsigned long long>(f.start), f.description.c_str());
        }
        ::close(fd);
    } else if (mode == "type" && argc > 4) {
        // As the viewer asks: the worker's thread reads and describes, and its
        // answer comes back through SDL's event queue; the offset alternates
        // with the one 16 bytes on, so that each ask is a new one.
        SDL_Init(SDL_INIT_EVENTS);
        TypeWorker worker;
        const uint64_t offset = std::strtoull(argv[3], nullptr, 0);
        std::vector<double> ms;
        std::string first;
        for (int i = 0; i < std::atoi(argv[4]); ++i) {
            const auto start = std::chrono::steady_clock::now();
            const uint64_t generation = worker.ask(argv[2], offset + (i % 2) * 16);
            TypeWorker::State state;
            SDL_Event event;
            while (SDL_WaitEvent(&event)) {
                if (event.type != TypeWorker::event_type()) continue;
                state = worker.snapshot();
                if (state.generation == generation && !state.running) break;
            }
            ms.push_back(since(start) * 1000);
            if (i == 0) first = state.description;
        }
        std::printf("type=%s\n", first.c_str());
        print_times("type", ms);
        SDL_Quit();
    } else if (mode == "partitions" && argc > 3) {
        std::vector<double> ms;
        size_t count = 0;
        for (int i = 0; i < std::atoi(argv[3]); ++i) {
            const auto start = std::chrono::steady_clock::now();
            count = read_partition_table(argv[2]).partitions.size();
            ms.push_back(since(start) * 1000);
        }
        print_times("partitions", ms);
        std::printf("partitions=%zu\n", count);
    } else {
        return 2;
    }
}
