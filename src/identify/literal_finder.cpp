#include "identify/literal_finder.h"

#include <hs/hs.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>

namespace {

constexpr int buckets = 16;
constexpr size_t prefix = 3;  // bytes the prefilter looks at
constexpr size_t step = 16;   // positions a step

// The values a bucket accepts at one byte: every pair of a low and a high
// nibble that one of its literals has there.
struct NibbleSets {
    uint16_t low = 0, high = 0;
    int accepted() const { return std::popcount(low) * std::popcount(high); }
};

// The prefilter over `data`: bit b of byte j (buckets 0-7) or of byte
// 16 + j (buckets 8-15) of a step's result says that bucket b's literals
// may end their first three bytes at j, so start at j - 2. The 16 bytes of
// a step are in both halves of a register, one half for each 8 buckets;
// the two bytes before them come from the step before. Returns where the
// steps stopped: the candidates starting from 2 bytes before it are left.
template <typename Candidate>
__attribute__((target("avx2"))) size_t prefilter_steps(const uint8_t* data, size_t size, size_t starts,
                                                       const uint8_t (&low)[3][32], const uint8_t (&high)[3][32],
                                                       Candidate&& candidate) {
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    __m256i lo[3], hi[3];
    for (size_t k = 0; k < prefix; ++k) {
        lo[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(low[k]));
        hi[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(high[k]));
    }
    __m256i previous0 = _mm256_setzero_si256(), previous1 = _mm256_setzero_si256();
    size_t at = 0;
    alignas(32) uint8_t out[32];
    for (; size - at >= step && at < starts + prefix - 1; at += step) {
        const __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)));
        const __m256i low_nibbles = _mm256_and_si256(bytes, nibble);
        const __m256i high_nibbles = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble);
        // The buckets each byte may be the first, second or third byte of.
        const __m256i as0 =
            _mm256_and_si256(_mm256_shuffle_epi8(lo[0], low_nibbles), _mm256_shuffle_epi8(hi[0], high_nibbles));
        const __m256i as1 =
            _mm256_and_si256(_mm256_shuffle_epi8(lo[1], low_nibbles), _mm256_shuffle_epi8(hi[1], high_nibbles));
        const __m256i as2 =
            _mm256_and_si256(_mm256_shuffle_epi8(lo[2], low_nibbles), _mm256_shuffle_epi8(hi[2], high_nibbles));
        const __m256i ends = _mm256_and_si256(_mm256_and_si256(_mm256_alignr_epi8(as0, previous0, 14),
                                                               _mm256_alignr_epi8(as1, previous1, 15)),
                                              as2);
        previous0 = as0;
        previous1 = as1;
        if (_mm256_testz_si256(ends, ends)) continue;
        _mm256_store_si256(reinterpret_cast<__m256i*>(out), ends);
        for (size_t j = 0; j < step; ++j) {
            const unsigned bits = unsigned(out[j]) | unsigned(out[16 + j]) << 8;
            if (bits != 0 && at + j >= prefix - 1) candidate(bits, at + j - (prefix - 1));
        }
    }
    return at;
}

}  // namespace

LiteralFinder::LiteralFinder(const std::vector<std::string_view>& literals, Engine engine) : engine_(engine) {
    for (std::string_view literal : literals) {
        literals_.emplace_back(literal);
        longest_ = std::max(longest_, literal.size());
    }
    const bool empty = std::any_of(literals_.begin(), literals_.end(), [](const std::string& l) { return l.empty(); });
    __builtin_cpu_init();
    if (engine_ == Engine::Prefilter && (!__builtin_cpu_supports("avx2") || empty)) engine_ = Engine::Hyperscan;
    if (engine_ == Engine::Prefilter) {
        // Literals that begin alike share a bucket; a literal shorter than
        // the prefix accepts any byte past its end, so it gets a bucket of
        // its own where one is free. Each other group goes where it adds
        // the fewest chance candidates.
        std::map<std::string, std::vector<unsigned>> groups;
        for (unsigned i = 0; i < literals_.size(); ++i) groups[literals_[i].substr(0, prefix)].push_back(i);
        std::vector<std::pair<std::string, std::vector<unsigned>>> ordered(groups.begin(), groups.end());
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const auto& a, const auto& b) { return a.first.size() < b.first.size(); });
        std::array<std::array<NibbleSets, prefix>, buckets> sets{};
        std::array<bool, buckets> short_bucket{};
        const auto chance = [&](const std::array<NibbleSets, prefix>& s) {
            double c = 1;
            for (const NibbleSets& n : s) c *= n.accepted() / 256.0;
            return c;
        };
        for (const auto& [start, members] : ordered) {
            std::array<NibbleSets, prefix> added{};
            for (size_t k = 0; k < prefix; ++k) {
                added[k].low = uint16_t(k < start.size() ? 1u << (uint8_t(start[k]) & 15) : 0xffffu);
                added[k].high = uint16_t(k < start.size() ? 1u << (uint8_t(start[k]) >> 4) : 0xffffu);
            }
            int best = 0;
            double best_cost = 0;
            for (int b = 0; b < buckets; ++b) {
                std::array<NibbleSets, prefix> merged = sets[size_t(b)];
                for (size_t k = 0; k < prefix; ++k) {
                    merged[k].low |= added[k].low;
                    merged[k].high |= added[k].high;
                }
                const bool used = !bucket_literals_[b].empty();
                double cost = chance(merged) - (used ? chance(sets[size_t(b)]) : 0);
                if (short_bucket[size_t(b)] || (used && start.size() < prefix)) cost += 1;  // keep the short apart
                if (b == 0 || cost < best_cost) {
                    best = b;
                    best_cost = cost;
                }
            }
            for (size_t k = 0; k < prefix; ++k) {
                sets[size_t(best)][k].low |= added[k].low;
                sets[size_t(best)][k].high |= added[k].high;
            }
            short_bucket[size_t(best)] = short_bucket[size_t(best)] || start.size() < prefix;
            bucket_literals_[best].insert(bucket_literals_[best].end(), members.begin(), members.end());
        }
        for (int b = 0; b < buckets; ++b) {
            const uint8_t bit = uint8_t(1u << (b % 8));
            const size_t lane = size_t(b / 8) * 16;
            for (size_t k = 0; k < prefix; ++k) {
                for (int n = 0; n < 16; ++n) {
                    if (sets[size_t(b)][k].low >> n & 1) low_[k][lane + size_t(n)] |= bit;
                    if (sets[size_t(b)][k].high >> n & 1) high_[k][lane + size_t(n)] |= bit;
                }
            }
        }
        return;
    }
    std::vector<const char*> expressions;
    std::vector<size_t> lengths;
    std::vector<unsigned> ids, flags;
    for (const std::string& literal : literals_) {
        expressions.push_back(literal.data());
        lengths.push_back(literal.size());
        ids.push_back(unsigned(ids.size()));
        flags.push_back(0);
    }
    hs_compile_error_t* failure = nullptr;
    if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(), unsigned(expressions.size()),
                             HS_MODE_BLOCK, nullptr, &database_, &failure) != HS_SUCCESS) {
        error_ = failure && failure->message ? failure->message : "the signatures cannot be compiled";
        hs_free_compile_error(failure);
        database_ = nullptr;
    } else if (hs_alloc_scratch(database_, &scratch_) != HS_SUCCESS) {
        error_ = "out of memory";
    }
}

LiteralFinder::~LiteralFinder() {
    if (scratch_) hs_free_scratch(scratch_);
    if (database_) hs_free_database(database_);
}

void LiteralFinder::find(const uint8_t* data, size_t size, size_t starts, Found found, void* context) {
    starts = std::min(starts, size);
    if (starts == 0) return;
    if (engine_ == Engine::Prefilter) {
        prefilter(data, size, starts, found, context);
        return;
    }
    if (!scratch_) return;
    struct Hyperscan {
        const LiteralFinder* finder;
        size_t starts;
        Found found;
        void* context;
    } request{this, starts, found, context};
    // Only matches that start below `starts` are wanted: the bytes past it
    // are the longest literal's reach. Blocks are far below Hyperscan's
    // 32-bit lengths.
    const size_t end = std::min<size_t>({size, starts + longest_ - 1, UINT32_MAX});
    hs_scan(database_, reinterpret_cast<const char*>(data), unsigned(end), 0, scratch_,
            [](unsigned id, unsigned long long, unsigned long long to, unsigned, void* c) -> int {
                const Hyperscan& in = *static_cast<const Hyperscan*>(c);
                const size_t at = size_t(to) - in.finder->literals_[id].size();
                if (at < in.starts) in.found(in.context, id, at);
                return 0;
            },
            &request);
}

void LiteralFinder::prefilter(const uint8_t* data, size_t size, size_t starts, Found found, void* context) const {
    const size_t stopped = prefilter_steps(data, size, starts, low_, high_, [&](unsigned bits, size_t at) {
        if (at < starts) verify(bits, data, size, at, found, context);
    });
    for (size_t at = stopped - std::min(stopped, prefix - 1); at < starts; ++at) {
        verify(0xffff, data, size, at, found, context);
    }
}

void LiteralFinder::verify(unsigned bucket_bits, const uint8_t* data, size_t size, size_t at, Found found,
                           void* context) const {
    while (bucket_bits != 0) {
        const int bucket = std::countr_zero(bucket_bits);
        bucket_bits &= bucket_bits - 1;
        for (unsigned index : bucket_literals_[bucket]) {
            const std::string& literal = literals_[index];
            if (size - at >= literal.size() && std::memcmp(data + at, literal.data(), literal.size()) == 0) {
                found(context, index, at);
            }
        }
    }
}
