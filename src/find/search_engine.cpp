#include "find/search_engine.h"

#include "base/mapped_read_guard.h"
#include "base/sector_read.h"
#include "find/byte_filter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const uint64_t page_size = uint64_t(::sysconf(_SC_PAGESIZE));
// Whole pages, which mappings need, and whole logical blocks, for block devices.
const uint64_t alignment = std::max<uint64_t>(4096, page_size);

uint8_t fold(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

// Finds the pattern in memory: the byte filter on its longest run of literal bytes,
// then a check of the rest; case-insensitive patterns are matched against a
// folded copy of the data.
class Matcher {
public:
    explicit Matcher(const SearchPattern& pattern) : pattern_(pattern), bytes_(pattern.bytes) {
        if (pattern.ignore_case) {
            std::transform(bytes_.begin(), bytes_.end(), bytes_.begin(), fold);
        }
        size_t run = 0;
        for (size_t i = 0; i < bytes_.size(); ++i) {
            run = pattern.any[i] ? 0 : run + 1;
            if (run > anchor_length_) {
                anchor_length_ = run;
                anchor_at_ = i + 1 - run;
            }
        }
    }

    size_t length() const { return bytes_.size(); }
    bool needs_data() const {
        for (size_t i = 0; i < bytes_.size(); ++i) {
            if (!pattern_.any[i] && bytes_[i] != 0) return true;
        }
        return false;
    }

    // The first (or, backward, the last) match that starts in [first, last)
    // of `data`, which holds `size` bytes; -1 when there is none.
    int64_t find(const uint8_t* data, size_t size, size_t first, size_t last, bool backward) {
        if (pattern_.ignore_case) {
            folded_.resize(size);
            std::transform(data, data + size, folded_.begin(), fold);
            data = folded_.data();
        }
        int64_t found = -1;
        size_t at = first;
        while (at < last) {
            const int64_t start = next_candidate(data, size, at, last);
            if (start < 0) break;
            found = start;
            if (!backward) break;
            at = size_t(start) + 1;
        }
        return found;
    }

private:
    int64_t next_candidate(const uint8_t* data, size_t size, size_t at, size_t last) {
        const size_t n = bytes_.size();
        if (anchor_length_ == 0) {  // every byte is a wildcard
            return at + n <= size ? int64_t(at) : -1;
        }
        const uint8_t* anchor = bytes_.data() + anchor_at_;
        while (at < last) {
            const uint8_t* from = data + at + anchor_at_;
            const uint8_t* end = data + std::min(size, last + anchor_at_ + anchor_length_ - 1);
            if (from >= end) return -1;
            const uint8_t* hit = find_bytes(from, end, anchor, anchor_length_);
            if (!hit) return -1;
            const size_t start = size_t(hit - data) - anchor_at_;
            if (start + n <= size && rest_matches(data + start)) return int64_t(start);
            at = start + 1;
        }
        return -1;
    }

    bool rest_matches(const uint8_t* at) const {
        for (size_t i = 0; i < bytes_.size(); ++i) {
            if (!pattern_.any[i] && at[i] != bytes_[i]) return false;
        }
        return true;
    }

    const SearchPattern& pattern_;
    std::vector<uint8_t> bytes_;
    size_t anchor_at_ = 0;
    size_t anchor_length_ = 0;
    std::vector<uint8_t> folded_;
};

class Scan {
public:
    Scan(int fd, const SearchPattern& pattern, const std::atomic<bool>& cancel,
         const std::function<void(const SearchProgress&)>& progress, size_t block_bytes,
         std::chrono::milliseconds report_every)
        : fd_(fd), matcher_(pattern), cancel_(cancel), progress_(progress),
          block_(std::max<size_t>(block_bytes, alignment)), skip_holes_(matcher_.needs_data()),
          report_every_(report_every), last_report_(std::chrono::steady_clock::now()) {}

    uint64_t unreadable() const { return unreadable_; }

    SearchOutcome failed(const std::string& error) {
        SearchOutcome outcome;
        outcome.kind = SearchOutcome::Kind::Failed;
        outcome.error = error;
        return outcome;
    }

    bool measure(bool backward) {
        if (!current_size(size_)) return false;
        if (!backward) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        // A file without holes is searched without asking for them again.
        const off_t first_hole = ::lseek(fd_, 0, SEEK_HOLE);
        if (first_hole >= 0 && uint64_t(first_hole) >= size_) {
            skip_holes_ = false;
        }
        return true;
    }
    uint64_t size() const { return size_; }

    // The first match starting in [from, to), or the last one backward.
    // Returns -1 for none, -2 when cancelled, -3 on a read error.
    int64_t range(uint64_t from, uint64_t to, bool backward) {
        to = std::min(to, size_);
        if (backward && skip_holes_) return sparse_range_backward(from, to);
        while (from < (to = std::min(to, size_))) {  // the file may shrink on the way
            if (cancel_.load(std::memory_order_relaxed)) return -2;
            uint64_t first, last;
            if (!backward) {
                first = skip_hole_forward(from, to);
                if (first >= to) return -1;
                last = std::min(to, first + block_);
            } else {
                last = to;
                first = to - std::min<uint64_t>(block_, to - from);
            }
            const int64_t found = block(first, last, backward, backward ? first : last);
            if (found != -1) return found;
            if (backward) {
                to = first;
            } else {
                from = last;
            }
        }
        return -1;
    }

private:
    // Backward through a sparse file, a segment at a time: the runs of data
    // in a segment are listed forward with lseek, then searched from the
    // last, each with the n - 1 bytes before it where a match may start. A
    // segment without data doubles the next one, so a long hole costs a few
    // lseeks; one with more runs than the list holds is halved.
    int64_t sparse_range_backward(uint64_t from, uint64_t to) {
        const uint64_t n = matcher_.length();
        const size_t most_runs = 1024;
        const uint64_t usual_segment = block_ * 1024;
        uint64_t segment = usual_segment;
        std::vector<std::pair<uint64_t, uint64_t>> runs;  // [first, end) of data
        while (to > from) {
            if (cancel_.load(std::memory_order_relaxed)) return -2;
            const uint64_t segment_from = to - std::min(segment, to - from);
            report(segment_from);
            runs.clear();
            bool too_many = false;
            for (uint64_t at = segment_from; at < std::min(size_, to + n - 1) && !too_many;) {
                const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
                if (data < 0 && errno == ENXIO) break;
                const uint64_t first = data < 0 ? at : uint64_t(data);
                if (first >= to + n - 1) break;
                const off_t hole = data < 0 ? off_t(size_) : ::lseek(fd_, data, SEEK_HOLE);
                const uint64_t end = hole < 0 ? size_ : uint64_t(hole);
                too_many = runs.size() == most_runs;
                runs.emplace_back(first, end);
                at = end;
            }
            if (too_many && segment > block_) {
                segment /= 2;
                continue;
            }
            for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
                const uint64_t first = std::max(segment_from, run->first - std::min(run->first, n - 1));
                const uint64_t end = std::min(to, run->second);
                for (uint64_t last = end; last > first;) {
                    const uint64_t block_first = last - std::min<uint64_t>(block_, last - first);
                    const int64_t found = block(block_first, last, true, block_first);
                    if (found != -1) return found;
                    last = block_first;
                }
            }
            segment = runs.empty() ? segment * 2 : usual_segment;
            to = segment_from;
        }
        return -1;
    }

    // A match needs a byte that is not zero, so it ends inside data: it
    // starts at most n - 1 bytes before the next data.
    uint64_t skip_hole_forward(uint64_t from, uint64_t to) {
        if (!skip_holes_) return from;
        const uint64_t data = next_data(from);
        if (data == no_data) return to;
        const uint64_t earliest = data - std::min<uint64_t>(data, matcher_.length() - 1);
        return std::max(from, earliest);
    }

    // The first byte of data at or after `at`, or no_data. The extent of data
    // last found is remembered, so a dense file costs two lseeks in all.
    uint64_t next_data(uint64_t at) {
        if (at >= extent_first_ && at < extent_end_) return at;
        const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
        if (data < 0) {
            return errno == ENXIO ? no_data : at;  // no data after `at`, or no answer: read it all
        }
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        extent_first_ = uint64_t(data);
        extent_end_ = hole < 0 ? size_ : uint64_t(hole);
        return uint64_t(data);
    }

    bool current_size(uint64_t& size) const {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return false;
        size = S_ISBLK(info.st_mode) ? uint64_t(std::max<off_t>(::lseek(fd_, 0, SEEK_END), 0)) : uint64_t(info.st_size);
        return true;
    }

    // The search keeps to the size the file had when it began; a file that
    // shrinks is searched up to its new end.
    void shrank() {
        uint64_t now = 0;
        if (current_size(now)) size_ = std::min(size_, now);
    }

    // Matches starting in [first, last), with the n - 1 bytes after `last`
    // that they may need; progress is reported once the bytes are at hand.
    int64_t block(uint64_t first, uint64_t last, bool backward, uint64_t report_at) {
        const uint64_t read_from = first & ~(alignment - 1);
        const uint64_t wanted_end = std::min(size_, last + matcher_.length() - 1);
        const uint64_t read_end = std::min(size_, (wanted_end + alignment - 1) & ~(alignment - 1));
        bytes_done_ += last - first;
        if (read_end <= first) return -1;
        int64_t found = mappable_ ? mapped_block(read_from, read_end, first, last, backward, report_at) : unread;
        if (found == unread) found = read_block(read_from, read_end, first, last, backward, report_at);
        return found;
    }

    // The block scanned in place, through a mapping: no copy, and the page
    // faults map 16 pages each (populating the tables with madvise costs
    // more). Returns `unread` when the block must be read instead: the file
    // cannot be mapped, the block is not in the page cache (reads keep the
    // kernel's readahead further ahead of the scan than faults do), or the
    // file shrank under the mapping.
    int64_t mapped_block(uint64_t read_from, uint64_t read_end, uint64_t first, uint64_t last, bool backward,
                         uint64_t report_at) {
        const size_t length = size_t(read_end - read_from);
        void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, off_t(read_from));
        if (map == MAP_FAILED) {
            mappable_ = false;
            return unread;
        }
        if (!last_page_resident(map, length)) {
            ::munmap(map, length);
            return unread;
        }
        report(report_at);
        int64_t found;
        bool faulted;
        {
            MappedReadGuard guard(map, length);
            found = matcher_.find(static_cast<const uint8_t*>(map), length, size_t(first - read_from),
                                  size_t(std::min(last, read_end) - read_from), backward);
            faulted = guard.faulted();
        }
        ::munmap(map, length);
        if (found >= 0 && !faulted) {
            // The tail of a shrunken file's last page reads as zeros, without a fault.
            uint64_t now = 0;
            faulted = !current_size(now) || read_from + uint64_t(found) + matcher_.length() > now;
        }
        if (faulted) return unread;
        return found < 0 ? -1 : int64_t(read_from) + found;
    }

    int64_t read_block(uint64_t read_from, uint64_t read_end, uint64_t first, uint64_t last, bool backward,
                       uint64_t report_at) {
        report(report_at);
        const size_t length = size_t(read_end - read_from);
        if (length > buffer_size_) {
            // Aligned: the kernel's copy into a buffer that is not is several times slower on some processors.
            const size_t capacity = (length + alignment - 1) & ~(alignment - 1);
            buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(alignment, capacity)));
            buffer_size_ = buffer_ ? capacity : 0;
            if (!buffer_) return -3;
        }
        // A read that fails is tried again in sectors: the ones that cannot
        // be read split the block into runs of bytes that were, and a match
        // lies within one run. Unreadable bytes are counted where the
        // block's own matches start, so that no byte counts twice.
        const SectorRead read = read_around_bad_sectors(fd_, buffer_.get(), read_from, length, first, last, runs_);
        unreadable_ += read.unreadable;
        if (read.got < length) shrank();
        const size_t got = read.got;
        const size_t from = size_t(first - read_from);
        const size_t to = size_t(std::min<uint64_t>(last, read_from + got) - read_from);
        for (size_t i = 0; i < runs_.size(); ++i) {
            const auto [begin, end] = runs_[backward ? runs_.size() - 1 - i : i];
            const size_t a = std::max(from, begin), b = std::min(to, end);
            if (a >= b) continue;
            const int64_t found = matcher_.find(buffer_.get() + begin, end - begin, a - begin, b - begin, backward);
            if (found >= 0) return int64_t(read_from + begin) + found;
        }
        return -1;
    }

    void report(uint64_t position) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_report_ < report_every_) return;
        last_report_ = now;
        progress_(SearchProgress{position, size_, bytes_done_});
    }

    int fd_;
    Matcher matcher_;
    const std::atomic<bool>& cancel_;
    const std::function<void(const SearchProgress&)>& progress_;
    uint64_t block_;
    bool skip_holes_;
    bool mappable_ = true;
    static constexpr int64_t unread = -4;
    std::chrono::milliseconds report_every_;
    uint64_t size_ = 0;
    uint64_t bytes_done_ = 0;
    static constexpr uint64_t no_data = UINT64_MAX;
    uint64_t extent_first_ = 0;  // a run of data found by lseek
    uint64_t extent_end_ = 0;
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> buffer_;
    size_t buffer_size_ = 0;
    std::chrono::steady_clock::time_point last_report_;
    std::vector<std::pair<size_t, size_t>> runs_;  // of the last block read: bytes that were read
    uint64_t unreadable_ = 0;
};

}  // namespace

SearchOutcome run_search(int fd, const SearchRequest& request, const std::atomic<bool>& cancel,
                         const std::function<void(const SearchProgress&)>& progress, size_t block_bytes,
                         std::chrono::milliseconds report_every) {
    Scan scan(fd, request.pattern, cancel, progress, block_bytes, report_every);
    if (!scan.measure(request.backward)) return scan.failed("the file cannot be read");
    const uint64_t from = std::min(request.from, scan.size());
    const uint64_t n = request.pattern.bytes.size();
    // The second pass covers what the first did not, and the matches that
    // straddle the point where the first began.
    struct Pass { uint64_t first, last; bool wrapped; };
    const Pass passes[2] = {
        request.backward ? Pass{0, from, false} : Pass{from, scan.size(), false},
        request.backward ? Pass{from, scan.size(), true} : Pass{0, std::min(scan.size(), from + n - 1), true},
    };
    SearchOutcome outcome;
    for (const Pass& pass : passes) {
        if (pass.wrapped && !request.wrap) break;
        const int64_t found = scan.range(pass.first, pass.last, request.backward);
        if (found == -2) {
            outcome = SearchOutcome{SearchOutcome::Kind::Cancelled, 0, false, ""};
            break;
        }
        if (found == -3) return scan.failed(std::string("read error: ") + std::strerror(errno));
        if (found >= 0) {
            outcome = SearchOutcome{SearchOutcome::Kind::Found, uint64_t(found), pass.wrapped, ""};
            break;
        }
    }
    outcome.unreadable = scan.unreadable();
    return outcome;
}
