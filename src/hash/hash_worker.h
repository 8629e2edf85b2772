#pragma once

#include "core/worker_notices.h"
#include "hash/hash_range.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// Hashes a range on a thread of its own, one job at a time, and tells the
// main thread through SDL's event queue that its state changed; the main
// thread reads it with snapshot(). The work itself is hash_range().
class HashWorker {
public:
    struct Job {
        std::string path;  // the file shown
        HashKind kind = HashKind::Sha256;
        uint64_t first = 0;
        uint64_t length = 0;
    };
    struct State {
        uint64_t generation = 0;
        bool running = false;
        uint64_t done = 0;   // bytes of the range hashed
        double seconds = 0;  // since it started
        HashOutcome outcome;  // once it no longer runs
    };

    HashWorker() = default;
    ~HashWorker() { stop(); }
    HashWorker(const HashWorker&) = delete;
    HashWorker& operator=(const HashWorker&) = delete;

    // Stops a running job and starts this one; returns its generation.
    uint64_t start(Job job);
    // Cancels the running job, if any, and waits for its thread.
    void stop();
    // Asks the running job to stop; its last notice says so.
    void cancel() { cancel_ = true; }
    State snapshot() const { return notices_.snapshot(); }

    // The SDL event type of the worker's notices; read snapshot() on receipt.
    static Uint32 event_type();

private:
    void run(Job job, uint64_t generation);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;  // main thread only
};
