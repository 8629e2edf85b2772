#pragma once

#include "core/worker_notices.h"
#include "identify/embedded_scan.h"
#include "identify/partition_table.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// Reads a file's partition table on a thread of its own, so that the first
// page never waits for it; the table arrives as an SDL event.
class PartitionWorker {
public:
    struct State {
        uint64_t generation = 0;
        bool running = false;
        PartitionTable table;
    };

    PartitionWorker() = default;
    ~PartitionWorker() { wait(); }
    PartitionWorker(const PartitionWorker&) = delete;
    PartitionWorker& operator=(const PartitionWorker&) = delete;

    uint64_t start(const std::string& path);
    // Waits for the running read, if any.
    void wait();
    State snapshot() const { return notices_.snapshot(); }
    static Uint32 event_type();

private:
    std::thread thread_;
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;
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

    ScanWorker() = default;
    ~ScanWorker() { stop(); }
    ScanWorker(const ScanWorker&) = delete;
    ScanWorker& operator=(const ScanWorker&) = delete;

    // Stops a running scan and starts a new one; returns its generation.
    uint64_t start(const std::string& path);
    // Cancels the running scan, if any, and waits for its thread.
    void stop();
    State snapshot() const { return notices_.snapshot(); }
    static Uint32 event_type();

private:
    void run(std::string path, uint64_t generation);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;
};
