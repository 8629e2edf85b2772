#pragma once

#include "compare/diff_engine.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

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

    // Stops a running look and starts this one; returns its generation.
    uint64_t start(DiffRequest request);
    // Lets the running look go, unheard, without waiting for it.
    void stop() { worker_.stop(); }
    // Asks it to end; its last notice says "cancelled".
    void cancel() { worker_.cancel(); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};

// Opens both files read-only for a worker of the pair: false, with `error`
// set and nothing left open, when either cannot be.
bool open_pair(const std::string& path_a, const std::string& path_b, int fds[2], std::string& error);
