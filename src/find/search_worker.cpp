#include "find/search_worker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

SearchOutcome as_shown(const SearchOutcome& outcome, int fd, const std::string& path, uint64_t pattern_length) {
    struct stat searched {}, now {};
    const bool at_path = ::stat(path.c_str(), &now) == 0;
    if (at_path && ::fstat(fd, &searched) == 0 && (now.st_dev != searched.st_dev || now.st_ino != searched.st_ino) &&
        outcome.kind != SearchOutcome::Kind::Cancelled) {
        return SearchOutcome{SearchOutcome::Kind::Changed, 0, false, "", outcome.unreadable};
    }
    // A file that shrank while it was searched no longer holds the match:
    // the page could not show it.
    if (outcome.kind == SearchOutcome::Kind::Found &&
        (!at_path || (S_ISREG(now.st_mode) && outcome.offset + pattern_length > uint64_t(now.st_size)))) {
        return SearchOutcome{SearchOutcome::Kind::NotFound, 0, false, "", outcome.unreadable};
    }
    return outcome;
}

uint64_t SearchWorker::start(const std::string& path, SearchRequest request) {
    return worker_.start([path, request = std::move(request)](WorkerRun<State>& run) {
        const auto started = std::chrono::steady_clock::now();
        State state = run.fresh();
        auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
        // A scan keeps a core busy: on a busy machine the frames come first.
        ::setpriority(PRIO_PROCESS, ::gettid(), std::min(::getpriority(PRIO_PROCESS, ::gettid()) + 5, 19));

        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            state.outcome.kind = SearchOutcome::Kind::Failed;
            state.outcome.error = "the file cannot be opened";
        } else {
            state.outcome = run_search(fd, request, run.cancel_flag(), [&](const SearchProgress& progress) {
                state.progress = progress;
                state.seconds = elapsed();
                run.publish(state);
            });
            state.outcome = as_shown(state.outcome, fd, path, request.pattern.bytes.size());
            ::close(fd);
        }
        state.running = false;
        state.seconds = elapsed();
        run.publish(state);
    });
}
