#pragma once

#include "identify/literal_engine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct hs_database;
struct hs_scratch;

// Finds every place where one of a set of literals lies in memory. Where
// the processor has AVX2, a prefilter looks at the first three bytes of
// every literal at once, 16 positions a step, with each literal's first
// bytes in one of 16 buckets (nibble tables, as in the Teddy algorithm);
// the few positions it lets through are compared in full. Hyperscan's
// multi-literal matcher does the same elsewhere, several times slower on
// the signature table (its matcher for sets this large takes the time that
// a whole page-cached block takes to stream in, and more).
class LiteralFinder {
public:
    using Engine = LiteralEngine;

    // `engine` is what is wanted: the prefilter falls back to Hyperscan on a
    // processor without AVX2.
    explicit LiteralFinder(const std::vector<std::string_view>& literals, Engine engine = Engine::Prefilter);
    ~LiteralFinder();
    LiteralFinder(const LiteralFinder&) = delete;
    LiteralFinder& operator=(const LiteralFinder&) = delete;

    Engine engine() const { return engine_; }
    const std::string& error() const { return error_; }  // why the literals could not be compiled
    size_t longest() const { return longest_; }

    // Calls found(context, index, at) for each literal that starts at an
    // `at` below `starts` and lies wholly in the `size` bytes of `data`, in
    // increasing order of `at` for the prefilter. Not for use by two threads
    // at once (Hyperscan's scratch space is the finder's).
    using Found = void (*)(void* context, unsigned index, size_t at);
    void find(const uint8_t* data, size_t size, size_t starts, Found found, void* context);

private:
    void prefilter(const uint8_t* data, size_t size, size_t starts, Found found, void* context) const;
    void verify(unsigned bucket_bits, const uint8_t* data, size_t size, size_t at, Found found, void* context) const;

    std::vector<std::string> literals_;
    Engine engine_;
    std::string error_;
    size_t longest_ = 0;
    // The prefilter's tables: for each of the first three bytes, the buckets
    // that accept a low nibble and a high nibble (buckets 0-7 in the first
    // 16 bytes, 8-15 in the last 16), and the literals of each bucket.
    alignas(32) uint8_t low_[3][32] = {};
    alignas(32) uint8_t high_[3][32] = {};
    std::vector<unsigned> bucket_literals_[16];
    hs_database* database_ = nullptr;
    hs_scratch* scratch_ = nullptr;
};
