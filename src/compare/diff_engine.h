#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Two files compared byte for byte at equal offsets with a shift: byte x of
// A is compared with byte x + shift of B. Offsets are A's, from 0 to the
// pair's span, the longer of A and B less the shift. A byte that only one
// file has differs; where neither has one, nothing differs.

// The pair's span: max(size_a, size_b - shift), never below 0.
uint64_t pair_span(uint64_t size_a, uint64_t size_b, int64_t shift);

// A run of differing bytes: a maximal stretch [first, first + length).
struct DiffRun {
    uint64_t first = 0;
    uint64_t length = 0;
};

// Differing bytes and runs counted over consecutive stretches.
struct DiffCount {
    uint64_t bytes = 0;
    uint64_t runs = 0;
    bool last_differs = false;  // the last byte counted differs: a run there goes on
};

struct DiffProgress {
    uint64_t position = 0;  // the offset reached
    uint64_t span = 0;
};

struct DiffOutcome {
    enum class Kind { Found, NotFound, Cancelled, Failed };
    Kind kind = Kind::NotFound;
    DiffRun run;
    std::string error;
    uint64_t unreadable[2] = {0, 0};  // NotFound: bytes of A, of B that could not be read
};

// Reads two open files in blocks of a bounded size and compares them with
// vector instructions. A read that fails is retried in sector-sized steps
// around the failure; a byte that could not be read in either file is
// neither equal nor different (it ends a run) and is counted. Where the blocks are in the page cache they are
// compared in place through one mapping (a file shrinking under it is
// caught, and the block read instead); elsewhere they are read. Stretches
// that are holes in both files are skipped without reading them. Memory is
// at most two blocks mapped and two read, whatever the files' sizes.
class PairScan {
public:
    PairScan(int fd_a, int fd_b, int64_t shift, const std::atomic<bool>& cancel,
             size_t block_bytes = size_t{2} << 20);
    ~PairScan();
    PairScan(const PairScan&) = delete;
    PairScan& operator=(const PairScan&) = delete;

    // Measures both files; false when either cannot be.
    bool measure();
    uint64_t size_a() const { return size_a_; }
    uint64_t size_b() const { return size_b_; }
    uint64_t span() const { return pair_span(size_a_, size_b_, shift_); }

    // The first byte in [from, to) whose `differs` is `want`, or `to` when
    // there is none. Stops early, returning `to`, when cancelled or failed.
    uint64_t first_where(uint64_t from, uint64_t to, bool want);
    // The last byte in [from, to) whose `differs` is `want`, or `to` when
    // there is none (the same early stop).
    uint64_t last_where(uint64_t from, uint64_t to, bool want);
    // Whether [from, to) is a hole in both files (and so the same).
    bool holes_in_both(uint64_t from, uint64_t to);
    // Adds the differing bytes of [from, to) and the runs that start there
    // to `count`, which ends where the stretch counted before ended. False
    // when cancelled or a read failed.
    bool count(uint64_t from, uint64_t to, DiffCount& count);

    // Bytes of A (0) or B (1) that could not be read so far.
    uint64_t unreadable(int file) const { return unreadable_[file]; }
    void set_unreadable(int file, uint64_t count) { unreadable_[file] = count; }

    bool cancelled() const { return cancel_.load(std::memory_order_relaxed); }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    // Called with the position reached, once per block.
    std::function<void(uint64_t)> on_block;

private:
    struct Stretch {
        uint64_t first, end;
        int kind;  // 0: neither file has these bytes, 1: only one has, 2: both
    };
    int stretches(Stretch out[5]) const;
    // The common stretch [from, to), both files' bytes compared.
    uint64_t scan_forward(uint64_t from, uint64_t to, bool want);
    uint64_t scan_backward(uint64_t from, uint64_t to, bool want);
    // Whether either file has data in [from, to) of A's offsets.
    bool data_in_either(uint64_t from, uint64_t to);
    // The start of the next data of either file at or after `at`, or `to`.
    uint64_t next_data(uint64_t at, uint64_t to);
    // The index in [from, to) of the first (or last) byte whose `differs`
    // is `want`, or to - from when there is none or a read failed.
    size_t block_match(uint64_t from, uint64_t to, bool want, bool backward);
    // Calls `use` with both files' bytes [from, to); false when a read failed.
    bool with_block(uint64_t from, uint64_t to, const std::function<void(const uint8_t*, const uint8_t*)>& use);
    // Reads `length` bytes of file `f`; bytes it cannot read are marked in
    // bad_[f]. False when the file ended first.
    bool read_into(int f, uint64_t position, size_t length, uint8_t* buffer);
    void unmap();

    int fd_[2];
    int64_t shift_;
    const std::atomic<bool>& cancel_;
    size_t block_;
    uint64_t size_a_ = 0, size_b_ = 0;
    bool sparse_[2] = {true, true};
    // A file's data extent last found by lseek, in its own offsets: from
    // `looked_from` to `first` a hole, then data to `end`.
    struct Extent {
        uint64_t looked_from = 0, first = 0, end = 0;
    };
    Extent extent_[2];
    bool mappable_ = true;
    void* map_ = nullptr;  // one area holding both files' blocks
    size_t map_length_ = 0;
    uint8_t* buffer_[2] = {nullptr, nullptr};
    std::vector<uint8_t> bad_[2];  // per byte of the block read, once a read failed
    bool block_bad_[2] = {false, false};
    uint64_t unreadable_[2] = {0, 0};
    std::string error_;
};

// The run a `]` or `[` finds: forward, the first differing bytes at or
// after `from` up to the next byte that is the same; backward, the last
// differing bytes before `from`, back to the byte after the previous one
// that is the same. A run that goes on past `from` is cut there.
DiffOutcome find_difference(PairScan& scan, uint64_t from, bool backward);

// Byte-wise comparison helpers over memory, exposed for tests: the index
// of the first (last) byte where a and b are equal (want_equal) or differ,
// or n when there is none.
size_t first_match(const uint8_t* a, const uint8_t* b, size_t n, bool want_equal);
size_t last_match(const uint8_t* a, const uint8_t* b, size_t n, bool want_equal);
void count_differences(const uint8_t* a, const uint8_t* b, size_t n, DiffCount& count);
