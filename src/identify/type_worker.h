#pragma once

#include "core/worker_notices.h"

#include <SDL2/SDL.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// Names the data at an offset with libmagic, on a thread of its own that
// keeps its own handle and loads the database once. Each ask replaces the
// one before; the answer arrives as an SDL event, read with snapshot().
class TypeWorker {
public:
    struct State {
        uint64_t generation = 0;  // which ask this is about
        bool running = false;
        uint64_t offset = 0;
        std::string description;
        bool no_database = false;
        bool unreadable = false;  // the file could not be read there
    };

    TypeWorker() = default;
    ~TypeWorker();
    TypeWorker(const TypeWorker&) = delete;
    TypeWorker& operator=(const TypeWorker&) = delete;

    // Asks for the type of the data at `offset` of `path`; returns the
    // ask's generation.
    uint64_t ask(const std::string& path, uint64_t offset);
    State snapshot() const { return notices_.snapshot(); }
    static Uint32 event_type();

private:
    void loop();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool pending_ = false;
    std::string path_;
    uint64_t offset_ = 0;
    uint64_t generation_ = 0;
    WorkerNotices<State> notices_;
};

// Reads up to magic_read_bytes of `path` at `offset` and describes them.
TypeWorker::State describe_at(class MagicDescriber& describer, const std::string& path, uint64_t offset);
