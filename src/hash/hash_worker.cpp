#include "hash/hash_worker.h"

#include <chrono>

namespace {

const auto notice_interval = std::chrono::milliseconds(100);

}  // namespace

Uint32 HashWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t HashWorker::start(Job job) {
    stop();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    cancel_ = false;
    event_type();  // registered here, on the main thread
    thread_ = std::thread(&HashWorker::run, this, std::move(job), generation);
    return generation;
}

void HashWorker::stop() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

void HashWorker::run(Job job, uint64_t generation) {
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    auto last_notice = started;
    State state;
    state.generation = generation;
    state.running = true;
    const auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - started).count(); };
    state.outcome = hash_range(job.path, job.kind, job.first, job.length, cancel_, [&](uint64_t done) {
        const auto now = clock::now();
        if (now - last_notice < notice_interval) return;
        last_notice = now;
        state.done = done;
        state.seconds = elapsed();
        notices_.publish(state, event_type());
    });
    state.running = false;
    state.seconds = elapsed();
    notices_.publish(state, event_type());
}
