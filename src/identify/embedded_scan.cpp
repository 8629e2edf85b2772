#include "identify/embedded_scan.h"

#include "base/mapped_read_guard.h"
#include "identify/magic_describer.h"
#include "identify/signatures.h"

#include <hs/hs.h>

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

// The table's literals as one Hyperscan database, compiled once.
struct Literals {
    hs_database_t* database = nullptr;
    size_t longest = 0;
    std::string error;

    Literals() {
        std::vector<const char*> expressions;
        std::vector<size_t> lengths;
        std::vector<unsigned> ids, flags;
        for (const Signature& s : signatures()) {
            expressions.push_back(s.bytes.data());
            lengths.push_back(s.bytes.size());
            ids.push_back(unsigned(ids.size()));
            flags.push_back(0);
            longest = std::max(longest, s.bytes.size());
        }
        hs_compile_error_t* failure = nullptr;
        if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(),
                                 unsigned(expressions.size()), HS_MODE_BLOCK, nullptr, &database,
                                 &failure) != HS_SUCCESS) {
            error = failure && failure->message ? failure->message : "the signatures cannot be compiled";
            hs_free_compile_error(failure);
            database = nullptr;
        }
    }
};

const Literals& literals() {
    static const Literals compiled;
    return compiled;
}

class Scan {
public:
    Scan(int fd, const std::atomic<bool>& cancel, const std::function<void(const EmbeddedScanProgress&)>& progress,
         size_t block_bytes, std::chrono::milliseconds report_every)
        : fd_(fd), cancel_(cancel), progress_(progress), block_(std::max<uint64_t>(align_up(block_bytes), alignment)),
          report_every_(report_every), last_report_(std::chrono::steady_clock::now()),
          describer_(MagicDescriber::Use::Embedded) {}

    ~Scan() {
        if (scratch_) hs_free_scratch(scratch_);
    }

    EmbeddedScanOutcome run() {
        EmbeddedScanOutcome outcome;
        const Literals& table = literals();
        if (!table.database) return failed(table.error);
        if (!describer_.loaded()) return failed("no magic database");  // nothing could be confirmed
        if (hs_alloc_scratch(table.database, &scratch_) != HS_SUCCESS) return failed("out of memory");
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return failed("the file cannot be read");
        size_ = S_ISBLK(info.st_mode) ? uint64_t(std::max<off_t>(::lseek(fd_, 0, SEEK_END), 0)) : uint64_t(info.st_size);
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        const off_t first_hole = ::lseek(fd_, 0, SEEK_HOLE);
        skip_holes_ = !(first_hole >= 0 && uint64_t(first_hole) >= size_);
        longest_ = table.longest;

        for (uint64_t from = 0; from < size_;) {
            if (cancel_.load(std::memory_order_relaxed)) {
                outcome.kind = EmbeddedScanOutcome::Kind::Cancelled;
                return outcome;
            }
            const uint64_t first = skip_hole(from);
            if (first >= size_) break;
            const uint64_t last = std::min(size_, first + block_);
            if (!block(first, last)) return failed(std::string("read error: ") + std::strerror(errno));
            from = last;
        }
        std::sort(files_.begin(), files_.end(), [](const EmbeddedFile& a, const EmbeddedFile& b) {
            return a.start != b.start ? a.start < b.start : a.signature_at < b.signature_at;
        });
        files_.erase(std::unique(files_.begin(), files_.end(),
                                 [](const EmbeddedFile& a, const EmbeddedFile& b) { return a.start == b.start; }),
                     files_.end());
        outcome.files = std::move(files_);
        outcome.file_size = size_;
        return outcome;
    }

private:
    EmbeddedScanOutcome failed(const std::string& error) {
        EmbeddedScanOutcome outcome;
        outcome.kind = EmbeddedScanOutcome::Kind::Failed;
        outcome.error = error;
        return outcome;
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
    // the checks look at. False on a read error.
    bool block(uint64_t first, uint64_t last) {
        const uint64_t read_from = align_down(first - std::min<uint64_t>(first, check_reach_before));
        const uint64_t read_end = std::min(size_, align_up(last + check_reach_after));
        report(first);
        const size_t length = size_t(read_end - read_from);
        void* map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, off_t(read_from));
        if (map != MAP_FAILED && !last_page_resident(map, length)) {
            ::munmap(map, length);
            map = MAP_FAILED;
        }
        if (map != MAP_FAILED) {
            bool faulted;
            {
                MappedReadGuard guard(map, length);
                find(static_cast<const uint8_t*>(map), read_from, length, first, last);
                faulted = guard.faulted();
            }
            ::munmap(map, length);
            // What a shrunken file's mapping showed is read again; files
            // found twice are one after the scan.
            if (!faulted) return true;
        }
        const ssize_t got = read(read_from, length);
        if (got < 0) return false;
        find(buffer_.get(), read_from, size_t(got), first, std::min(last, read_from + uint64_t(got)));
        return true;
    }

    ssize_t read(uint64_t from, size_t length) {
        if (length > buffer_size_) {
            const size_t capacity = size_t(align_up(length));
            buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(alignment, capacity)));
            buffer_size_ = buffer_ ? capacity : 0;
            if (!buffer_) {
                errno = ENOMEM;
                return -1;
            }
        }
        size_t got = 0;
        while (got < length) {
            const ssize_t r = ::pread(fd_, buffer_.get() + got, length - got, off_t(from + got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return -1;
            if (r == 0) break;  // the file shrank
            got += size_t(r);
        }
        return ssize_t(got);
    }

    // Looks for the literals that start in [first, last) of `data`, which
    // holds `size` of the file's bytes from `base`; each one found is
    // checked against the bytes around it and, if it passes, confirmed.
    void find(const uint8_t* data, uint64_t base, size_t size, uint64_t first, uint64_t last) {
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
            uint64_t last;
        } context{this, data, base, size, from, last};
        hs_scan(literals().database, reinterpret_cast<const char*>(data + from), unsigned(end - from), 0, scratch_,
                [](unsigned id, unsigned long long, unsigned long long to, unsigned, void* c) -> int {
                    const Context& in = *static_cast<const Context*>(c);
                    const Signature& s = signatures()[id];
                    const size_t at = in.from + size_t(to) - s.bytes.size();
                    if (in.base + at < in.last) in.scan->take(s, in.data, in.base, in.size, at);
                    return 0;
                },
                &context);
    }

    void take(const Signature& s, const uint8_t* data, uint64_t base, size_t size, size_t at) {
        const uint64_t literal = base + at;
        if (literal < s.at) return;
        // Near the bytes' ends, the bytes a check needs are read by themselves.
        const bool before = at >= check_reach_before || base == 0;
        const bool after = size - at >= check_reach_after || base + size >= size_;
        const bool ok = before && after ? plausible(s, data + at, at, size - at) : plausible_apart(s, literal);
        if (ok) confirm(s, literal);
    }

    bool plausible_apart(const Signature& s, uint64_t literal) {
        const uint64_t from = literal - std::min<uint64_t>(literal, check_reach_before);
        const uint64_t end = std::min(size_, literal + check_reach_after);
        around_.resize(size_t(end - from));
        const ssize_t got = ::pread(fd_, around_.data(), around_.size(), off_t(from));
        if (got <= ssize_t(literal - from)) return false;
        return plausible(s, around_.data() + (literal - from), size_t(literal - from), size_t(got) - size_t(literal - from));
    }

    void confirm(const Signature& s, uint64_t literal) {
        if (files_.size() >= most_embedded_files) return;
        const uint64_t start = literal - s.at;
        if (!files_.empty() && files_.back().start == start) return;  // another signature of the same file
        magic_.resize(magic_read_bytes);
        const ssize_t got = ::pread(fd_, magic_.data(), std::min<uint64_t>(magic_.size(), size_ - start), off_t(start));
        if (got <= 0) return;
        std::string description = describer_.describe(magic_.data(), size_t(got));
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
    const std::atomic<bool>& cancel_;
    const std::function<void(const EmbeddedScanProgress&)>& progress_;
    uint64_t block_;
    std::chrono::milliseconds report_every_;
    std::chrono::steady_clock::time_point last_report_;
    MagicDescriber describer_;
    hs_scratch_t* scratch_ = nullptr;
    uint64_t size_ = 0;
    size_t longest_ = 1;
    bool skip_holes_ = true;
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
                                  std::chrono::milliseconds report_every) {
    Scan scan(fd, cancel, progress, block_bytes, report_every);
    return scan.run();
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
