#pragma once

#include "structure/interpreter.h"
#include "work/background_worker.h"

#include <memory>
#include <string>

// A walk of a repeat of variable-size elements, off the main thread. The
// run reads with an engine of its own and hands it over when the walk is
// done: from then on the main thread owns it, with the checkpoints made.
struct StructureWalkState {
    uint64_t generation = 0;
    bool running = false;
    uint64_t walked = 0;    // elements walked so far
    uint64_t position = 0;  // the offset in its stream the walk has reached
    uint64_t size = 0;      // that stream's size
    std::string message;    // why it ended early, "" if it did not
    std::shared_ptr<StructureEngine> engine;  // set by the last notice of a walk that ended
};
using StructureWalkWorker = BackgroundWorker<StructureWalkState>;

// The body of a run that walks the array at `array_path` ("packets") of
// `file` read by `desc`.
StructureWalkWorker::Body structure_walk(std::shared_ptr<const Description> desc, std::string file,
                                         std::string array_path, StructureLimits limits = {});

// The status line's words for a walk: "walking packets: 65536 elements, 12%".
std::string walk_progress_text(const StructureWalkState& state, const std::string& array_path);
