#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// The fuzzed bytes as the targets read them: little-endian numbers first,
// then the rest as the typed input.
struct FuzzInput {
    const uint8_t* data;
    size_t size;

    uint64_t number(size_t bytes) {
        uint64_t value = 0;
        for (size_t i = 0; i < bytes && size > 0; ++i, ++data, --size) value |= uint64_t(*data) << (8 * i);
        return value;
    }
    std::string rest() const { return std::string(reinterpret_cast<const char*>(data), size); }
};

// An invariant that does not hold is a crash for the fuzzer.
#define REQUIRE(condition)                                                                  \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)
