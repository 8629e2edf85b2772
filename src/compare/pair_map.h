#pragma once

#include "core/worker_notices.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A compare's map: per track row, what its slice of the pair holds. The
// values sit beside the one-file map's classes (1 to 4) in the same record.
enum class PairSlice : uint8_t { Holes = 0, Same = 5, Differing = 6, NotCompared = 7 };

struct PairMapProgress {
    std::vector<uint8_t> classes;  // a PairSlice per slice
    bool complete = false;
    uint64_t differing_bytes = 0;  // once complete: in the whole pair
    uint64_t differing_runs = 0;
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

    PairMapWorker() = default;
    ~PairMapWorker() { stop(); }
    PairMapWorker(const PairMapWorker&) = delete;
    PairMapWorker& operator=(const PairMapWorker&) = delete;

    uint64_t start(const std::string& path_a, const std::string& path_b, int64_t shift, int length);
    void stop();
    void hold(bool held);
    State snapshot() const { return notices_.snapshot(); }
    static Uint32 event_type();

private:
    void run(std::string path_a, std::string path_b, int64_t shift, int length, uint64_t generation);

    std::thread thread_;
    WorkerTurns turns_;
    WorkerNotices<State> notices_;
    uint64_t generations_ = 0;  // main thread only
};
