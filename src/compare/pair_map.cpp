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
    // With a positive shift the second file's first bytes face none of the
    // first's: they differ, as a run that the first differing bytes go on.
    const uint64_t leading = shift > 0 ? std::min(uint64_t(shift), scan.size_b()) : 0;
    if (leading > 0) {
        count.bytes = leading;
        count.runs = 1;
        count.last_differs = true;
    }
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
        // Bytes counted already, looked at again: their unreadable ones too.
        const uint64_t unreadable[2] = {scan.unreadable(0), scan.unreadable(1)};
        const bool differs = count.bytes > before || (from > first && scan.first_where(first, from, true) < from);
        for (int f = 0; f < 2; ++f) scan.set_unreadable(f, unreadable[f]);
        progress.classes[size_t(i)] = uint8_t(differs ? PairSlice::Differing : PairSlice::Same);
    }
    progress.differing_bytes = count.bytes;
    progress.differing_runs = count.runs;
    progress.unreadable[0] = scan.unreadable(0);
    progress.unreadable[1] = scan.unreadable(1);
    progress.complete = true;
    report(progress);
}

uint64_t PairMapWorker::start(const std::string& path_a, const std::string& path_b, int64_t shift, int length) {
    return worker_.start([path_a, path_b, shift, length](WorkerRun<State>& run) {
        // The page comes first: on a busy machine the map waits, not the frames.
        setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
        State state = run.fresh();
        int fds[2];
        std::string error;
        if (open_pair(path_a, path_b, fds, error)) {
            run_pair_map(
                fds[0], fds[1], shift, length, run.cancel_flag(), [&run] { run.wait_turn(); },
                [&](const PairMapProgress& progress) {
                    state.progress = progress;
                    state.running = !progress.complete;
                    run.publish(state);
                });
            ::close(fds[0]);
            ::close(fds[1]);
        }
        if (state.running) {
            // Not opened or not read: the map stays as it is, without a summary.
            state.running = false;
            run.publish(state);
        }
    });
}
