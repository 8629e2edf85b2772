#pragma once

#include "identify/magic_describer.h"
#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <memory>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Names the data at an offset with libmagic, one ask at a time on a thread
// of its own; a handle, its database loaded once, is kept for the next ask.
// Each ask replaces the one before; the answer arrives as an SDL event,
// read with snapshot().
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

    // Asks for the type of the data at `offset` of `path`; returns the
    // ask's generation.
    uint64_t ask(const std::string& path, uint64_t offset);
    // Lets the ask under way go, unheard.
    void stop() { worker_.stop(); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    // Handles not in use: an ask let go in a slow read keeps its own.
    struct Describers {
        std::mutex mutex;
        std::vector<std::unique_ptr<MagicDescriber>> idle;
    };
    std::shared_ptr<Describers> describers_ = std::make_shared<Describers>();
    BackgroundWorker<State> worker_;
};

// Reads up to magic_read_bytes of `path` at `offset` and describes them.
TypeWorker::State describe_at(class MagicDescriber& describer, const std::string& path, uint64_t offset);
