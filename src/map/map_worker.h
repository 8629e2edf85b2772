#pragma once

#include "core/worker_notices.h"

#include "map/map_scan.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// Maps one file at a time on a thread of its own, with a read-only file
// descriptor of its own, at a lower priority than the viewer. It tells the
// main thread through SDL's event queue that its state changed; the main
// thread reads the state with snapshot(). The thread ends with the map, so a
// finished map costs no wake-ups.
class MapWorker {
public:
    struct State {
        uint64_t generation = 0;  // which map this is
        bool running = false;
        MapProgress progress;
    };

    MapWorker() = default;
    ~MapWorker() { stop(); }
    MapWorker(const MapWorker&) = delete;
    MapWorker& operator=(const MapWorker&) = delete;

    // Stops a running map and starts this one; returns its generation.
    uint64_t start(const std::string& path, uint64_t size, int length, const MapLimits& limits = {});
    // Cancels the running map, if any, and waits for its thread.
    void stop();
    // While held, the worker waits between reads (a search has the disk).
    void hold(bool held);
    State snapshot() const;

    // The SDL event type of the worker's notices; read snapshot() on receipt.
    static Uint32 event_type();

private:
    void run(std::string path, uint64_t size, int length, MapLimits limits, uint64_t generation);
    void publish(const State& state);

    std::thread thread_;
    WorkerTurns turns_;
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;  // main thread only
};
