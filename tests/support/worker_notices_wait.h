#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

// Waits on SDL's event queue for the notice that the worker's run
// `generation` ended, and returns the worker's state then (the last state
// seen, when no such notice came within `timeout_ms` of the one before).
template <typename Worker>
typename Worker::State wait_for_end(const Worker& worker, uint64_t generation, int timeout_ms = 10000) {
    typename Worker::State state;
    SDL_Event event;
    while (SDL_WaitEventTimeout(&event, timeout_ms)) {
        if (event.type != Worker::event_type()) continue;
        state = worker.snapshot();
        if (state.generation == generation && !state.running) break;
    }
    return state;
}
