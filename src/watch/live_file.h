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
    // The shown window's bytes that could not be read, a bit each (bit i of
    // byte i / 8), as the overlay carries them; and the fresh read's.
    std::vector<uint8_t> unreadable, fresh_unreadable;
    uint64_t unreadable_count = 0;  // bytes of the window that could not be read,
    uint64_t unreadable_first = 0;  // the first of them (a file offset),
    int unreadable_error = 0;       // and why

    // The label line's text: "" while the file reads, else why it does not.
    std::string line() const;
};

// One look at the file: open, measure and read up to `length` bytes at
// `position` (none when `length` is 0). The file is closed again. A read
// that fails is retried past the failure in sector-sized steps, so that one
// bad stretch costs only its own bytes: they are left zero in `buffer` and,
// when `unreadable_bits` is given (length / 8 bytes, rounded up, cleared by
// the caller), their bits are set. A read that ends early (the file shrank
// after it was measured) gives the size that read saw.
struct FileRead {
    enum class Failure { None, Open, NotAFile, TooLarge };
    Failure failure = Failure::None;
    int error = 0;        // errno for Open; the reason given for the others
    uint64_t size = 0;
    uint64_t done = 0;    // bytes read or found unreadable, from `position`
    uint64_t unreadable = 0;        // bytes that could not be read,
    uint64_t first_unreadable = 0;  // the first of them (a file offset),
    int read_error = 0;             // and the errno of the first failure
    bool character_device = false;  // such as /dev/zero: no size to show
};
FileRead read_file_at(const char* path, uint64_t position, uint64_t length, uint8_t* buffer,
                      uint8_t* unreadable_bits = nullptr);

// The length of the open file `fd` as reading finds it, as the page has it:
// a regular file's size, unless the file ends before it (a kernel's file
// whose size is a page), then as far as its bytes go; a block device's end;
// 0 for a character device. False for other kinds, or when it cannot be
// measured.
bool readable_length(int fd, uint64_t& length);

// "cannot read 100 bytes at 1000: Input/output error", offsets and counts in
// hexadecimal as the page shows them.
std::string unreadable_text(uint64_t count, uint64_t first, int error);

// How reads step past a failure: one sector at a time.
inline constexpr uint64_t read_sector = 512;

// Whether the view at `offset` shows the last page of a file of `size`
// bytes: it is at the End key's target, or the last byte is on the shown rows.
bool shows_last_page(int64_t offset, uint64_t size, int rows);
// Where the view goes when the file changes from `old_size` to `new_size`
// bytes: a view of the last page keeps showing the last page as the file
// grows; any other view stays (the frame's end clamp applies to it).
int64_t follow_end(int64_t offset, uint64_t old_size, uint64_t new_size, int rows);
