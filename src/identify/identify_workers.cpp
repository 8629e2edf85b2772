#include "identify/identify_workers.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

Uint32 PartitionWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t PartitionWorker::start(const std::string& path) {
    wait();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    event_type();  // registered here, on the main thread
    thread_ = std::thread([this, path, generation] {
        State state;
        state.generation = generation;
        state.table = read_partition_table(path);
        notices_.publish(state, event_type());
    });
    return generation;
}

void PartitionWorker::wait() {
    if (thread_.joinable()) thread_.join();
}

Uint32 ScanWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t ScanWorker::start(const std::string& path) {
    stop();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    cancel_ = false;
    event_type();
    thread_ = std::thread(&ScanWorker::run, this, path, generation);
    return generation;
}

void ScanWorker::stop() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

void ScanWorker::run(std::string path, uint64_t generation) {
    State state;
    state.generation = generation;
    state.running = true;
    // A scan keeps a core busy: on a busy machine the frames come first.
    ::setpriority(PRIO_PROCESS, ::gettid(), std::min(::getpriority(PRIO_PROCESS, ::gettid()) + 5, 19));
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        state.outcome.kind = EmbeddedScanOutcome::Kind::Failed;
        state.outcome.error = "the file cannot be opened";
    } else {
        state.outcome = scan_embedded(fd, cancel_, [&](const EmbeddedScanProgress& progress) {
            state.progress = progress;
            notices_.publish(state, event_type());
        });
        ::close(fd);
    }
    state.running = false;
    notices_.publish(state, event_type());
}
