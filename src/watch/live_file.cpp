#include "watch/live_file.h"

#include "base/file_descriptor.h"
#include "core/page_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The view block carries sizes and offsets in 48 bits: a size of 2^48 is not one.
const uint64_t largest_file = (uint64_t{1} << 48) - 1;


// The file's length in bytes, for the kinds of file a hex viewer can show.
void measure(int fd, FileRead& read) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        read.failure = FileRead::Failure::Open;
        read.error = errno;
    } else if (S_ISREG(info.st_mode)) {
        read.size = uint64_t(info.st_size);
    } else if (S_ISBLK(info.st_mode)) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        read.size = end > 0 ? uint64_t(end) : 0;
    } else if (S_ISCHR(info.st_mode)) {
        read.size = 0;  // a device such as /dev/null has no length: shown as empty
        read.character_device = true;
    } else {
        // A directory, pipe or socket has no bytes at positions.
        read.failure = FileRead::Failure::NotAFile;
        read.error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
}

}  // namespace

FileRead read_file_at(const char* path, uint64_t position, uint64_t length, uint8_t* buffer,
                      uint8_t* unreadable_bits) {
    FileRead read;
    // Non-blocking, so that a FIFO nobody writes to cannot hang the open;
    // measure() then rejects it.
    const FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        read.failure = FileRead::Failure::Open;
        read.error = errno;
        return read;
    }
    measure(file.get(), read);
    if (read.failure == FileRead::Failure::None && read.size > largest_file) {
        read.failure = FileRead::Failure::TooLarge;
        read.error = EFBIG;
    }
    if (read.failure != FileRead::Failure::None || position >= read.size) {
        return read;
    }
    if (length > read.size - position) {
        length = read.size - position;
    }
    bool stepping = false;  // a read failed: on in sector-sized steps
    while (read.done < length) {
        const uint64_t at = position + read.done;
        const uint64_t step = stepping ? std::min(length - read.done, read_sector - at % read_sector) : length - read.done;
        const ssize_t got = ::pread(file.get(), buffer + read.done, step, off_t(at));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0) {
            // The file ended before the size measured: it shrank, to here
            // or, as it says now, below.
            struct stat now {};
            read.size = ::fstat(file.get(), &now) == 0 && uint64_t(now.st_size) < at ? uint64_t(now.st_size) : at;
            break;
        }
        if (got > 0) {
            read.done += uint64_t(got);
            continue;
        }
        if (!stepping) {
            stepping = true;  // the first failure may lie anywhere in the request: try again in steps
            continue;
        }
        // This step cannot be read: its bytes stay zero and are marked.
        if (read.unreadable == 0) {
            read.first_unreadable = at;
            read.read_error = errno;
        }
        read.unreadable += step;
        std::memset(buffer + read.done, 0, step);
        if (unreadable_bits) {
            for (uint64_t i = read.done; i < read.done + step; ++i) {
                unreadable_bits[i / 8] |= uint8_t(1u << (i % 8));
            }
        }
        read.done += step;
    }
    return read;
}

bool readable_length(int fd, uint64_t& length) {
    FileRead read;
    measure(fd, read);
    if (read.failure != FileRead::Failure::None) return false;
    length = read.size;
    struct stat info {};
    if (length == 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return true;
    uint8_t last = 0;
    ssize_t got;
    do {
        got = ::pread(fd, &last, 1, off_t(length - 1));
    } while (got < 0 && errno == EINTR);
    if (got != 0) return true;  // the last byte is there (or unreadable, but there)
    // Shorter than it says: such files are small, and read whole.
    uint8_t buffer[4096];
    uint64_t at = 0;
    while (at < length) {
        got = ::pread(fd, buffer, size_t(std::min<uint64_t>(sizeof buffer, length - at)), off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        at += uint64_t(got);
    }
    length = at;
    return true;
}

std::string unreadable_text(uint64_t count, uint64_t first, int error) {
    char text[48];
    std::snprintf(text, sizeof text, "cannot read %llx bytes at %llx: ", static_cast<unsigned long long>(count),
                  static_cast<unsigned long long>(first));
    return text + std::string(std::strerror(error));
}

std::string LiveFile::line() const {
    if (error == 0) {
        return unreadable_count == 0 ? "" : unreadable_text(unreadable_count, unreadable_first, unreadable_error);
    }
    if (error == ENOENT) {
        return "file removed";
    }
    return std::string("cannot read: ") + std::strerror(error);
}

bool shows_last_page(int64_t offset, uint64_t size, int rows) {
    return offset >= end_target(size, rows) || size <= uint64_t(offset) + uint64_t(page_bytes_for(rows));
}

int64_t follow_end(int64_t offset, uint64_t old_size, uint64_t new_size, int rows) {
    if (new_size > old_size && shows_last_page(offset, old_size, rows)) {
        const int64_t target = end_target(new_size, rows);
        return target > offset ? target : offset;
    }
    return offset;
}
