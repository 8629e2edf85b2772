#pragma once

#include "find/search_engine.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

// The outcome of a search of the open file `fd` as it holds for the file at
// `path` now: Changed when another file was put there (a rename), and no
// match past the end of a file that shrank.
SearchOutcome as_shown(const SearchOutcome& outcome, int fd, const std::string& path, uint64_t pattern_length);

// Runs one search at a time on a thread of its own, with a read-only file
// descriptor of its own. It touches nothing of the viewer's: it tells the
// main thread through SDL's event queue that its state changed, and the
// main thread reads that state with snapshot().
class SearchWorker {
public:
    struct State {
        uint64_t generation = 0;  // which search this is about
        bool running = false;
        SearchProgress progress;
        SearchOutcome outcome;    // once it no longer runs
        double seconds = 0;       // since it started
    };

    // Stops a running search and starts this one; returns its generation.
    uint64_t start(const std::string& path, SearchRequest request);
    // Lets the running search go, unheard, without waiting for it.
    void stop() { worker_.stop(); }
    // Asks it to end; its last notice says "cancelled".
    void cancel() { worker_.cancel(); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};
