#include "find/search_worker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

Uint32 SearchWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t SearchWorker::start(const std::string& path, SearchRequest request) {
    stop();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    cancel_ = false;
    event_type();  // registered here, on the main thread
    thread_ = std::thread(&SearchWorker::run, this, path, std::move(request), generation);
    return generation;
}

void SearchWorker::stop() {
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

SearchWorker::State SearchWorker::snapshot() const { return notices_.snapshot(); }

void SearchWorker::publish(const State& state) { notices_.publish(state, event_type()); }

void SearchWorker::run(std::string path, SearchRequest request, uint64_t generation) {
    const auto started = std::chrono::steady_clock::now();
    State state;
    state.generation = generation;
    state.running = true;
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
    // A scan keeps a core busy: on a busy machine the frames come first.
    ::setpriority(PRIO_PROCESS, ::gettid(), std::min(::getpriority(PRIO_PROCESS, ::gettid()) + 5, 19));

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        state.outcome.kind = SearchOutcome::Kind::Failed;
        state.outcome.error = "the file cannot be opened";
    } else {
        state.outcome = run_search(fd, request, cancel_, [&](const SearchProgress& progress) {
            state.progress = progress;
            state.seconds = elapsed();
            publish(state);
        });
        ::close(fd);
        // A file that shrank while it was searched no longer holds the
        // match: the page could not show it.
        struct stat now {};
        if (state.outcome.kind == SearchOutcome::Kind::Found &&
            (::stat(path.c_str(), &now) != 0 ||
             (S_ISREG(now.st_mode) && state.outcome.offset + request.pattern.bytes.size() > uint64_t(now.st_size)))) {
            state.outcome = SearchOutcome{};
        }
    }
    state.running = false;
    state.seconds = elapsed();
    publish(state);
}
