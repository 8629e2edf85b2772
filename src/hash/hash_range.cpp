#include "hash/hash_range.h"

#include "base/file_descriptor.h"
#include "find/find_state.h"
#include "hash/digest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Large enough that a read costs little beside the hash, small enough to
// stay in the processor's cache between the read and the hash.
const uint64_t block_bytes = uint64_t{64} << 10;
const uint64_t sector = 512;

// A hole's bytes, fed to the hash without a read; never written.
uint8_t zero_block[block_bytes];


HashOutcome failed(std::string why) { return {HashOutcome::Kind::Failed, "", std::move(why)}; }

const char* const ended = "the file ended before the selection did";

// A read at `position` failed: finds the first sector that cannot be read, for the message.
HashOutcome unreadable(int fd, uint64_t position, uint64_t end, uint8_t* block, int error) {
    while (position < end) {
        const uint64_t step = std::min(end - position, sector - position % sector);
        const ssize_t n = ::pread(fd, block, step, off_t(position));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) return failed(ended);
        position += uint64_t(n);
    }
    return failed("cannot read at " + hex_offset(position) + ": " + std::strerror(error));
}

}  // namespace

HashOutcome hash_range(const std::string& path, HashKind kind, uint64_t first, uint64_t length,
                       const std::atomic<bool>& cancel, const HashProgress& progress) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) return failed(std::string("the file cannot be opened: ") + std::strerror(errno));
    const int fd = file.get();
    const uint64_t end = first + length;
    // A hole past the end of a file that shrank would read as zeros: the
    // size is checked before and after.
    const auto too_short = [fd, end] {
        struct stat info {};
        return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && uint64_t(info.st_size) < end;
    };
    if (too_short()) return failed(ended);
    ::posix_fadvise(fd, off_t(first), off_t(length), POSIX_FADV_SEQUENTIAL);
    Digest digest(kind);
    const auto block = std::make_unique<uint8_t[]>(block_bytes);
    bool sparse = true;  // the file tells its holes
    uint64_t position = first;
    while (position < end) {
        uint64_t data = position, hole = end;
        if (sparse) {
            const off_t found = ::lseek(fd, off_t(position), SEEK_DATA);
            if (found >= 0) {
                data = std::min(end, uint64_t(found));
                const off_t next_hole = ::lseek(fd, off_t(data), SEEK_HOLE);
                hole = next_hole < 0 ? end : std::clamp(uint64_t(next_hole), data, end);
            } else if (errno == ENXIO) {
                data = hole = end;  // holes to the end
            } else if (errno == EINVAL || errno == EOPNOTSUPP) {
                sparse = false;
            } else {
                return failed(std::strerror(errno));
            }
        }
        while (position < data) {
            if (cancel.load(std::memory_order_relaxed)) return {HashOutcome::Kind::Cancelled, "", ""};
            const uint64_t step = std::min(data - position, block_bytes);
            digest.update(zero_block, step);
            position += step;
            progress(position - first);
        }
        while (position < hole) {
            if (cancel.load(std::memory_order_relaxed)) return {HashOutcome::Kind::Cancelled, "", ""};
            const ssize_t n = ::pread(fd, block.get(), std::min(hole - position, block_bytes), off_t(position));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return unreadable(fd, position, hole, block.get(), errno);
            if (n == 0) return failed(ended);
            digest.update(block.get(), size_t(n));
            position += uint64_t(n);
            progress(position - first);
        }
    }
    if (too_short()) return failed(ended);
    return {HashOutcome::Kind::Done, digest.finish(), ""};
}
