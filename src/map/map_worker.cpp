#include "map/map_worker.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

Uint32 MapWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

uint64_t MapWorker::start(const std::string& path, uint64_t size, int length, const MapLimits& limits) {
    stop();
    const uint64_t generation = ++generations_;
    notices_.begin(generation);
    turns_.begin();
    event_type();  // registered here, on the main thread
    thread_ = std::thread(&MapWorker::run, this, path, size, length, limits, generation);
    return generation;
}

void MapWorker::stop() {
    turns_.cancel();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void MapWorker::hold(bool held) { turns_.hold(held); }

MapWorker::State MapWorker::snapshot() const { return notices_.snapshot(); }

void MapWorker::publish(const State& state) { notices_.publish(state, event_type()); }

void MapWorker::run(std::string path, uint64_t size, int length, MapLimits limits, uint64_t generation) {
    // The page comes first: on a busy machine the map waits, not the frames.
    setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
    State state;
    state.generation = generation;
    state.running = true;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        run_map(
            fd, size, length, turns_.cancelled(), [this] { turns_.wait_turn(); },
            [&](const MapProgress& progress) {
                state.progress = progress;
                state.running = !progress.complete;
                if (!turns_.cancelled()) publish(state);
            },
            limits);
        ::close(fd);
    }
    if (state.running && !turns_.cancelled()) {
        // Not opened: the map stays as it is, complete.
        state.running = false;
        state.progress.complete = true;
        state.progress.classes.assign(size_t(length), uint8_t(SliceClass::Hole));
        publish(state);
    }
}
