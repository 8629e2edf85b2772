#include "compare/pair_map.h"

#include "compare/diff_engine.h"
#include "compare/diff_worker.h"
#include "map/map_slices.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

void run_pair_map(int fd_a, int fd_b, int64_t shift, int length, const std::atomic<bool>& cancel,
                  const std::function<void()>& wait_turn, const std::function<void(const PairMapProgress&)>& report) {
    PairMapProgress progress;
    progress.classes.assign(size_t(length), uint8_t(PairSlice::NotCompared));
    PairScan scan(fd_a, fd_b, shift, cancel);
    if (!scan.measure()) return;
    const uint64_t span = scan.span();
    auto last_report = std::chrono::steady_clock::now();
    scan.on_block = [&](uint64_t) {
        wait_turn();
        const auto now = std::chrono::steady_clock::now();
        if (now - last_report < std::chrono::milliseconds(100)) return;
        last_report = now;
        report(progress);
    };
    if (span > 0) {
        for (int i = 0; i < length && !cancel; ++i) {
            if (scan.holes_in_both(slice_first(i, span, length), std::min(span, slice_end(i, span, length)))) {
                progress.classes[size_t(i)] = uint8_t(PairSlice::Holes);
            }
        }
        report(progress);
    }
    // In a pair shorter than the track, slices share bytes: each byte counts
    // once, in the first slice that holds it.
    DiffCount count;
    uint64_t counted_to = 0;
    for (int i = 0; i < length && span > 0; ++i) {
        if (cancel) return;
        const uint64_t first = slice_first(i, span, length), end = std::min(span, slice_end(i, span, length));
        const uint64_t from = std::max(first, counted_to);
        counted_to = std::max(counted_to, end);
        if (progress.classes[size_t(i)] == uint8_t(PairSlice::Holes)) {
            if (end > from) count.last_differs = false;
            continue;
        }
        const uint64_t before = count.bytes;
        if (!scan.count(from, end, count)) return;
        const bool differs = count.bytes > before || (from > first && scan.first_where(first, from, true) < from);
        progress.classes[size_t(i)] = uint8_t(differs ? PairSlice::Differing : PairSlice::Same);
    }
    progress.differing_bytes = count.bytes;
    progress.differing_runs = count.runs;
    progress.complete = true;
    report(progress);
}

Uint32 PairMapWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t PairMapWorker::start(const std::string& path_a, const std::string& path_b, int64_t shift, int length) {
    stop();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    turns_.begin();
    event_type();  // registered here, on the main thread
    thread_ = std::thread(&PairMapWorker::run, this, path_a, path_b, shift, length, generation);
    return generation;
}

void PairMapWorker::stop() {
    turns_.cancel();
    if (thread_.joinable()) thread_.join();
}

void PairMapWorker::hold(bool held) { turns_.hold(held); }

void PairMapWorker::run(std::string path_a, std::string path_b, int64_t shift, int length, uint64_t generation) {
    // The page comes first: on a busy machine the map waits, not the frames.
    setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
    State state;
    state.generation = generation;
    state.running = true;
    int fds[2];
    std::string error;
    if (open_pair(path_a, path_b, fds, error)) {
        run_pair_map(
            fds[0], fds[1], shift, length, turns_.cancelled(), [this] { turns_.wait_turn(); },
            [&](const PairMapProgress& progress) {
                state.progress = progress;
                state.running = !progress.complete;
                if (!turns_.cancelled()) notices_.publish(state, event_type());
            });
        ::close(fds[0]);
        ::close(fds[1]);
    }
    if (state.running && !turns_.cancelled()) {
        // Not opened or not read: the map stays as it is, without a summary.
        state.running = false;
        notices_.publish(state, event_type());
    }
}
