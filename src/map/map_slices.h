#pragma once

#include <cstdint>

// The map's slices: a file of `size` bytes on a track of `length` rows gives
// row i the bytes [slice_first(i), slice_end(i)). Every slice holds at least
// one byte: in a file shorter than the track, rows share bytes.

inline constexpr uint64_t slice_first(int i, uint64_t size, int length) { return uint64_t(i) * size / uint64_t(length); }

inline constexpr uint64_t slice_end(int i, uint64_t size, int length) {
    const uint64_t end = uint64_t(i + 1) * size / uint64_t(length);
    const uint64_t first = slice_first(i, size, length);
    return end > first ? end : first + 1;
}

// The first and the last slice that hold byte x (x < size).
inline constexpr int first_slice_with(uint64_t x, uint64_t size, int length) {
    const uint64_t l = uint64_t(length);
    return size < l ? int((x * l + size - 1) / size) : int(((x + 1) * l - 1) / size);
}

inline constexpr int last_slice_with(uint64_t x, uint64_t size, int length) {
    return int(((x + 1) * uint64_t(length) - 1) / size);
}
