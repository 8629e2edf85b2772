#pragma once

#include "work/background_worker.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A compare's map: per track row, what its slice of the pair holds. The
// values sit beside the one-file map's classes (1 to 4) in the same record.
enum class PairSlice : uint8_t { Holes = 0, Same = 5, Differing = 6, NotCompared = 7 };

struct PairMapProgress {
    std::vector<uint8_t> classes;  // a PairSlice per slice
    bool complete = false;
    uint64_t differing_bytes = 0;  // once complete: in the whole pair
    uint64_t differing_runs = 0;
    uint64_t unreadable[2] = {0, 0};  // once complete: bytes of A, of B that could not be read
};

// Maps the pair open on `fd_a` and `fd_b` onto `length` slices of its span,
// exactly: first the slices that are holes in both (reported at once), then
// every other slice compared byte for byte, in order, so that a run across
// slices counts once. `wait_turn` is called between blocks; `cancel` ends
// the run unreported.
void run_pair_map(int fd_a, int fd_b, int64_t shift, int length, const std::atomic<bool>& cancel,
                  const std::function<void()>& wait_turn, const std::function<void(const PairMapProgress&)>& report);

// Runs one pair map at a time on a thread of its own, below the viewer's
// priority, and held while a search or a look for a difference runs.
class PairMapWorker {
public:
    struct State {
        uint64_t generation = 0;
        bool running = false;
        PairMapProgress progress;
    };

    uint64_t start(const std::string& path_a, const std::string& path_b, int64_t shift, int length);
    // Lets the running map go, unheard, without waiting for it.
    void stop() { worker_.stop(); }
    void hold(bool held) { worker_.hold(held); }
    State snapshot() const { return worker_.snapshot(); }
    static Uint32 event_type() { return BackgroundWorker<State>::event_type(); }

private:
    BackgroundWorker<State> worker_;
};
