// The worker template on its own: notices through the event queue, a
// stopped run that is stuck in a slow read is let go at once and can never
// overwrite a newer run's state, and a held run waits between reads.
#include "work/background_worker.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct ProbeState {
    uint64_t generation = 0;
    bool running = false;
    int value = 0;
};
using ProbeWorker = BackgroundWorker<ProbeState>;

// Every read of `path` takes `milliseconds` longer while the object lives.
class SlowReads {
public:
    SlowReads(const std::string& path, int milliseconds) {
        ::setenv("QUIRN_SLOW", (path + ":" + std::to_string(milliseconds)).c_str(), 1);
    }
    ~SlowReads() { ::unsetenv("QUIRN_SLOW"); }
};

// A run that reads one byte of `path`, then publishes `value` as its end.
ProbeWorker::Body read_then_publish(const std::string& path, int value) {
    return [path, value](WorkerRun<ProbeState>& run) {
        ProbeState state = run.fresh();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        uint8_t byte = 0;
        if (fd >= 0) {
            (void)!::pread(fd, &byte, 1, 0);
            ::close(fd);
        }
        state.value = value;
        state.running = false;
        run.publish(state);
    };
}

}  // namespace

TEST(BackgroundWorker, NoticesComeThroughTheEventQueue) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    {
        ProbeWorker worker;
        const uint64_t generation = worker.start([](WorkerRun<ProbeState>& run) {
            ProbeState state = run.fresh();
            for (int i = 1; i <= 3 && !run.cancelled(); ++i) {
                state.value = i;
                state.running = i < 3;
                run.publish(state);
            }
        });
        EXPECT_TRUE(worker.snapshot().running);
        const ProbeState state = wait_for_end(worker, generation);
        EXPECT_EQ(state.generation, generation);
        EXPECT_EQ(state.value, 3);
    }
    SDL_Quit();
}

TEST(BackgroundWorker, AStoppedRunInASlowReadIsLetGoAndNeverOverwritesANewerOne) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile slow(std::vector<uint8_t>(4096, 1)), quick(std::vector<uint8_t>(4096, 2));
    {
        const SlowReads reads(slow.path(), 600);
        ProbeWorker worker;
        worker.start(read_then_publish(slow.path(), 1));
        worker.stop();
        EXPECT_FALSE(worker.wait_for(std::chrono::milliseconds(0))) << "stop() returned while the run reads";
        EXPECT_FALSE(worker.snapshot().running);

        // Replaced rather than stopped: the old run ends (in its read) after the new one.
        const uint64_t first = worker.start(read_then_publish(slow.path(), 1));
        const uint64_t second = worker.start(read_then_publish(quick.path(), 2));
        EXPECT_GT(second, first);
        const ProbeState state = wait_for_end(worker, second);
        EXPECT_EQ(state.value, 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(900));  // both slow runs are done
        EXPECT_EQ(worker.snapshot().generation, second);
        EXPECT_EQ(worker.snapshot().value, 2);
    }
    SDL_Quit();
}

TEST(BackgroundWorker, AHeldRunWaitsBetweenReadsAndACancelStillReports) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    {
        ProbeWorker worker;
        worker.hold(true);
        const auto counting = [](WorkerRun<ProbeState>& run) {
            ProbeState state = run.fresh();
            while (!run.cancelled()) {
                run.wait_turn();
                ++state.value;
                if (state.value % 100 == 0) run.publish(state);
                if (state.value == 1000) break;
            }
            state.running = false;
            run.publish(state);
        };
        uint64_t generation = worker.start(counting);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(worker.snapshot().value, 0) << "held: it waits for its turn";
        worker.hold(false);
        EXPECT_EQ(wait_for_end(worker, generation).value, 1000);

        worker.hold(true);  // and so is the next run, until its cancel
        generation = worker.start(counting);
        worker.cancel();
        EXPECT_TRUE(worker.wait_for(std::chrono::seconds(5)));
        const ProbeState state = wait_for_end(worker, generation);
        EXPECT_FALSE(state.running);
        EXPECT_LE(state.value, 1) << "its last notice, after the cancel";
    }
    SDL_Quit();
}
