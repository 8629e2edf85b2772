#pragma once

#include "hash/hash_range.h"
#include "work/background_worker.h"

#include <cstdint>
#include <string>

// A hash of a range on the worker, as the main thread reads it.
struct HashRunState {
    uint64_t generation = 0;
    bool running = false;
    uint64_t done = 0;    // bytes of the range hashed
    double seconds = 0;   // since it started
    HashOutcome outcome;  // once it no longer runs
};
using HashWorker = BackgroundWorker<HashRunState>;

struct HashJob {
    std::string path;  // the file shown
    HashKind kind = HashKind::Sha256;
    uint64_t first = 0;
    uint64_t length = 0;
};

// Stops the worker's run, if any, and starts hash_range() on `job`, with a
// notice a tenth of a second at most and one at the end; returns its generation.
uint64_t start_hash(HashWorker& worker, HashJob job);
