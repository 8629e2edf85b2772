#pragma once

#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <memory>
#include <utility>
#include <vector>

// Watches one path with inotify, on the file and on every folder its
// resolution passes through (each folder on the way, and those of symbolic
// links' targets), so that a write, a truncation, a delete, a move away, a
// file created or renamed to the path, a folder on the way deleted, made
// again or renamed, and a link's target replaced are all seen. A change of a
// folder on the way sets the watches afresh. Its thread sleeps in poll() until the kernel has
// news; it touches nothing of the viewer's and tells the main thread through
// SDL's event queue. One notice stands for any number of changes: no other
// is sent until the main thread has taken it, nor sooner than a 60 Hz
// frame interval after the last notice and the last frame.
class FileWatcher {
public:
    FileWatcher() = default;
    ~FileWatcher() { stop(); }
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Sets the watches; changes from here on are kept by the kernel until
    // start() runs the thread. False where inotify is not to be had: the
    // file is then shown as it is read, as without a watcher.
    bool arm(const std::string& path);
    // Runs the thread; SDL's event queue must be up.
    void start();
    // Ends the thread, without waiting for it, and with it the watches.
    void stop();
    // Main thread, on receipt of a notice, before reading the file: a change
    // from now on sends another notice.
    void take_notice();
    // Main thread, after each frame: the next notice waits for the frame the
    // last one asked for, and a frame interval from here, so that frames keep
    // one interval apart.
    void frame_drawn();

private:
    struct State {
        uint64_t generation = 0;
        bool running = false;
    };

public:
    // The SDL event type of the notices.
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    // Sent: the main thread has yet to take it, and will read after it does.
    // Taken: read, its frame not yet drawn.
    enum class Notice { None, Sent, Taken };
    // What the main thread and the watching thread share.
    struct Channel {
        std::atomic<Notice> notice{Notice::None};
        std::atomic<int64_t> frame_at{0};  // steady clock, nanoseconds: when the last frame was drawn
        int stop_fd = -1;                  // an eventfd that ends the thread's poll
        ~Channel();
    };
    // The watches: the main thread's from arm() to start(), then the thread's.
    struct Watches {
        std::string path;
        int inotify_fd = -1;
        // Folder watches, each with the names in it that the resolution passes through.
        std::vector<std::pair<int, std::vector<std::string>>> folders;
        int file = -1;  // -1 while no file is at the path
        ~Watches();
        // Sets the watches of the path as it resolves now, dropping the old ones.
        void watch_path();
    };
    static void run(Watches& watches, Channel& channel, WorkerRun<State>& run);

    std::shared_ptr<Channel> channel_;
    std::unique_ptr<Watches> watches_;  // armed and not yet started
    BackgroundWorker<State> worker_;
};
