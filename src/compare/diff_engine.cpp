#include "compare/diff_engine.h"

#include "base/mapped_read_guard.h"
#include "watch/live_file.h"

#include <emmintrin.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const uint64_t page_size = uint64_t(::sysconf(_SC_PAGESIZE));
const uint64_t alignment = std::max<uint64_t>(4096, page_size);
const uint64_t no_data = UINT64_MAX;

uint64_t align_down(uint64_t value) { return value & ~(alignment - 1); }
uint64_t align_up(uint64_t value) { return (value + alignment - 1) & ~(alignment - 1); }

// Bit i set where byte i of the 64 at a and b is equal.
inline uint64_t equal_bits(const uint8_t* a, const uint8_t* b) {
    uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
        bits |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)))) << (16 * k);
    }
    return bits;
}

// Whether the 64 bytes at a and b are all equal: the common case, tested
// with one mask for all four vectors.
inline bool all_equal(const uint8_t* a, const uint8_t* b) {
    __m128i same = _mm_set1_epi8(-1);
    for (int k = 0; k < 4; ++k) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
        same = _mm_and_si128(same, _mm_cmpeq_epi8(x, y));
    }
    return _mm_movemask_epi8(same) == 0xFFFF;
}

}  // namespace

size_t first_match(const uint8_t* a, const uint8_t* b, size_t n, bool want_equal) {
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        if (!want_equal && all_equal(a + i, b + i)) continue;
        const uint64_t bits = want_equal ? equal_bits(a + i, b + i) : ~equal_bits(a + i, b + i);
        if (bits) return i + size_t(__builtin_ctzll(bits));
    }
    for (; i < n; ++i) {
        if ((a[i] == b[i]) == want_equal) return i;
    }
    return n;
}

size_t last_match(const uint8_t* a, const uint8_t* b, size_t n, bool want_equal) {
    size_t i = n;
    for (; i >= 64; i -= 64) {
        if (!want_equal && all_equal(a + i - 64, b + i - 64)) continue;
        const uint64_t bits = want_equal ? equal_bits(a + i - 64, b + i - 64) : ~equal_bits(a + i - 64, b + i - 64);
        if (bits) return i - 1 - size_t(__builtin_clzll(bits));
    }
    while (i > 0) {
        --i;
        if ((a[i] == b[i]) == want_equal) return i;
    }
    return n;
}

uint64_t pair_span(uint64_t size_a, uint64_t size_b, int64_t shift) {
    const int64_t b_end = int64_t(size_b) - shift;
    return std::max<uint64_t>(size_a, b_end > 0 ? uint64_t(b_end) : 0);
}

PairScan::PairScan(int fd_a, int fd_b, int64_t shift, const std::atomic<bool>& cancel, size_t block_bytes)
    : fd_{fd_a, fd_b}, shift_(shift), cancel_(cancel), block_(std::max<size_t>(align_up(block_bytes), alignment)) {}

PairScan::~PairScan() {
    unmap();
    std::free(buffer_[0]);
    std::free(buffer_[1]);
}

bool PairScan::measure() {
    if (!readable_length(fd_[0], size_a_) || !readable_length(fd_[1], size_b_)) return false;
    for (int f = 0; f < 2; ++f) {
        // A file without holes is compared without asking for them again.
        const off_t hole = ::lseek(fd_[f], 0, SEEK_HOLE);
        sparse_[f] = !(hole >= 0 && uint64_t(hole) >= (f == 0 ? size_a_ : size_b_));
        extent_[f] = Extent{};
    }
    return true;
}

// The stretches of [0, span) where A, B, both or neither have bytes, in order.
int PairScan::stretches(Stretch out[5]) const {
    const uint64_t span_end = span();
    uint64_t cuts[5] = {0, size_a_, 0, 0, span_end};
    const int64_t b_first = -shift_, b_end = int64_t(size_b_) - shift_;
    cuts[2] = b_first > 0 ? uint64_t(b_first) : 0;
    cuts[3] = b_end > 0 ? uint64_t(b_end) : 0;
    std::sort(cuts, cuts + 5);
    int count = 0;
    for (int i = 0; i + 1 < 5; ++i) {
        const uint64_t first = cuts[i], end = std::min(cuts[i + 1], span_end);
        if (first >= end) continue;
        const bool in_a = first < size_a_;
        const bool in_b = int64_t(first) + shift_ >= 0 && int64_t(first) + shift_ < int64_t(size_b_);
        out[count++] = Stretch{first, end, int(in_a) + int(in_b)};
    }
    return count;
}

uint64_t PairScan::first_where(uint64_t from, uint64_t to, bool want) {
    Stretch parts[5];
    const int count = stretches(parts);
    for (int i = 0; i < count; ++i) {
        const uint64_t lo = std::max(from, parts[i].first), hi = std::min(to, parts[i].end);
        if (lo >= hi) continue;
        if (parts[i].kind == 2) {
            const uint64_t found = scan_forward(lo, hi, want);
            if (found < hi) return found;
            if (cancelled() || failed()) return to;
        } else if ((parts[i].kind == 1) == want) {
            return lo;
        }
    }
    return to;
}

uint64_t PairScan::last_where(uint64_t from, uint64_t to, bool want) {
    Stretch parts[5];
    const int count = stretches(parts);
    for (int i = count - 1; i >= 0; --i) {
        const uint64_t lo = std::max(from, parts[i].first), hi = std::min(to, parts[i].end);
        if (lo >= hi) continue;
        if (parts[i].kind == 2) {
            const uint64_t found = scan_backward(lo, hi, want);
            if (found < hi) return found;
            if (cancelled() || failed()) return to;
        } else if ((parts[i].kind == 1) == want) {
            return hi - 1;
        }
    }
    return to;
}

bool PairScan::holes_in_both(uint64_t from, uint64_t to) {
    Stretch parts[5];
    const int count = stretches(parts);
    for (int i = 0; i < count; ++i) {
        const uint64_t lo = std::max(from, parts[i].first), hi = std::min(to, parts[i].end);
        if (lo >= hi) continue;
        if (parts[i].kind != 2 || data_in_either(lo, hi)) return false;
    }
    return true;
}

uint64_t PairScan::next_data(uint64_t at, uint64_t to) {
    uint64_t nearest = to;
    for (int f = 0; f < 2; ++f) {
        if (!sparse_[f]) return at;
        const uint64_t position = uint64_t(int64_t(at) + (f == 1 ? shift_ : 0));
        Extent& known = extent_[f];
        if (!(position >= known.looked_from && position < known.end)) {
            const off_t data = ::lseek(fd_[f], off_t(position), SEEK_DATA);
            if (data < 0) {
                if (errno != ENXIO) return at;  // no answer: compare it all
                known = Extent{position, no_data, no_data};
                continue;
            }
            const off_t hole = ::lseek(fd_[f], data, SEEK_HOLE);
            known = Extent{position, uint64_t(data), hole < 0 ? no_data : uint64_t(hole)};
        }
        if (known.first == no_data) continue;
        const uint64_t data_at = std::max(position, known.first);
        const int64_t in_a = int64_t(data_at) - (f == 1 ? shift_ : 0);
        nearest = std::min(nearest, uint64_t(in_a));
    }
    return nearest;
}

bool PairScan::data_in_either(uint64_t from, uint64_t to) { return next_data(from, to) < to; }

uint64_t PairScan::scan_forward(uint64_t from, uint64_t to, bool want) {
    if (want) ::posix_fadvise(fd_[0], 0, 0, POSIX_FADV_SEQUENTIAL);
    uint64_t at = from;
    while (at < to) {
        if (cancelled()) return to;
        const uint64_t data = next_data(at, to);
        if (data > at) {
            // Holes in both up to `data`: the same bytes.
            if (!want) return at;
            at = data;
            if (at >= to) return to;
        }
        const uint64_t end = std::min<uint64_t>(to, at + block_);
        const size_t found = block_match(at, end, want, false);
        if (failed()) return to;
        if (found < end - at) return at + found;
        if (on_block) on_block(end);
        at = end;
    }
    return to;
}

uint64_t PairScan::scan_backward(uint64_t from, uint64_t to, bool want) {
    uint64_t hi = to;
    while (hi > from) {
        if (cancelled()) return to;
        uint64_t lo = hi - std::min<uint64_t>(block_, hi - from);
        if (!data_in_either(lo, hi)) {
            if (!want) return hi - 1;
            // Holes in both: steps that double find data below, halving ones its last block.
            uint64_t step = block_;
            uint64_t below = lo - std::min(step, lo - from);
            while (lo > from && !data_in_either(below, lo)) {
                lo = below;
                step *= 2;
                below = lo - std::min(step, lo - from);
            }
            if (lo == from) return to;
            uint64_t width = lo - below;
            while (width > block_) {
                const uint64_t half = width / 2;
                if (!data_in_either(lo - half, lo)) lo -= half;
                width = width - half;
            }
            hi = lo;
            if (on_block) on_block(hi);
            continue;
        }
        const size_t found = block_match(lo, hi, want, true);
        if (failed()) return to;
        if (found < hi - lo) return lo + found;
        if (on_block) on_block(lo);
        hi = lo;
    }
    return to;
}

void PairScan::unmap() {
    if (map_) ::munmap(map_, map_length_);
    map_ = nullptr;
    map_length_ = 0;
}

size_t PairScan::block_match(uint64_t from, uint64_t to, bool want, bool backward) {
    const size_t n = size_t(to - from);
    size_t found = n;
    with_block(from, to, [&](const uint8_t* a, const uint8_t* b) {
        found = backward ? last_match(a, b, n, !want) : first_match(a, b, n, !want);
    });
    return found;
}

bool PairScan::with_block(uint64_t from, uint64_t to, const std::function<void(const uint8_t*, const uint8_t*)>& use) {
    const size_t n = size_t(to - from);
    const uint64_t position[2] = {from, uint64_t(int64_t(from) + shift_)};
    if (mappable_) {
        // Both blocks in one area, so that one guard covers them.
        uint64_t first_page[2], length[2];
        for (int f = 0; f < 2; ++f) {
            first_page[f] = align_down(position[f]);
            length[f] = align_up(position[f] + n) - first_page[f];
        }
        map_length_ = size_t(length[0] + length[1]);
        map_ = ::mmap(nullptr, map_length_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        bool mapped = map_ != MAP_FAILED;
        if (!mapped) map_ = nullptr;
        uint8_t* part[2] = {static_cast<uint8_t*>(map_), static_cast<uint8_t*>(map_) + length[0]};
        for (int f = 0; f < 2 && mapped; ++f) {
            if (::mmap(part[f], size_t(length[f]), PROT_READ, MAP_SHARED | MAP_FIXED, fd_[f], off_t(first_page[f])) ==
                MAP_FAILED) {
                mappable_ = mapped = false;
                break;
            }
            // The kernel reads ahead in order: when the last page is cached, the rest mostly is.
            const uint64_t last_page = length[f] - page_size;
            unsigned char in_cache = 0;
            mapped = ::mincore(part[f] + last_page, size_t(page_size), &in_cache) == 0 && (in_cache & 1);
        }
        if (mapped) {
            bool faulted;
            {
                MappedReadGuard guard(map_, map_length_);
                use(part[0] + (position[0] - first_page[0]), part[1] + (position[1] - first_page[1]));
                faulted = guard.faulted();
            }
            unmap();
            if (!faulted) return true;  // else read again: the file shrank under the mapping
        }
        unmap();
    }
    for (int f = 0; f < 2; ++f) {
        if (!buffer_[f]) buffer_[f] = static_cast<uint8_t*>(std::aligned_alloc(alignment, block_));
        if (!buffer_[f]) {
            error_ = "out of memory";
            return false;
        }
        if (!read_into(f, position[f], n, buffer_[f])) return false;
    }
    if (block_bad_[0] || block_bad_[1]) {
        // A byte either file could not give is made the same in both: no difference there.
        for (size_t i = 0; i < n; ++i) {
            if ((block_bad_[0] && bad_[0][i]) || (block_bad_[1] && bad_[1][i])) buffer_[1][i] = buffer_[0][i];
        }
    }
    use(buffer_[0], buffer_[1]);
    return true;
}

void count_differences(const uint8_t* a, const uint8_t* b, size_t n, DiffCount& count) {
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        if (all_equal(a + i, b + i)) {
            count.last_differs = false;
            continue;
        }
        const uint64_t differ = ~equal_bits(a + i, b + i);
        const uint64_t starts = differ & ~((differ << 1) | uint64_t(count.last_differs));
        count.bytes += uint64_t(__builtin_popcountll(differ));
        count.runs += uint64_t(__builtin_popcountll(starts));
        count.last_differs = differ >> 63;
    }
    for (; i < n; ++i) {
        const bool differs = a[i] != b[i];
        count.bytes += differs;
        count.runs += differs && !count.last_differs;
        count.last_differs = differs;
    }
}

bool PairScan::count(uint64_t from, uint64_t to, DiffCount& count) {
    Stretch parts[5];
    const int stretch_count = stretches(parts);
    for (int i = 0; i < stretch_count; ++i) {
        const uint64_t lo = std::max(from, parts[i].first), hi = std::min(to, parts[i].end);
        if (lo >= hi) continue;
        if (parts[i].kind == 0) {
            count.last_differs = false;
        } else if (parts[i].kind == 1) {
            count.bytes += hi - lo;
            count.runs += !count.last_differs;
            count.last_differs = true;
        } else {
            for (uint64_t at = lo; at < hi;) {
                if (cancelled()) return false;
                const uint64_t data = next_data(at, hi);
                if (data > at) {
                    count.last_differs = false;  // holes in both: the same bytes
                    at = data;
                    continue;
                }
                const uint64_t end = std::min<uint64_t>(hi, at + block_);
                DiffCount block = count;
                if (!with_block(at, end, [&](const uint8_t* a, const uint8_t* b) {
                        block = count;
                        count_differences(a, b, size_t(end - at), block);
                    })) {
                    return false;
                }
                count = block;
                if (on_block) on_block(end);
                at = end;
            }
        }
    }
    return true;
}

bool PairScan::read_into(int f, uint64_t position, size_t length, uint8_t* buffer) {
    if (block_bad_[f]) std::fill(bad_[f].begin(), bad_[f].begin() + long(length), uint8_t(0));
    block_bad_[f] = false;
    size_t got = 0;
    bool stepping = false;  // a read failed: on in sector-sized steps
    while (got < length) {
        const uint64_t at = position + got;
        const size_t step = stepping ? size_t(std::min<uint64_t>(length - got, read_sector - at % read_sector)) : length - got;
        const ssize_t r = ::pread(fd_[f], buffer + got, step, off_t(at));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) {
            error_ = "a file shrank while it was compared";
            return false;
        }
        if (r > 0) {
            got += size_t(r);
            continue;
        }
        if (!stepping) {
            stepping = true;  // the failure may lie anywhere in the request: again in steps
            continue;
        }
        if (bad_[f].size() < block_) bad_[f].assign(block_, 0);
        std::fill(bad_[f].begin() + long(got), bad_[f].begin() + long(got + step), uint8_t(1));
        std::memset(buffer + got, 0, step);
        block_bad_[f] = true;
        unreadable_[f] += step;
        got += step;
    }
    return true;
}

DiffOutcome find_difference(PairScan& scan, uint64_t from, bool backward) {
    DiffOutcome outcome;
    const uint64_t span = scan.span();
    from = std::min(from, span);
    uint64_t first, end;
    if (!backward) {
        first = scan.first_where(from, span, true);
        end = first < span ? scan.first_where(first, span, false) : span;
    } else {
        const uint64_t last = scan.last_where(0, from, true);
        end = last < from ? last + 1 : from;
        const uint64_t same = last < from ? scan.last_where(0, last, false) : last;
        first = last >= from ? from : same < last ? same + 1 : 0;
    }
    if (scan.failed()) {
        outcome.kind = DiffOutcome::Kind::Failed;
        outcome.error = scan.error();
    } else if (scan.cancelled()) {
        outcome.kind = DiffOutcome::Kind::Cancelled;
    } else if (end > first) {
        outcome.kind = DiffOutcome::Kind::Found;
        outcome.run = DiffRun{first, end - first};
    } else {
        outcome.unreadable[0] = scan.unreadable(0);
        outcome.unreadable[1] = scan.unreadable(1);
    }
    return outcome;
}
