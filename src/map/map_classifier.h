#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What one slice of the file holds, as the scrollbar's map shows it. The
// record carries it in the low bits of a byte per track row; the high bit
// is kept for a tick drawn over the class.
enum class SliceClass : uint8_t { Hole = 0, Zeros = 1, Text = 2, Dense = 3, Binary = 4 };

inline constexpr uint8_t slice_class_mask = 0x07;
inline constexpr uint8_t slice_mark_bit = 0x80;

// The bytes read from a slice, counted by value.
struct ByteHistogram {
    std::array<uint32_t, 256> counts{};
    uint64_t total = 0;

    void add(const uint8_t* bytes, size_t length);
};

// Shannon entropy of the counts in bits a byte, with the Miller-Madow
// correction for the bias of a small sample (4096 random bytes read as
// about 8 bits, not 7.95).
double entropy_estimate(const ByteHistogram& histogram);

// Zeros: every byte read is 0. Text: at least 90% printable ASCII, tab, line
// feed or carriage return. Dense: at least 7.2 bits a byte. Binary: the
// rest. Nothing read: Hole.
SliceClass classify(const ByteHistogram& histogram);
