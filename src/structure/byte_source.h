#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The one way the structure engine reads a file: pread at 64-bit offsets,
// each checked against the file's size first, through a small cache of
// blocks so that neighbouring small fields cost one read. Counts its reads.
class ByteSource {
public:
    // Opens `path` read-only; throws std::runtime_error if it cannot.
    explicit ByteSource(const std::string& path);
    // Bytes held in memory (a decoded stream, or a test's data).
    explicit ByteSource(std::vector<uint8_t> data);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    uint64_t size() const { return size_; }
    // Copies [offset, offset + n) into out; false if any of it is past the
    // end or cannot be read (then out is left unspecified).
    bool read(uint64_t offset, uint64_t n, uint8_t* out);
    // How many preads reached the file so far.
    uint64_t reads() const { return reads_; }
    // Whole-file bytes for a decoded stream, else null.
    const std::vector<uint8_t>* memory() const { return memory_ ? &data_ : nullptr; }

private:
    static constexpr uint64_t block_size = 4096;
    static constexpr int cached_blocks = 8;
    struct Block {
        uint64_t index = UINT64_MAX;
        uint64_t used = 0;
        size_t length = 0;
        uint8_t bytes[block_size];
    };
    const Block* block(uint64_t index);

    int fd_ = -1;
    bool memory_ = false;
    std::vector<uint8_t> data_;
    uint64_t size_ = 0;
    uint64_t reads_ = 0, clock_ = 0;
    std::unique_ptr<Block[]> blocks_;
};

// A stream of the description: a view of [base, base + size) of a source.
// Substreams are views on the same source; only a processed field makes a
// source of its own, named by that field's path.
struct Stream {
    std::shared_ptr<ByteSource> source;
    uint64_t base = 0, size = 0;
    std::string name;  // "" for the file itself; else the processed field's path

    bool read(uint64_t pos, uint64_t n, uint8_t* out) const {
        if (pos > size || n > size - pos) return false;
        return source->read(base + pos, n, out);
    }
};
using StreamPtr = std::shared_ptr<const Stream>;
