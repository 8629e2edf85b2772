#pragma once

#include <array>
#include <cstdint>

// 256 glyphs of 16 row bytes, top row first, bit 7 the leftmost pixel; the
// ink stays inside rows 0 to 12 and bits 7 to 2 (a 6 x 13 cell).
extern const std::array<uint8_t, 4096> fixed6x13;

// Bytes 128 to 255 in the other character sets, drawn from the same font:
// Latin-1 (its control codes as a dotted square), code page 437, and ASCII
// (every byte a dot).
extern const std::array<uint8_t, 2048> latin1_upper;
extern const std::array<uint8_t, 2048> cp437_upper;
extern const std::array<uint8_t, 2048> ascii_upper;

// The character each of bytes 128 to 255 shows as in each set, as a Unicode
// code point; 0 where the set draws a control symbol (Latin-1's 128 to 159)
// or a dot (ASCII).
extern const std::array<uint16_t, 128> koi8r_upper_codes;
extern const std::array<uint16_t, 128> latin1_upper_codes;
extern const std::array<uint16_t, 128> cp437_upper_codes;
extern const std::array<uint16_t, 128> ascii_upper_codes;
