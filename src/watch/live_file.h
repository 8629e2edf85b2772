#pragma once

#include "watch/file_watcher.h"

#include <cstdint>
#include <string>
#include <vector>

// The main thread's side of a file that may change while it is shown.
struct LiveFile {
    FileWatcher watcher;
    bool shown = false;   // a first read succeeded: from then on a failed read keeps the page
    bool reread = false;  // a change was seen: the next frame reads the window again
    int error = 0;        // the errno of the last failed look at the file; 0 while it reads
    std::vector<uint8_t> fresh_window;  // a read lands here, so that a failed one keeps the page

    // The label line's text: "" while the file reads, else why it does not.
    std::string line() const;
};

// One look at the file: open, measure and read up to `length` bytes at
// `position` (none when `length` is 0). The file is closed again.
struct FileRead {
    enum class Failure { None, Open, NotAFile, TooLarge };
    Failure failure = Failure::None;
    int error = 0;        // errno for Open; the reason given for the others
    uint64_t size = 0;
    uint64_t done = 0;    // bytes read; an unreadable stretch stays as it was
    bool character_device = false;  // such as /dev/zero: no size to show
};
FileRead read_file_at(const char* path, uint64_t position, uint64_t length, uint8_t* buffer);

// Whether the view at `offset` shows the last page of a file of `size`
// bytes: it is at the End key's target, or the last byte is on the shown rows.
bool shows_last_page(int64_t offset, uint64_t size, int rows);
// Where the view goes when the file changes from `old_size` to `new_size`
// bytes: a view of the last page keeps showing the last page as the file
// grows; any other view stays (the frame's end clamp applies to it).
int64_t follow_end(int64_t offset, uint64_t old_size, uint64_t new_size, int rows);
