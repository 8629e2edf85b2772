#pragma once

#include "transfer/transfer_worker.h"
#include "transfer/x11_selection.h"

#include <cstdint>
#include <string>

// Copy and save as the main thread keeps them: the worker, which of its jobs
// counts, the name a second Enter would replace, and the server of long texts.
struct TransferState {
    TransferWorker worker;
    uint64_t generation = 0;      // of the job whose notices count
    bool busy = false;
    TransferWorker::Job job;      // the job running or last run
    std::string replace_name;     // "NAME exists: Enter replaces it" is showing
    X11Selection long_text;       // serves texts past SDL's clipboard limit
    bool copy_menu = false;       // "copy as: ..." is showing
};
