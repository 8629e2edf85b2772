#include "transfer/transfer_worker.h"

#include "transfer/transfer_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

const size_t read_bytes = size_t{1} << 20;
const auto notice_interval = std::chrono::milliseconds(100);


TransferOutcome copy(const TransferWorker::Job& job, const std::atomic<bool>& cancel, std::string& text, uint64_t& done,
                     const std::function<void()>& report) {
    using Job = TransferWorker::Job;
    const int fd = ::open(job.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {TransferOutcome::Kind::Failed, "the file cannot be opened"};
    const bool hex = job.kind == Job::Kind::CopyHex;
    // The other forms are made from all the bytes at once.
    const bool formed = !hex && job.kind != Job::Kind::CopyText;
    // Hex and text are at most three characters a byte (hex less the last space).
    text.resize(formed ? job.length : 3 * job.length);
    size_t written = 0;
    const auto block = std::make_unique<uint8_t[]>(read_bytes);
    uint64_t position = job.first;
    const uint64_t end = job.first + job.length;
    TransferOutcome outcome;
    while (position < end) {
        if (cancel.load(std::memory_order_relaxed)) {
            outcome.kind = TransferOutcome::Kind::Cancelled;
            break;
        }
        const ssize_t n = ::pread(fd, block.get(), std::min<uint64_t>(read_bytes, end - position), off_t(position));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            outcome = {TransferOutcome::Kind::Failed,
                       n == 0 ? "the file ended before the selection did" : std::strerror(errno)};
            break;
        }
        position += uint64_t(n);
        char* at = text.data() + written;
        if (hex) {
            at = append_hex(block.get(), size_t(n), at);
        } else if (formed) {
            std::memcpy(at, block.get(), size_t(n));
            at += n;
        } else {
            at = append_text(block.get(), size_t(n), job.charset, at);
        }
        written = size_t(at - text.data());
        done = position - job.first;
        report();
    }
    ::close(fd);
    if (hex && written > 0) --written;  // the last pair's space
    text.resize(written);
    if (formed && outcome.kind == TransferOutcome::Kind::Done) {
        const CopyForm form = job.kind == Job::Kind::CopyCArray ? CopyForm::CArray
                            : job.kind == Job::Kind::CopyBase64 ? CopyForm::Base64
                            : job.kind == Job::Kind::CopyDump   ? CopyForm::Dump
                                                                : CopyForm::Python;
        text = format_copy(form, reinterpret_cast<const uint8_t*>(text.data()), text.size(), job.first);
    }
    return outcome;
}

}  // namespace

uint64_t TransferWorker::start(Job job) {
    return worker_.start([job = std::move(job)](WorkerRun<State>& run) {
        using clock = std::chrono::steady_clock;
        const auto started = clock::now();
        auto last_notice = started;
        State state = run.fresh();
        auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - started).count(); };
        auto report = [&] {
            const auto now = clock::now();
            if (now - last_notice < notice_interval) return;
            last_notice = now;
            state.seconds = elapsed();
            run.publish(state);
        };

        auto text = std::make_shared<std::string>();
        if (job.kind == Job::Kind::Save) {
            state.outcome = save_range(job.path, job.first, job.length, job.target, job.replace, run.cancel_flag(),
                                       [&](uint64_t done) {
                                           state.done = done;
                                           report();
                                       },
                                       job.shown);
        } else {
            state.outcome = copy(job, run.cancel_flag(), *text, state.done, report);
            if (state.outcome.kind != TransferOutcome::Kind::Done) {
                text->clear();
                text->shrink_to_fit();
            }
        }
        state.running = false;
        state.seconds = elapsed();
        state.text = std::move(text);
        run.publish(state);
    });
}

std::string TransferWorker::take_text() {
    const State state = worker_.snapshot();
    return state.text ? std::move(*state.text) : std::string();
}
