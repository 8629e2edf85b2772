// Copy and save driven directly, without the window: the hex formatting's
// speed, a save's speed, and the resident memory while a copy or save runs.
//
//   transfer_bench format FILE            formats FILE's bytes as hex, best of 5
//   transfer_bench copy FILE FIRST LENGTH hex|text
//   transfer_bench save FILE FIRST LENGTH TARGET
//
// Prints name=value lines.
#include "transfer/clipboard_limit.h"
#include "transfer/save_file.h"
#include "transfer/transfer_format.h"
#include "transfer/transfer_worker.h"
#include "transfer/x11_selection.h"

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

int format(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<char> out(3 * bytes.size());
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const double start = now();
        append_hex(bytes.data(), bytes.size(), out.data());
        best = std::min(best, now() - start);
    }
    std::printf("format_seconds=%.6f\nformat_mb_per_s=%.1f\ncheck=%c%c\n", best, double(bytes.size()) / best / 1e6,
                out[0], out[out.size() / 2]);
    return 0;
}

// Runs one job on the worker as the viewer does, sampling resident memory.
int run_job(TransferWorker::Job job) {
    const bool copying = job.kind != TransferWorker::Job::Kind::Save;
    SDL_Window* window = nullptr;
    if (copying) {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return std::fprintf(stderr, "%s\n", SDL_GetError()), 1;
        window = SDL_CreateWindow("transfer_bench", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    } else if (SDL_Init(SDL_INIT_EVENTS) != 0) {
        return 1;
    }
    TransferWorker worker;
    X11Selection long_text;
    const long idle = resident_kib();
    long most = idle;
    const double start = now();
    const uint64_t generation = worker.start(job);
    TransferWorker::State state;
    for (;;) {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, 2) && event.type == TransferWorker::event_type()) {
            state = worker.snapshot();
            if (state.generation == generation && !state.running) break;
        }
        most = std::max(most, resident_kib());
    }
    if (state.outcome.kind != TransferOutcome::Kind::Done) {
        std::fprintf(stderr, "failed: %s\n", state.outcome.error.c_str());
        return 1;
    }
    if (copying) {
        std::string text = worker.take_text();
        most = std::max(most, resident_kib());
        const size_t size = text.size();
        const bool offered = size <= clipboard_limit(window) ? SDL_SetClipboardText(text.c_str()) == 0
                                                             : long_text.offer(std::move(text));
        most = std::max(most, resident_kib());
        std::printf("text_bytes=%zu\nclipboard_limit=%zu\noffered=%d\n", size, clipboard_limit(window), offered);
    }
    const double seconds = now() - start;
    malloc_trim(0);
    // A long text is freed by its server's thread once it is on the X server.
    for (int i = 0; i < 500 && resident_kib() - idle > 4096; ++i) {
        SDL_Delay(10);
        most = std::max(most, resident_kib());
    }
    std::printf("seconds=%.6f\ngb_per_s=%.3f\nidle_kib=%ld\npeak_over_idle_kib=%ld\nafter_over_idle_kib=%ld\n",
                seconds, double(job.length) / seconds / 1e9, idle, most - idle, resident_kib() - idle);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "format" && argc == 3) return format(argv[2]);
    if ((mode == "copy" || mode == "save") && argc == 6) {
        TransferWorker::Job job;
        job.path = argv[2];
        job.first = std::strtoull(argv[3], nullptr, 0);
        job.length = std::strtoull(argv[4], nullptr, 0);
        if (mode == "save") {
            job.kind = TransferWorker::Job::Kind::Save;
            job.target = argv[5];
        } else {
            job.kind = std::string(argv[5]) == "text" ? TransferWorker::Job::Kind::CopyText
                                                      : TransferWorker::Job::Kind::CopyHex;
        }
        return run_job(job);
    }
    std::fprintf(stderr, "usage: transfer_bench format FILE | copy FILE FIRST LENGTH hex|text | "
                         "save FILE FIRST LENGTH TARGET\n");
    return 2;
}
