#include "identify/embedded_scan.h"

#include "base/mapped_read_guard.h"
#include "base/sector_read.h"
#include "identify/literal_finder.h"
#include "identify/magic_describer.h"
#include "identify/signatures.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const uint64_t page_size = uint64_t(::sysconf(_SC_PAGESIZE));
const uint64_t alignment = std::max<uint64_t>(4096, page_size);

uint64_t align_down(uint64_t v) { return v & ~(alignment - 1); }
uint64_t align_up(uint64_t v) { return (v + alignment - 1) & ~(alignment - 1); }

std::vector<std::string_view> signature_literals() {
    std::vector<std::string_view> literals;
    for (const Signature& s : signatures()) literals.push_back(s.bytes);
    return literals;
}

class Scan {
public:
    Scan(int fd, const std::atomic<bool>& cancel, const std::function<void(const EmbeddedScanProgress&)>& progress,
         size_t block_bytes, std::chrono::milliseconds report_every, LiteralFinder::Engine engine)
        : fd_(fd), finder_(signature_literals(), engine), cancel_(cancel), progress_(progress),
          block_(std::max<uint64_t>(align_up(block_bytes), alignment)), report_every_(report_every),
          last_report_(std::chrono::steady_clock::now()), describer_(MagicDescriber::Use::Embedded) {}

    EmbeddedScanOutcome run() {
        EmbeddedScanOutcome outcome;
        if (!finder_.error().empty()) return failed(finder_.error());
        if (!describer_.loaded()) return failed("no magic database");  // nothing could be confirmed
        if (!measure(size_)) return failed("the file cannot be read");
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        const off_t first_hole = ::lseek(fd_, 0, SEEK_HOLE);
        skip_holes_ = !(first_hole >= 0 && uint64_t(first_hole) >= size_);
        longest_ = finder_.longest();

        for (uint64_t from = 0; from < size_;) {
            if (cancel_.load(std::memory_order_relaxed)) {
                outcome.kind = EmbeddedScanOutcome::Kind::Cancelled;
                return outcome;
            }
            const uint64_t first = skip_hole(from);
            if (first >= size_) break;
            const uint64_t last = std::min(size_, first + block_);
            if (!block(first, last)) return failed("out of memory");
            from = last;
        }
        // What lies past the end of a file that shrank on the way is gone.
        uint64_t now = size_;
        if (measure(now)) size_ = std::min(size_, now);
        drop_past_end(files_, size_);
        std::sort(files_.begin(), files_.end(), [](const EmbeddedFile& a, const EmbeddedFile& b) {
            return a.start != b.start ? a.start < b.start : a.signature_at < b.signature_at;
        });
        files_.erase(std::unique(files_.begin(), files_.end(),
                                 [](const EmbeddedFile& a, const EmbeddedFile& b) { return a.start == b.start; }),
                     files_.end());
        outcome.files = std::move(files_);
        outcome.file_size = size_;
        outcome.unreadable = unreadable_;
        return outcome;
    }

private:
    using Runs = ReadRuns;

    EmbeddedScanOutcome failed(const std::string& error) {
        EmbeddedScanOutcome outcome;
        outcome.kind = EmbeddedScanOutcome::Kind::Failed;
        outcome.error = error;
        return outcome;
    }

    bool measure(uint64_t& size) const {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return false;
        size = S_ISBLK(info.st_mode) ? uint64_t(std::max<off_t>(::lseek(fd_, 0, SEEK_END), 0)) : uint64_t(info.st_size);
        return true;
    }

    // Every literal needs a byte that is not zero, so it ends inside data.
    uint64_t skip_hole(uint64_t from) {
        if (!skip_holes_) return from;
        if (from >= extent_first_ && from < extent_end_) return from;
        const off_t data = ::lseek(fd_, off_t(from), SEEK_DATA);
        if (data < 0) return errno == ENXIO ? size_ : from;
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        extent_first_ = uint64_t(data);
        extent_end_ = hole < 0 ? size_ : uint64_t(hole);
        return std::max(from, uint64_t(data) - std::min<uint64_t>(uint64_t(data), longest_ - 1));
    }

    // Literals starting in [first, last), with the bytes around them that
    // the checks look at. False when no buffer could be had.
    bool block(uint64_t first, uint64_t last) {
        const uint64_t read_from = align_down(first - std::min<uint64_t>(first, check_reach_before));
        const uint64_t read_end = std::min(size_, align_up(last + check_reach_after));
        report(first);
        const size_t length = size_t(read_end - read_from);
        void* map = mappable_ ? ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, off_t(read_from)) : MAP_FAILED;
        if (map == MAP_FAILED) {
            mappable_ = false;
        } else if (!last_page_resident(map, length)) {
            ::munmap(map, length);
            map = MAP_FAILED;
        }
        if (map != MAP_FAILED) {
            bool faulted;
            {
                MappedReadGuard guard(map, length);
                find(static_cast<const uint8_t*>(map), read_from, length, first, last, read_from == 0,
                     read_end >= size_);
                faulted = guard.faulted();
            }
            ::munmap(map, length);
            // What a shrunken file's mapping showed is read again; files
            // found twice are one after the scan.
            if (!faulted) return true;
        }
        if (!reserve(length)) return false;
        const size_t got = read_runs(buffer_.get(), read_from, length, first, last, runs_);
        for (const auto& [begin, end] : runs_) {
            // A run's edge is the bytes' edge when an unreadable sector or an end of the file lies past it.
            const bool from_start = begin > 0 || read_from == 0;
            const bool to_end = end < got || read_from + end >= size_;
            find(buffer_.get() + begin, read_from + begin, end - begin, std::max(first, read_from + begin),
                 std::min(last, read_from + end), from_start, to_end);
        }
        return true;
    }

    bool reserve(size_t length) {
        if (length <= buffer_size_) return true;
        const size_t capacity = size_t(align_up(length));
        buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(alignment, capacity)));
        buffer_size_ = buffer_ ? capacity : 0;
        return bool(buffer_);
    }

    // Reads `length` bytes at `from` into `into`, trying a read that fails
    // again in sectors; `runs` lists the stretches that were read, from
    // `into`. The unreadable bytes in [count_first, count_end) are counted,
    // so that a byte read again for the checks is counted once. Returns the
    // bytes read or passed over: fewer than `length` when the file shrank.
    size_t read_runs(uint8_t* into, uint64_t from, size_t length, uint64_t count_first, uint64_t count_end,
                     Runs& runs) {
        const SectorRead read = read_around_bad_sectors(fd_, into, from, length, count_first, count_end, runs);
        unreadable_ += read.unreadable;
        if (read.got < length) size_ = std::min(size_, from + read.got);  // the file shrank: scanned to its new end
        return read.got;
    }

    // Looks for the literals that start in [first, last) of `data`, which
    // holds `size` of the file's bytes from `base`; each one found is
    // checked against the bytes around it and, if it passes, confirmed.
    // `from_start` and `to_end` say that no bytes can be had before or
    // after `data`.
    void find(const uint8_t* data, uint64_t base, size_t size, uint64_t first, uint64_t last, bool from_start,
              bool to_end) {
        if (last <= first) return;
        const size_t from = size_t(first - base);
        const size_t end = std::min(size, size_t(last - base) + longest_ - 1);
        if (end <= from) return;
        struct Context {
            Scan* scan;
            const uint8_t* data;
            uint64_t base;
            size_t size;
            size_t from;
            bool from_start, to_end;
        } context{this, data, base, size, from, from_start, to_end};
        finder_.find(data + from, end - from, size_t(last - first),
                     [](void* c, unsigned index, size_t at) {
                         const Context& in = *static_cast<const Context*>(c);
                         in.scan->take(signatures()[index], in.data, in.base, in.size, in.from + at, in.from_start,
                                       in.to_end);
                     },
                     &context);
    }

    void take(const Signature& s, const uint8_t* data, uint64_t base, size_t size, size_t at, bool from_start,
              bool to_end) {
        const uint64_t literal = base + at;
        if (literal < s.at) return;
        // Near the bytes' ends, the bytes a check needs are read by themselves.
        const bool before = at >= check_reach_before || from_start;
        const bool after = size - at >= check_reach_after || to_end;
        const bool ok = before && after ? plausible(s, data + at, at, size - at) : plausible_apart(s, literal);
        if (ok) confirm(s, literal);
    }

    // The check's bytes within the run of readable bytes that holds the literal.
    bool plausible_apart(const Signature& s, uint64_t literal) {
        const uint64_t from = literal - std::min<uint64_t>(literal, check_reach_before);
        const uint64_t end = std::min(size_, literal + check_reach_after);
        if (end <= literal) return false;
        around_.resize(size_t(end - from));
        read_runs(around_.data(), from, around_.size(), 0, 0, around_runs_);
        const size_t at = size_t(literal - from);
        for (const auto& [begin, stop] : around_runs_) {
            if (begin <= at && at < stop) return plausible(s, around_.data() + at, at - begin, stop - at);
        }
        return false;
    }

    void confirm(const Signature& s, uint64_t literal) {
        if (files_.size() >= most_embedded_files) return;
        const uint64_t start = literal - s.at;
        if (!files_.empty() && files_.back().start == start) return;  // another signature of the same file
        if (start >= size_) return;  // the file shrank
        // libmagic is given the readable bytes from the start up to the first that are not.
        magic_.resize(size_t(std::min<uint64_t>(magic_read_bytes, size_ - start)));
        read_runs(magic_.data(), start, magic_.size(), 0, 0, around_runs_);
        const size_t got = !around_runs_.empty() && around_runs_.front().first == 0 ? around_runs_.front().second : 0;
        if (got == 0) return;
        std::string description = describer_.describe(magic_.data(), got);
        if (description.empty() || description == "data") return;
        if (description.size() > kept_description_bytes) {
            size_t end = kept_description_bytes;
            while (end > 0 && (uint8_t(description[end]) & 0xC0) == 0x80) --end;  // whole characters
            description.resize(end);
        }
        files_.push_back(EmbeddedFile{start, literal, uint32_t(s.bytes.size()), std::move(description)});
    }

    void report(uint64_t position) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_report_ < report_every_) return;
        last_report_ = now;
        progress_(EmbeddedScanProgress{position, size_, files_.size()});
    }

    int fd_;
    LiteralFinder finder_;
    const std::atomic<bool>& cancel_;
    const std::function<void(const EmbeddedScanProgress&)>& progress_;
    uint64_t block_;
    std::chrono::milliseconds report_every_;
    std::chrono::steady_clock::time_point last_report_;
    MagicDescriber describer_;
    uint64_t size_ = 0;
    size_t longest_ = 1;
    bool skip_holes_ = true;
    bool mappable_ = true;
    Runs runs_;         // of the block
    Runs around_runs_;  // of the bytes read for a check or for libmagic
    uint64_t unreadable_ = 0;
    uint64_t extent_first_ = 0;
    uint64_t extent_end_ = 0;
    std::vector<EmbeddedFile> files_;
    std::vector<uint8_t> around_;
    std::vector<uint8_t> magic_;
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> buffer_;
    size_t buffer_size_ = 0;
};

}  // namespace

EmbeddedScanOutcome scan_embedded(int fd, const std::atomic<bool>& cancel,
                                  const std::function<void(const EmbeddedScanProgress&)>& progress, size_t block_bytes,
                                  std::chrono::milliseconds report_every, LiteralEngine engine) {
    Scan scan(fd, cancel, progress, block_bytes, report_every, engine);
    return scan.run();
}

void drop_past_end(std::vector<EmbeddedFile>& files, uint64_t size) {
    std::erase_if(files, [&](const EmbeddedFile& f) { return f.signature_at + f.signature_length > size; });
}

int64_t step_embedded(const std::vector<EmbeddedFile>& files, int64_t current, uint64_t position, bool past,
                      bool backward) {
    const int64_t n = int64_t(files.size());
    if (n == 0) return -1;
    if (current >= 0 && current < n) return backward ? (current + n - 1) % n : (current + 1) % n;
    if (backward) {
        const auto it = std::lower_bound(files.begin(), files.end(), position,
                                         [](const EmbeddedFile& f, uint64_t p) { return f.start < p; });
        return it == files.begin() ? n - 1 : int64_t(it - files.begin()) - 1;
    }
    const auto it = past ? std::upper_bound(files.begin(), files.end(), position,
                                            [](uint64_t p, const EmbeddedFile& f) { return p < f.start; })
                         : std::lower_bound(files.begin(), files.end(), position,
                                            [](const EmbeddedFile& f, uint64_t p) { return f.start < p; });
    return it == files.end() ? 0 : int64_t(it - files.begin());
}
