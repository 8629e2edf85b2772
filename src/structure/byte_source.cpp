#include "structure/byte_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

ByteSource::ByteSource(const std::string& path) : blocks_(new Block[cached_blocks]) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        throw std::runtime_error(path + ": " + std::strerror(errno));
    }
    if (S_ISBLK(st.st_mode)) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
    } else {
        size_ = static_cast<uint64_t>(st.st_size);
    }
}

ByteSource::ByteSource(std::vector<uint8_t> data) : memory_(true), data_(std::move(data)), size_(data_.size()) {}

ByteSource::~ByteSource() {
    if (fd_ >= 0) ::close(fd_);
}

const ByteSource::Block* ByteSource::block(uint64_t index) {
    Block* victim = &blocks_[0];
    for (int i = 0; i < cached_blocks; i++) {
        Block& b = blocks_[i];
        if (b.index == index) {
            b.used = ++clock_;
            return &b;
        }
        if (b.used < victim->used) victim = &b;
    }
    const uint64_t offset = index * block_size;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(block_size, size_ - offset));
    size_t got = 0;
    while (got < want) {
        reads_++;
        const ssize_t r = ::pread(fd_, victim->bytes + got, want - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return nullptr;
        got += static_cast<size_t>(r);
    }
    victim->index = index;
    victim->length = got;
    victim->used = ++clock_;
    return victim;
}

bool ByteSource::read(uint64_t offset, uint64_t n, uint8_t* out) {
    if (offset > size_ || n > size_ - offset) return false;
    if (memory_) {
        if (n) std::memcpy(out, data_.data() + offset, static_cast<size_t>(n));
        return true;
    }
    // Large reads go straight to the file; small ones through the blocks.
    if (n > 2 * block_size) {
        uint64_t done = 0;
        while (done < n) {
            reads_++;
            const ssize_t r = ::pread(fd_, out + done, static_cast<size_t>(n - done), static_cast<off_t>(offset + done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            done += static_cast<uint64_t>(r);
        }
        return true;
    }
    while (n > 0) {
        const Block* b = block(offset / block_size);
        const uint64_t in = offset % block_size;
        if (!b || in >= b->length) return false;
        const uint64_t take = std::min<uint64_t>(n, b->length - in);
        std::memcpy(out, b->bytes + in, static_cast<size_t>(take));
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}
