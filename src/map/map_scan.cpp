#include "map/map_scan.h"

#include "map/map_slices.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

struct Slice {
    uint64_t data_first = UINT64_MAX;  // the stored bytes lie in [data_first, data_end)
    uint64_t data_end = 0;
    bool whole = false;                // read to the last byte

    bool has_data() const { return data_end > data_first; }
};

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

class Scan {
public:
    Scan(int fd, uint64_t size, int length, const std::atomic<bool>& cancel, const std::function<void()>& wait_turn,
         const MapLimits& limits)
        : fd_(fd), size_(size), length_(length), cancel_(cancel), wait_turn_(wait_turn), limits_(limits),
          slices_(size_t(length)), histograms_(size_t(length)) {}

    // Fills the slices' stored ranges; returns whether the file has holes.
    bool find_data();
    // One pass of `n` samples per slice (the even ones were read before);
    // returns whether a slice is left to read.
    bool sample_pass(uint64_t n);
    void classify_into(MapProgress& progress) const;
    bool stopped() const { return budget_spent_ || cut_short_ || cancel_; }

private:
    void mark(uint64_t first, uint64_t end);
    // Sample j of n in a slice: j * span / n, split so as not to overflow
    // (n stays far below 2^32: the budget ends the passes first).
    static uint64_t sample_at(const Slice& slice, uint64_t j, uint64_t n) {
        const uint64_t span = slice.data_end - slice.data_first;
        return slice.data_first + span / n * j + span % n * j / n;
    }
    bool locate_sample(size_t i, uint64_t at, uint64_t& first, uint64_t& last) const;
    void read_whole(size_t i, uint64_t m);
    bool read_range(size_t i, uint64_t at, uint64_t end);
    // Reads [first, end) into slice i's counts; false when the read was cut short.
    bool read_into(size_t i, uint64_t first, uint64_t end);
    bool affordable(uint64_t bytes) {
        if (bytes_read_ + pending_bytes_ + bytes > limits_.budget) budget_spent_ = true;
        return !stopped();
    }
    // A sample in the page cache is read at once; the others are read in
    // batches announced to the kernel first, so that a cold disk works on
    // many of them at once.
    void queue(size_t i, uint64_t first, uint64_t last);
    bool read_if_cached(size_t i, uint64_t first, uint64_t last);
    uint8_t* buffer();
    void flush();

    struct Pending {
        size_t slice;
        uint64_t first, last;
    };

    int fd_;
    uint64_t size_;
    int length_;
    const std::atomic<bool>& cancel_;
    const std::function<void()>& wait_turn_;
    MapLimits limits_;
    std::vector<Slice> slices_;
    std::vector<ByteHistogram> histograms_;
    std::unique_ptr<uint8_t, FreeDeleter> buffer_;
    std::vector<Pending> pending_;
    uint64_t pending_bytes_ = 0;
    bool sparse_ = false;
    bool budget_spent_ = false;
    bool cut_short_ = false;  // a read came back short: the file shrank
    bool nowait_ = true;      // the kernel takes reads that must not wait
    uint64_t bytes_read_ = 0;
};

uint64_t align_up(uint64_t x, uint64_t a) { return (x + a - 1) / a * a; }

void Scan::mark(uint64_t first, uint64_t end) {
    const int from = first_slice_with(first, size_, length_);
    const int to = last_slice_with(end - 1, size_, length_);
    for (int i = from; i <= to; ++i) {
        Slice& slice = slices_[size_t(i)];
        slice.data_first = std::min(slice.data_first, std::max(first, slice_first(i, size_, length_)));
        slice.data_end = std::max(slice.data_end, std::min(end, slice_end(i, size_, length_)));
    }
}

bool Scan::find_data() {
    uint64_t at = 0;
    bool holes = false;
    while (at < size_ && !cancel_) {
        const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
        uint64_t first = at;
        uint64_t end = size_;
        if (data >= 0) {
            first = uint64_t(data);
            if (first >= size_) break;
            const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
            if (hole >= 0) end = std::min(size_, uint64_t(hole));
        } else if (errno == ENXIO) {
            break;  // a hole to the end
        }           // else no hole support: all of it is data
        if (end <= first) break;
        holes = holes || first > at;
        mark(first, end);
        at = end;
    }
    sparse_ = holes || at < size_;
    return sparse_;
}

uint8_t* Scan::buffer() {
    if (!buffer_) {
        buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(4096, limits_.buffer)));
    }
    return buffer_.get();
}

bool Scan::read_into(size_t i, uint64_t first, uint64_t end) {
    buffer();
    while (first < end && !cancel_) {
        wait_turn_();
        // Pieces end on buffer-size boundaries, so long reads stay aligned.
        const uint64_t piece = std::min(end, (first / limits_.buffer + 1) * limits_.buffer) - first;
        const ssize_t got = ::pread(fd_, buffer_.get(), size_t(piece), off_t(first));
        if (got <= 0) {
            cut_short_ = true;
            return false;
        }
        histograms_[i].add(buffer_.get(), size_t(got));
        bytes_read_ += uint64_t(got);
        first += uint64_t(got);
    }
    return !cancel_;
}

bool Scan::read_range(size_t i, uint64_t at, uint64_t end) {
    while (at < end && !stopped()) {
        uint64_t piece_end = end;
        if (sparse_) {
            const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
            if (data < 0 || uint64_t(data) >= end) break;
            at = uint64_t(data);
            const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
            if (hole >= 0) piece_end = std::min(end, uint64_t(hole));
        }
        if (!read_into(i, at, piece_end)) return false;
        at = piece_end;
    }
    return !stopped();
}

// The rest of a slice around the `m` samples read before, so that each
// stored byte is counted once.
void Scan::read_whole(size_t i, uint64_t m) {
    const Slice& slice = slices_[i];
    const uint64_t span = slice.data_end - slice.data_first;
    if (!affordable(span - std::min(span, histograms_[i].total))) return;
    uint64_t cursor = slice.data_first;
    for (uint64_t j = 0; j < m; ++j) {
        uint64_t first, last;
        if (!locate_sample(i, sample_at(slice, j, m), first, last)) continue;
        if (first > cursor && !read_range(i, cursor, first)) return;
        cursor = std::max(cursor, last);
    }
    if (read_range(i, cursor, slice.data_end)) slices_[i].whole = true;
}

bool Scan::locate_sample(size_t i, uint64_t at, uint64_t& first, uint64_t& last) const {
    const Slice& slice = slices_[i];
    uint64_t end = slice.data_end;
    if (sparse_) {
        const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
        if (data < 0 || uint64_t(data) >= slice.data_end) return false;
        at = uint64_t(data);
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        if (hole >= 0) end = std::min(end, uint64_t(hole));
    }
    // A whole aligned block where one fits, else what is left before the end.
    first = align_up(at, limits_.block);
    if (first >= end) first = at;
    last = std::min(end, first + limits_.block);
    return true;
}

bool Scan::read_if_cached(size_t i, uint64_t first, uint64_t last) {
    if (!nowait_) return false;
    wait_turn_();
    iovec piece{buffer(), size_t(last - first)};
    const ssize_t got = ::preadv2(fd_, &piece, 1, off_t(first), RWF_NOWAIT);
    if (got < 0 && errno != EAGAIN) nowait_ = false;
    if (got != ssize_t(last - first)) return false;
    histograms_[i].add(buffer(), size_t(got));
    bytes_read_ += uint64_t(got);
    return true;
}

void Scan::queue(size_t i, uint64_t first, uint64_t last) {
    if (!affordable(last - first) || read_if_cached(i, first, last)) return;
    pending_.push_back({i, first, last});
    pending_bytes_ += last - first;
    if (pending_.size() == 64) flush();
}

void Scan::flush() {
    for (const Pending& p : pending_) {
        ::posix_fadvise(fd_, off_t(p.first), off_t(p.last - p.first), POSIX_FADV_WILLNEED);
    }
    for (const Pending& p : pending_) {
        if (cut_short_ || !read_into(p.slice, p.first, p.last)) break;
    }
    pending_.clear();
    pending_bytes_ = 0;
}

bool Scan::sample_pass(uint64_t n) {
    bool left = false;
    for (size_t i = 0; i < slices_.size() && !stopped(); ++i) {
        const Slice& slice = slices_[i];
        if (!slice.has_data() || slice.whole) continue;
        const uint64_t span = slice.data_end - slice.data_first;
        if (span <= n * limits_.block) {
            read_whole(i, n / 2);
            continue;
        }
        left = true;
        // The samples of the passes before are the even ones of this pass.
        for (uint64_t j = n == 1 ? 0 : 1; j < n && !stopped(); j += 2) {
            uint64_t first, last;
            if (locate_sample(i, sample_at(slice, j, n), first, last)) queue(i, first, last);
        }
    }
    flush();
    return left && !stopped();
}

void Scan::classify_into(MapProgress& progress) const {
    for (size_t i = 0; i < slices_.size(); ++i) {
        if (!slices_[i].has_data()) continue;
        // Stored bytes not sampled yet show as binary until a pass reaches them.
        progress.classes[i] = uint8_t(histograms_[i].total ? classify(histograms_[i]) : SliceClass::Binary);
    }
    progress.bytes_read = bytes_read_;
}

}  // namespace

void run_map(int fd, uint64_t size, int length, const std::atomic<bool>& cancel,
             const std::function<void()>& wait_turn, const std::function<void(const MapProgress&)>& report,
             const MapLimits& limits) {
    MapProgress progress;
    progress.classes.assign(size_t(std::max(length, 0)), uint8_t(SliceClass::Hole));
    if (size == 0 || length <= 0) {
        progress.complete = true;
        report(progress);
        return;
    }
    Scan scan(fd, size, length, cancel, wait_turn, limits);
    if (scan.find_data()) {
        scan.classify_into(progress);
        if (cancel) return;
        report(progress);
    }
    // Samples lie far apart: the kernel's read-ahead would fetch many
    // times the bytes that are counted.
    if (size > limits.budget) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    }
    for (uint64_t n = 1;; n *= 2) {
        const bool left = scan.sample_pass(n);
        if (cancel) return;
        scan.classify_into(progress);
        ++progress.passes;
        progress.complete = !left;
        report(progress);
        if (progress.complete) return;
    }
}
