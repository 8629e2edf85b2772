#include "identify/identify_workers.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

uint64_t PartitionWorker::start(const std::string& path) {
    return worker_.start([path](WorkerRun<State>& run) {
        State state = run.fresh();
        state.table = read_partition_table(path);
        state.running = false;
        run.publish(state);
    });
}

uint64_t ScanWorker::start(const std::string& path) {
    return worker_.start([path](WorkerRun<State>& run) {
        State state = run.fresh();
        // A scan keeps a core busy: on a busy machine the frames come first.
        ::setpriority(PRIO_PROCESS, ::gettid(), std::min(::getpriority(PRIO_PROCESS, ::gettid()) + 5, 19));
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            state.outcome.kind = EmbeddedScanOutcome::Kind::Failed;
            state.outcome.error = "the file cannot be opened";
        } else {
            state.outcome = scan_embedded(fd, run.cancel_flag(), [&](const EmbeddedScanProgress& progress) {
                state.progress = progress;
                run.publish(state);
            });
            ::close(fd);
        }
        state.running = false;
        run.publish(state);
    });
}
