#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
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

// A background worker's cancel flag and hold: while held (a search has the
// disk), the worker waits between its reads; a cancel ends the wait.
class WorkerTurns {
public:
    // A new run, not cancelled.
    void begin() { cancel_ = false; }
    void cancel() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancel_ = true;
        }
        changed_.notify_all();
    }
    // Main thread.
    void hold(bool held) {
        if (held_ == held) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_ = held;
        }
        changed_.notify_all();
    }
    // The worker, between reads.
    void wait_turn() {
        if (!held_) return;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !held_ || cancel_; });
    }
    const std::atomic<bool>& cancelled() const { return cancel_; }

private:
    std::atomic<bool> cancel_{false};
    std::atomic<bool> held_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
};
