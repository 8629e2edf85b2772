#pragma once

#include "watch/live_file.h"

#include <cstdint>
#include <vector>

// One file as the viewer shows it: its path, the window of its bytes around
// the shown position, its size, the reads made of it, and its watcher. The
// viewer holds one for the file it shows, and a second when it compares two.
struct ShownFile {
    static constexpr uint64_t window_bytes = 2048;

    char* path = nullptr;  // borrowed from the command line
    std::vector<uint8_t> chunk;  // the window's bytes; empty when it must be read
    uint64_t chunk_capacity = window_bytes;
    uint64_t chunk_offset = 0;   // the window's first byte in the file
    uint64_t size = 0;
    uint64_t reads = 0;
    bool size_changed = false;   // a read found a new size: the frame was described with the old one
    bool character_device = false;  // such as /dev/zero: no size to show
    bool standard_input = false;  // `path` names the file standard input is kept in
    LiveFile live;

    // The name the title and messages give it.
    const char* name() const { return standard_input ? "(standard input)" : path; }
    // Empties the window (moving it) when the page at `view` leaves it.
    void check_window(uint64_t view);
    // Reads an emptied window, or again after a change. The first read
    // throws std::runtime_error as a file that cannot be shown does (with
    // the path when `name_in_errors`); a later one that fails keeps the
    // bytes and records why in `live`. Returns whether it read.
    bool refill(bool name_in_errors = false);
    // Reads up to `length` bytes at `position` outside the window, counting
    // the read and learning the size. A failure is returned, never thrown:
    // reads after the start keep what is shown.
    FileRead read_at(uint64_t position, uint64_t length, uint8_t* buffer);
    // Keeps the count, place and reason of the window's unreadable bytes for the label line.
    void note_unreadable(const FileRead& read);
};
