#pragma once

#include "map/map_scan.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

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

    // Stops a running map and starts this one; returns its generation.
    uint64_t start(const std::string& path, uint64_t size, int length, const MapLimits& limits = {});
    // Lets the running map go, unheard, without waiting for it.
    void stop() { worker_.stop(); }
    // While held, the worker waits between reads (a search has the disk).
    void hold(bool held) { worker_.hold(held); }
    State snapshot() const { return worker_.snapshot(); }

    // The SDL event type of the worker's notices; read snapshot() on receipt.
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};
