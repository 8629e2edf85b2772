#pragma once

#include "compare/diff_engine.h"
#include "core/worker_notices.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// What `]` and `[` ask for: the next or previous run of differing bytes
// from `from`, in A's offsets.
struct DiffRequest {
    std::string path_a, path_b;
    int64_t shift = 0;
    uint64_t from = 0;
    bool backward = false;
};

// Looks for one run at a time on a thread of its own, with read-only file
// descriptors of its own, and tells the main thread through SDL's event
// queue, as the search worker does.
class DiffWorker {
public:
    struct State {
        uint64_t generation = 0;
        bool running = false;
        DiffProgress progress;
        DiffOutcome outcome;  // once it no longer runs
    };

    DiffWorker() = default;
    ~DiffWorker() { stop(); }
    DiffWorker(const DiffWorker&) = delete;
    DiffWorker& operator=(const DiffWorker&) = delete;

    // Stops a running look and starts this one; returns its generation.
    uint64_t start(DiffRequest request);
    // Cancels the running look, if any, and waits for its thread.
    void stop();
    State snapshot() const { return notices_.snapshot(); }
    static Uint32 event_type();

private:
    void run(DiffRequest request, uint64_t generation);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;  // main thread only
};

// Opens both files read-only for a worker of the pair: false, with `error`
// set and nothing left open, when either cannot be.
bool open_pair(const std::string& path_a, const std::string& path_b, int fds[2], std::string& error);
