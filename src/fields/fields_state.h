#pragma once

#include "fields/structure_worker.h"

#include <cstdint>
#include <string>

// The structure view's state: the worker that reads the file by its
// description, what it last said about the view, and the move (a step by
// fields, a go-to by path) whose answer is awaited.
struct FieldsState {
    std::string format_argument;  // --format: "" to choose by type, "none" for off
    StructureWorker worker;
    bool started = false;
    bool after_first_present = false;  // the first paint pays nothing for the structure
    bool panel_open = false;      // F2
    StructureAnswer shown;        // the last answer about the view
    // What the view ask in flight (or last answered) was about.
    uint64_t view_generation = 0;
    uint64_t asked_at = UINT64_MAX, asked_window = UINT64_MAX;
    size_t asked_lines = 0;
    bool view_stale = true;       // ask again at the next frame
    uint64_t move_generation = 0; // a step or a path go-to awaiting its answer; 0: none
    bool move_is_step = false;    // the awaited move is a step, not a path
    int queued_steps = 0;         // `.` (+1) and `,` (-1) pressed while a step was awaited

    // Whether a description is in use (known once the first answer came).
    bool active() const { return !shown.format.empty(); }
};
