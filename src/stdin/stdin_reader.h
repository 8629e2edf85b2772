#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// Standard input kept as a file that grows: a thread copies it, as it
// arrives, into an unnamed spool file, which the viewer shows as any live
// file. Standard input that is itself a file or a disk is shown as it is,
// without a copy. The thread tells the main thread through SDL's event
// queue: one notice stands for any number of copied blocks, none is sent
// until the main thread has taken the last, nor sooner than a 60 Hz frame
// interval after it; the end always sends one.
class StdinReader {
public:
    StdinReader() = default;
    ~StdinReader();
    StdinReader(const StdinReader&) = delete;
    StdinReader& operator=(const StdinReader&) = delete;

    // Looks at `input` and makes the spool file where one is needed; throws
    // std::runtime_error when none can be made.
    void open(int input = 0);
    // The name the viewer opens: the spool file's, or standard input's own.
    char* path() { return path_.data(); }
    // Runs the thread, where there is something to copy; SDL's event queue must be up.
    void start();
    void stop();

    // Main thread, on receipt of a notice, before looking at the file.
    void take_notice() { pending_.store(false); }
    uint64_t copied() const { return copied_.load(); }
    // Standard input ended (or copying it failed: error() says why).
    bool ended() const { return ended_.load(); }
    int error() const { return error_.load(); }

    static Uint32 event_type();

private:
    void run();
    // Copies what is there; returns false at the end or on a failure.
    bool copy_some();
    void notify();

    int input_ = -1;
    int spool_ = -1;
    int stop_fd_ = -1;
    bool splice_ = true;  // the kernel moves the pipe's pages; else read and write
    std::string path_;
    std::thread thread_;
    std::atomic<uint64_t> copied_{0};
    std::atomic<bool> ended_{false};
    std::atomic<int> error_{0};
    std::atomic<bool> pending_{false};  // a notice is sent and not yet taken
};

// The status line's words: "standard input, 3.2 MiB so far" while it runs,
// "standard input" once it ended, and why it stopped if it failed.
std::string standard_input_text(uint64_t copied, bool ended, int error);
