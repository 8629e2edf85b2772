#include "hash/hash_worker.h"

#include <chrono>

namespace {

const auto notice_interval = std::chrono::milliseconds(100);

}  // namespace

uint64_t start_hash(HashWorker& worker, HashJob job) {
    return worker.start([job = std::move(job)](WorkerRun<HashRunState>& run) {
        using clock = std::chrono::steady_clock;
        const auto started = clock::now();
        auto last_notice = started;
        const auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - started).count(); };
        HashRunState state = run.fresh();
        state.outcome = hash_range(job.path, job.kind, job.first, job.length, run.cancel_flag(), [&](uint64_t done) {
            const auto now = clock::now();
            if (now - last_notice < notice_interval) return;
            last_notice = now;
            state.done = done;
            state.seconds = elapsed();
            run.publish(state);
        });
        state.running = false;
        state.seconds = elapsed();
        run.publish(state);
    });
}
