#pragma once

#include "core/worker_notices.h"

#include "render/charsets.h"
#include "transfer/save_file.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Copies the selection as text or saves it, one job at a time, on a thread
// of its own with a read-only file descriptor of its own. Like the search
// worker it tells the main thread through SDL's event queue that its state
// changed; the main thread reads it with snapshot() and take_text().
class TransferWorker {
public:
    struct Job {
        enum class Kind { CopyHex, CopyText, CopyCArray, CopyBase64, CopyDump, CopyPython, Save };
        Kind kind = Kind::CopyHex;
        std::string path;    // the file shown
        uint64_t first = 0;
        uint64_t length = 0;
        std::string target;  // Save: the name to save as
        bool replace = false;
        std::vector<std::string> shown;  // Save: every file shown, none of which is ever a target
        Charset charset = Charset::Koi8r;  // CopyText: the set the page shows bytes 128 to 255 in
    };
    struct State {
        uint64_t generation = 0;
        bool running = false;
        uint64_t done = 0;   // bytes of the range
        double seconds = 0;  // since it started
        TransferOutcome outcome;  // once it no longer runs
    };

    TransferWorker() = default;
    ~TransferWorker() { stop(); }
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Stops a running job and starts this one; returns its generation.
    uint64_t start(Job job);
    // Cancels the running job, if any, and waits for its thread.
    void stop();
    // Asks the running job to stop without waiting, as a save's last sync
    // may take seconds; its last notice says how it ended.
    void cancel() { cancel_ = true; }
    State snapshot() const;
    // A finished copy's text, handed over once.
    std::string take_text();

    // The SDL event type of the worker's notices; read snapshot() on receipt.
    static Uint32 event_type();

private:
    void run(Job job, uint64_t generation);
    TransferOutcome copy(const Job& job, std::string& text, uint64_t& done, const std::function<void()>& report);
    void publish(const State& state, std::string* text = nullptr);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    WorkerNotices<State> notices_;
    std::mutex text_mutex_;
    std::string text_;  // set before the notice of the state that finished the copy
    uint64_t generations_ = 0;  // main thread only
};
