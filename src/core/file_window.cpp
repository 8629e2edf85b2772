#include "core/application.h"

#include "core/page_rules.h"
#include "select/select_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The view block carries sizes and offsets in 48 bits.
const uint64_t largest_file = uint64_t{1} << 48;

[[noreturn]] void fail_to_open() { throw std::runtime_error("failed to open input file!"); }

// The file's length in bytes, for the kinds of file a hex viewer can show.
uint64_t measure(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        fail_to_open();
    }
    if (S_ISREG(info.st_mode)) {
        return uint64_t(info.st_size);
    }
    if (S_ISBLK(info.st_mode)) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        return end > 0 ? uint64_t(end) : 0;
    }
    if (S_ISCHR(info.st_mode)) {
        return 0;  // a device such as /dev/null has no length: shown as empty
    }
    fail_to_open();  // a directory, pipe or socket has no bytes at positions
}

}  // namespace

int64_t Application::load_chunk(const char* path, uint64_t position, uint64_t length, uint8_t* buffer) {
    ++file_reads;
    // Non-blocking, so that a FIFO nobody writes to cannot hang the open;
    // measure() then rejects it.
    const FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        fail_to_open();
    }
    file_size = measure(file.get());
    if (file_size > largest_file) {
        throw std::runtime_error("failed to show input file: it is larger than 256 TiB!");
    }
    if (position >= file_size) {
        return 0;
    }
    if (length > file_size - position) {
        length = file_size - position;
    }
    uint64_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(file.get(), buffer + done, length - done, off_t(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // an unreadable stretch stays zero, like the bytes past the end
        }
        done += uint64_t(got);
    }
    return int64_t(done);
}

void Application::clamp_view_and_check_window() {
    offset = clamp_to_file(offset, file_size);
    if (const auto base = next_window_base(uint64_t(offset), chunk_offset, chunk_capacity, file_size)) {
        chunk_offset = *base;
        chunk.clear();
    }
}

void Application::load_file_window() {
    if (!chunk.empty()) {
        return;
    }
    chunk.assign(chunk_capacity, 0);
    const uint64_t known_size = file_size;
    load_chunk(fname, chunk_offset, chunk_capacity, chunk.data());
    // This frame was described with the old size: draw once more with the new one.
    if (file_size != known_size) {
        file_size_changed = true;
        selection = cut_to_size(selection, file_size);
    }
}
