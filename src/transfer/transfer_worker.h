#pragma once

#include "render/charsets.h"
#include "transfer/save_file.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
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
        std::shared_ptr<std::string> text;  // a finished copy's, shared by the copies of the state
    };

    // Stops a running job and starts this one; returns its generation.
    uint64_t start(Job job);
    // Lets the running job go, unheard, without waiting: a save's temporary
    // file goes with it, unnamed, or stays named for the next save to clear.
    void stop() { worker_.stop(); }
    // Asks the running job to stop without waiting, as a save's last sync
    // may take seconds; its last notice says how it ended.
    void cancel() { worker_.cancel(); }
    // Waits up to `limit` for the last job's thread; whether it ended.
    bool wait_for(std::chrono::milliseconds limit) { return worker_.wait_for(limit); }
    State snapshot() const { return worker_.snapshot(); }
    // A finished copy's text, handed over once.
    std::string take_text();

    // The SDL event type of the worker's notices; read snapshot() on receipt.
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};
