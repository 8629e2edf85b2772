#pragma once

#include <cstdint>

// The inspector panel: whether it is shown, and the bytes it last read with
// the offset and file size they were read for, so that a frame which
// changes neither reads nothing.
struct InspectState {
    bool open = false;
    bool read = false;         // the fields below hold a read
    uint64_t read_offset = 0;
    uint64_t read_size = 0;    // the file's size when it was read
    uint8_t bytes[16]{};
    unsigned count = 0;        // bytes there were: fewer than 16 only at the end of the file
};
