#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <mutex>

// The one thing a worker thread shares with the main thread: its state. The
// worker publishes a new state and pushes an SDL event of its own type; the
// main thread, on that event, reads a copy with snapshot(). `State` has a
// `generation`, saying which run it is about, and `running`.
template <typename State>
class WorkerNotices {
public:
    // A new run's state, set before its thread starts.
    void begin(uint64_t generation) {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = State{};
        state_.generation = generation;
        state_.running = true;
    }

    State snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return state_;
    }

    void publish(const State& state, Uint32 event_type) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            state_ = state;
        }
        SDL_Event event{};
        event.type = event_type;
        SDL_PushEvent(&event);
    }

private:
    mutable std::mutex mutex_;
    State state_;
};
