#pragma once

#include "map/map_worker.h"
#include "render/overlay_block.h"

#include <cstdint>
#include <vector>

// The scrollbar's map as the main thread keeps it: on or off, the file size
// and track length it is of, and the classes the worker last reported.
struct FileMap {
    bool on = false;
    bool complete = false;
    uint64_t size = 0;
    int length = 0;           // 0: nothing mapped yet
    uint64_t generation = 0;  // of the worker's run whose notices count
    std::vector<uint8_t> classes;
    MapWorker worker;

    // Whether the classes are of this file size and track length.
    bool fits(uint64_t file_size, int track_rows) const { return size == file_size && length == track_rows; }
    // Off, or one class byte per track row.
    void write_record(OverlayBlock& block) const;
};
