#include "map/map_worker.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

uint64_t MapWorker::start(const std::string& path, uint64_t size, int length, const MapLimits& limits) {
    return worker_.start([path, size, length, limits](WorkerRun<State>& run) {
        // The page comes first: on a busy machine the map waits, not the frames.
        setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
        State state = run.fresh();
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            run_map(
                fd, size, length, run.cancel_flag(), [&run] { run.wait_turn(); },
                [&](const MapProgress& progress) {
                    state.progress = progress;
                    state.running = !progress.complete;
                    run.publish(state);
                },
                limits);
            ::close(fd);
        }
        if (state.running && !run.cancelled()) {
            // Not opened: the map stays as it is, complete.
            state.running = false;
            state.progress.complete = true;
            state.progress.classes.assign(size_t(length), uint8_t(SliceClass::Hole));
            run.publish(state);
        }
    });
}
