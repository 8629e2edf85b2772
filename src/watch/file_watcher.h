#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
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
    // Ends the thread and closes the watches.
    void stop();
    // Main thread, on receipt of a notice, before reading the file: a change
    // from now on sends another notice.
    void take_notice() { notice_.store(Notice::Taken); }
    // Main thread, after each frame: the next notice waits for the frame the
    // last one asked for, and a frame interval from here, so that frames keep
    // one interval apart.
    void frame_drawn();

    // The SDL event type of the notices; registered by arm().
    static Uint32 event_type();

private:
    void run();
    // Sets the watches of the path as it resolves now, dropping the old ones.
    void watch_path();
    void notify();

    std::string path_;
    int inotify_fd_ = -1;
    int stop_fd_ = -1;    // an eventfd that ends the thread's poll
    // Folder watches, each with the names in it that the resolution passes
    // through; thread only once it runs.
    std::vector<std::pair<int, std::vector<std::string>>> folder_watches_;
    int file_watch_ = -1;  // thread only once it runs; -1 while no file is at the path
    std::thread thread_;
    // Sent: the main thread has yet to take it, and will read after it does.
    // Taken: read, its frame not yet drawn.
    enum class Notice { None, Sent, Taken };
    std::atomic<Notice> notice_{Notice::None};
    std::atomic<int64_t> frame_at_{0};  // steady clock, nanoseconds: when the last frame was drawn
};
