#include "stdin/stdin_reader.h"

#include "stdin/spool_file.h"
#include "transfer/transfer_format.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

// At most this much is moved at once, and held in memory where it must be
// read and written.
const size_t block_bytes = size_t{1} << 20;
// As the file watcher's notices: one a frame interval at most.
const std::chrono::microseconds notice_interval{16667};

}  // namespace

Uint32 StdinReader::event_type() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

void StdinReader::open(int input) {
    input_ = input;
    struct stat info {};
    if (::fstat(input, &info) != 0) {
        throw std::runtime_error(std::string("failed to open input file! ") + std::strerror(errno));
    }
    if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)) {
        // Bytes at positions already: shown as they are.
        path_ = descriptor_path(input);
        ended_ = true;
        return;
    }
    spool_ = make_spool_file();
    stop_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (spool_ < 0 || stop_fd_ < 0) {
        throw std::runtime_error(std::string("failed to keep standard input! ") + std::strerror(errno));
    }
    path_ = descriptor_path(spool_);
    // A larger pipe lets the writer run further ahead between copies.
    if (S_ISFIFO(info.st_mode)) ::fcntl(input, F_SETPIPE_SZ, int(block_bytes));
}

void StdinReader::start() {
    if (spool_ >= 0 && !thread_.joinable() && !ended_) {
        event_type();  // registered here, on the main thread
        thread_ = std::thread(&StdinReader::run, this);
    }
}

void StdinReader::stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        (void)!::write(stop_fd_, &one, sizeof one);
        thread_.join();
    }
}

StdinReader::~StdinReader() {
    stop();
    for (int fd : {spool_, stop_fd_}) {
        if (fd >= 0) ::close(fd);
    }
}

void StdinReader::notify() {
    pending_.store(true);
    SDL_Event event{};
    event.type = event_type();
    if (SDL_PushEvent(&event) != 1) pending_.store(false);  // a full queue: the next block tries again
}

bool StdinReader::copy_some() {
    const uint64_t at = copied_.load();
    if (splice_) {
        loff_t out = loff_t(at);
        const ssize_t n = ::splice(input_, nullptr, spool_, &out, block_bytes, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n > 0) {
            copied_.store(at + uint64_t(n));
            return true;
        }
        if (n == 0) return false;
        if (errno == EAGAIN || errno == EINTR) return true;
        if (errno != EINVAL) {
            error_.store(errno);
            return false;
        }
        splice_ = false;  // not a pipe, or a filesystem without it
    }
    static thread_local std::unique_ptr<uint8_t[]> block;
    if (!block) block = std::make_unique<uint8_t[]>(block_bytes);
    const ssize_t n = ::read(input_, block.get(), block_bytes);
    if (n == 0) return false;
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return true;
        error_.store(errno);
        return false;
    }
    for (ssize_t written = 0; written < n;) {
        const ssize_t w = ::pwrite(spool_, block.get() + written, size_t(n - written), off_t(at + uint64_t(written)));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            error_.store(w < 0 ? errno : ENOSPC);
            copied_.store(at + uint64_t(written));
            return false;
        }
        written += w;
    }
    copied_.store(at + uint64_t(n));
    return true;
}

void StdinReader::run() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last_notice;
    bool owed = false;  // copied since the last notice, and not yet told
    pollfd fds[2] = {{input_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    for (;;) {
        int timeout_ms = -1;
        if (owed) {
            const auto left = last_notice + notice_interval - Clock::now();
            timeout_ms = int(std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        fds[0].revents = fds[1].revents = 0;
        if (::poll(fds, 2, timeout_ms) < 0 && errno != EINTR) {
            error_.store(errno);
            break;
        }
        if (fds[1].revents) return;
        if (fds[0].revents) {
            if (!copy_some()) break;
            owed = true;
        }
        if (!owed) continue;
        if (pending_.load()) {
            owed = false;  // covered: the main thread looks after taking it
        } else if (Clock::now() >= last_notice + notice_interval) {
            owed = false;
            last_notice = Clock::now();
            notify();
        }
    }
    // The end is always told; a notice not yet taken covers it.
    ended_.store(true);
    if (!pending_.load()) notify();
}

std::string standard_input_text(uint64_t copied, bool ended, int error) {
    if (error != 0) return "standard input, cut at " + size_text(copied) + ": " + std::strerror(error);
    return ended ? "standard input" : "standard input, " + size_text(copied) + " so far";
}
