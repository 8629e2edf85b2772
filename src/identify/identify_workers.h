#pragma once

#include "identify/embedded_scan.h"
#include "identify/partition_table.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

// Reads a file's partition table on a thread of its own, so that the first
// page never waits for it; the table arrives as an SDL event.
class PartitionWorker {
public:
    struct State {
        uint64_t generation = 0;
        bool running = false;
        PartitionTable table;
    };

    // Lets a read under way go, unheard, and starts this one.
    uint64_t start(const std::string& path);
    void stop() { worker_.stop(); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};

// Runs one scan for embedded files at a time, with a file descriptor of its
// own; progress and the outcome arrive as SDL events.
class ScanWorker {
public:
    struct State {
        uint64_t generation = 0;
        bool running = false;
        EmbeddedScanProgress progress;
        EmbeddedScanOutcome outcome;  // once it no longer runs
    };

    // Stops a running scan and starts a new one; returns its generation.
    uint64_t start(const std::string& path);
    // Lets the running scan go, unheard, without waiting for it.
    void stop() { worker_.stop(); }
    // Asks it to end; its last notice says "cancelled".
    void cancel() { worker_.cancel(); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};
