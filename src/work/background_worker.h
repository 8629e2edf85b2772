#pragma once

// BackgroundWorker<State>: one run at a time on a thread of its own that
// tells the main thread through SDL's event queue. No call on the main
// thread ever waits for a read: a run is told to stop and is then no longer
// heard, and its thread, detached, ends by itself with what it owns.
//
//   struct HashState {                  // the run's state as the main thread sees it
//       uint64_t generation = 0;        // which run it is about (set by the worker)
//       bool running = false;
//       std::string digest;
//   };
//   BackgroundWorker<HashState> worker;  // one member of the feature
//
//   // Main thread: stops the run before, starts this one. The body owns all
//   // it uses (captures by value, never `this`): it may outlive the worker.
//   const uint64_t generation = worker.start([path](WorkerRun<HashState>& run) {
//       HashState state = run.fresh();   // this run's generation, running
//       while (more && !run.cancelled()) {
//           run.wait_turn();             // between reads, while the worker is held
//           ... read, then now and then: run.publish(state);
//       }
//       state.running = false;
//       run.publish(state);              // the last notice
//   });
//
//   // Main thread, on an event of type worker.event_type():
//   const HashState state = worker.snapshot();
//   if (state.generation == generation && !state.running) ...;
//
//   worker.cancel();  // asks the run to end; its last notice still comes
//   worker.stop();    // asks it to end and hears it no more (running turns false now)
//
// A run that was stopped or replaced can never change the state again: the
// state only ever holds the newest run's. Before SDL's event queue is shut
// down every worker must be stopped (or destroyed, which stops it), and a
// process that ends while runs are still in a read leaves through
// end_process() (work/worker_threads.h), which does not wait for them.

#include "work/worker_threads.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace worker_detail {

// One run's controls: shared by the main thread and the run's thread.
struct Control {
    std::atomic<bool> cancel{false};
    std::atomic<bool> held{false};
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;  // under mutex: the body returned

    void set_cancel() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            cancel = true;
        }
        changed.notify_all();
    }
    void set_held(bool value) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            held = value;
        }
        changed.notify_all();
    }
};

// The state the main thread reads, and which run may still change it.
template <typename State>
struct Board {
    std::mutex mutex;
    State state;
    uint64_t heard = 0;  // the run whose notices count; 0: none
};

}  // namespace worker_detail

// What a run's body sees of its worker.
template <typename State>
class WorkerRun {
public:
    uint64_t generation() const { return generation_; }
    bool cancelled() const { return control_->cancel.load(std::memory_order_relaxed); }
    // For engines that take a cancel flag.
    const std::atomic<bool>& cancel_flag() const { return control_->cancel; }
    // Waits while the worker is held (another reader has the disk); a cancel ends the wait.
    void wait_turn() {
        if (!control_->held.load(std::memory_order_relaxed)) return;
        std::unique_lock<std::mutex> lock(control_->mutex);
        control_->changed.wait(lock, [&] { return !control_->held || control_->cancel; });
    }
    // A state of this run: its generation, running.
    State fresh() const {
        State state{};
        state.generation = generation_;
        state.running = true;
        return state;
    }
    // Makes `state` the worker's (with this run's generation) and sends a
    // notice. False when no notice went: changing nothing, once the run is
    // stopped or replaced, or with SDL's queue full (the state is set).
    bool publish(State state) {
        state.generation = generation_;
        std::lock_guard<std::mutex> lock(board_->mutex);
        if (board_->heard != generation_) return false;
        board_->state = std::move(state);
        // Under the lock: stop() returns only when no notice is on its way,
        // so a stopped worker's queue may be shut down at once.
        SDL_Event event{};
        event.type = event_type_;
        return SDL_PushEvent(&event) == 1;
    }

private:
    template <typename>
    friend class BackgroundWorker;
    WorkerRun(std::shared_ptr<worker_detail::Board<State>> board, std::shared_ptr<worker_detail::Control> control,
              uint64_t generation, Uint32 event_type)
        : board_(std::move(board)), control_(std::move(control)), generation_(generation), event_type_(event_type) {}

    std::shared_ptr<worker_detail::Board<State>> board_;
    std::shared_ptr<worker_detail::Control> control_;
    uint64_t generation_;
    Uint32 event_type_;
};

// `State` has `uint64_t generation` and `bool running`, and is copyable.
// Every call is for the main thread.
template <typename StateType>
class BackgroundWorker {
public:
    using State = StateType;
    using Body = std::function<void(WorkerRun<State>&)>;

    BackgroundWorker() { event_type(); }  // registered on the main thread
    ~BackgroundWorker() { stop(); }
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Stops the run before, if any, and starts `body` on a thread of its
    // own; returns the new run's generation.
    uint64_t start(Body body) {
        stop();
        const uint64_t generation = ++generations_;
        {
            std::lock_guard<std::mutex> lock(board_->mutex);
            board_->state = State{};
            board_->state.generation = generation;
            board_->state.running = true;
            board_->heard = generation;
        }
        control_ = std::make_shared<worker_detail::Control>();
        control_->held = held_;
        auto run = std::make_unique<WorkerRun<State>>(WorkerRun<State>(board_, control_, generation, event_type()));
        worker_thread_started();
        std::thread([run = std::move(run), body = std::move(body)]() mutable {
            {
                const std::shared_ptr<worker_detail::Control> control = run->control_;
                {
                    const auto owned_run = std::move(run);
                    const Body owned_body = std::move(body);
                    owned_body(*owned_run);
                }
                {
                    std::lock_guard<std::mutex> lock(control->mutex);
                    control->finished = true;
                }
                control->changed.notify_all();
            }
            worker_thread_ended();  // last: nothing of the run is touched after this
        }).detach();
        return generation;
    }

    // Asks the run to end without waiting; its last notice says how it ended.
    void cancel() {
        if (control_) control_->set_cancel();
    }

    // Asks the run to end and hears it no more, without waiting for it: the
    // state keeps what the run last published, no longer running.
    void stop() {
        if (!control_) return;
        control_->set_cancel();
        std::lock_guard<std::mutex> lock(board_->mutex);
        if (board_->heard == board_->state.generation) board_->state.running = false;
        board_->heard = 0;
    }

    // While held, the run waits in wait_turn(); it applies to later runs too.
    void hold(bool held) {
        if (held_ == held) return;
        held_ = held;
        if (control_) control_->set_held(held);
    }

    State snapshot() const {
        std::lock_guard<std::mutex> lock(board_->mutex);
        return board_->state;
    }

    // Waits up to `limit` for the last run's thread to finish its body;
    // whether it did. For the few places that must know (a save at quit, tests).
    bool wait_for(std::chrono::milliseconds limit) {
        if (!control_) return true;
        std::unique_lock<std::mutex> lock(control_->mutex);
        return control_->changed.wait_for(lock, limit, [&] { return control_->finished; });
    }

    // The SDL event type of this kind of worker's notices: user.code and
    // user.data carry nothing; read snapshot() on receipt.
    static Uint32 event_type() {
        static const Uint32 type = SDL_RegisterEvents(1);
        return type;
    }

private:
    std::shared_ptr<worker_detail::Board<State>> board_ = std::make_shared<worker_detail::Board<State>>();
    std::shared_ptr<worker_detail::Control> control_;  // the last run's
    uint64_t generations_ = 0;
    bool held_ = false;
};
