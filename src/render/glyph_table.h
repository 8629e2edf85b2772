#pragma once

#include <array>
#include <cstdint>

// 256 glyphs of 16 row bytes, top row first, bit 7 the leftmost pixel; the
// ink stays inside rows 0 to 12 and bits 7 to 2 (a 6 x 13 cell).
extern const std::array<uint8_t, 4096> fixed6x13;
