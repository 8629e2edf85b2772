#pragma once

#include "map/map_classifier.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct MapProgress {
    std::vector<uint8_t> classes;  // a SliceClass per slice
    int passes = 0;                // sampling passes finished
    uint64_t bytes_read = 0;
    bool complete = false;         // every slice read whole, or the budget spent, or the file cut short
};

struct MapLimits {
    uint64_t budget = uint64_t{256} << 20;  // bytes read in all
    uint64_t block = 4096;                  // one sample
    uint64_t buffer = uint64_t{1} << 20;    // the one read buffer
};

// Maps `size` bytes of the file open on `fd` onto `length` slices: the holes
// first (reported at once when there are any), then passes of samples of the
// stored data, doubling per slice, each reported when it ends. Reads stay
// below `size` and never cross the end the file has while it runs: a read
// that comes back short ends the map with what it has. `wait_turn` is called
// between reads (where the worker yields); `cancel` ends the run unreported.
void run_map(int fd, uint64_t size, int length, const std::atomic<bool>& cancel,
             const std::function<void()>& wait_turn, const std::function<void(const MapProgress&)>& report,
             const MapLimits& limits = {});
