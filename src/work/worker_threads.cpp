#include "work/worker_threads.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// Trivially destructible: still there for a thread that ends during exit.
std::atomic<int> running{0};

}  // namespace

void worker_thread_started() { running.fetch_add(1); }

void worker_thread_ended() { running.fetch_sub(1); }

int worker_threads_running() { return running.load(); }

void end_process(int status) {
    if (worker_threads_running() == 0) std::exit(status);
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}
