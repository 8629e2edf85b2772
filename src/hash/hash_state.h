#pragma once

#include "hash/hash_worker.h"

#include <cstdint>

// Hashes as the main thread keeps them: the menu, the worker and the job
// whose notices count.
struct HashState {
    bool menu = false;  // "hash: c CRC-32 ..." is showing
    HashWorker worker;
    uint64_t generation = 0;
    bool busy = false;
    HashJob job;  // the job running or last run
};
