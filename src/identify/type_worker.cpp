#include "identify/type_worker.h"

#include "identify/magic_describer.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

Uint32 TypeWorker::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

TypeWorker::~TypeWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

uint64_t TypeWorker::ask(const std::string& path, uint64_t offset) {
    event_type();  // registered here, on the main thread
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = ++generation_;
        path_ = path;
        offset_ = offset;
        pending_ = true;
        notices_.begin(generation);
    }
    if (!thread_.joinable()) thread_ = std::thread(&TypeWorker::loop, this);
    wake_.notify_one();
    return generation;
}

TypeWorker::State describe_at(MagicDescriber& describer, const std::string& path, uint64_t offset) {
    TypeWorker::State state;
    state.offset = offset;
    if (!describer.loaded()) {
        state.no_database = true;
        return state;
    }
    std::vector<uint8_t> bytes(magic_read_bytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    const ssize_t got = fd < 0 ? -1 : ::pread(fd, bytes.data(), bytes.size(), off_t(offset));
    if (fd >= 0) ::close(fd);
    if (got < 0) {
        state.unreadable = true;
        return state;
    }
    state.description = describer.describe(bytes.data(), size_t(got));
    return state;
}

void TypeWorker::loop() {
    MagicDescriber describer;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return quit_ || pending_; });
        if (quit_) return;
        pending_ = false;
        const std::string path = path_;
        const uint64_t offset = offset_;
        const uint64_t generation = generation_;
        lock.unlock();
        State state = describe_at(describer, path, offset);
        state.generation = generation;
        notices_.publish(state, event_type());
        lock.lock();
    }
}
