#pragma once

#include "core/worker_notices.h"
#include "find/search_engine.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

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

    SearchWorker() = default;
    ~SearchWorker() { stop(); }
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    // Stops a running search and starts this one; returns its generation.
    uint64_t start(const std::string& path, SearchRequest request);
    // Cancels the running search, if any, and waits for its thread.
    void stop();
    State snapshot() const;

    // The SDL event type of the worker's notices: user.code is unused, and
    // user.data1 carries nothing; read snapshot() on receipt.
    static Uint32 event_type();

private:
    void run(std::string path, SearchRequest request, uint64_t generation);
    void publish(const State& state);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;  // main thread only
};
