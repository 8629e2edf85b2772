#include "compare/diff_worker.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

uint64_t DiffWorker::start(DiffRequest request) {
    return worker_.start([request = std::move(request)](WorkerRun<State>& run) {
        State state = run.fresh();
        // A scan keeps a core busy: on a busy machine the frames come first.
        ::setpriority(PRIO_PROCESS, ::gettid(), std::min(::getpriority(PRIO_PROCESS, ::gettid()) + 5, 19));
        int fds[2];
        if (!open_pair(request.path_a, request.path_b, fds, state.outcome.error)) {
            state.outcome.kind = DiffOutcome::Kind::Failed;
        } else {
            {
                PairScan scan(fds[0], fds[1], request.shift, run.cancel_flag());
                if (!scan.measure()) {
                    state.outcome.kind = DiffOutcome::Kind::Failed;
                    state.outcome.error = "the files cannot be measured";
                } else {
                    // Each report costs a frame, which the look waits for on a busy
                    // machine: a look that ends within a quarter second draws none.
                    auto last_report = std::chrono::steady_clock::now();
                    scan.on_block = [&](uint64_t position) {
                        const auto now = std::chrono::steady_clock::now();
                        if (now - last_report < std::chrono::milliseconds(250)) return;
                        last_report = now;
                        state.progress = DiffProgress{position, scan.span()};
                        run.publish(state);
                    };
                    state.progress.span = scan.span();
                    state.outcome = find_difference(scan, request.from, request.backward);
                }
            }
            ::close(fds[0]);
            ::close(fds[1]);
        }
        state.running = false;
        run.publish(state);
    });
}

bool open_pair(const std::string& path_a, const std::string& path_b, int fds[2], std::string& error) {
    const std::string* paths[2] = {&path_a, &path_b};
    for (int f = 0; f < 2; ++f) {
        fds[f] = ::open(paths[f]->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fds[f] < 0) {
            if (f == 1) ::close(fds[0]);
            error = std::string(f == 0 ? "the first" : "the second") + " file cannot be opened";
            return false;
        }
    }
    return true;
}
