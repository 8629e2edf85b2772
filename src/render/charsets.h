#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The sets bytes 128 to 255 can be drawn in, in the order Ctrl+T steps
// through them. Bytes 0 to 127 and the colours are the same in all.
enum class Charset { Koi8r, Latin1, Cp437, Ascii };

const char* charset_name(Charset charset);  // "koi8-r", "latin-1", "cp437", "ascii"
std::optional<Charset> charset_named(const std::string& name);
Charset next_charset(Charset charset);
// "koi8-r, latin-1, cp437 or ascii"
std::string charset_list();

// The glyphs of bytes 128 to 255 in the set: 128 glyphs of 16 row bytes.
const uint8_t* upper_glyphs(Charset charset);

// The character byte `byte` shows as in the set, as a Unicode code point:
// ASCII for 32 to 126, the set's own for 128 to 255; 0 for a byte drawn as
// a control symbol or a dot.
uint32_t shown_character(Charset charset, uint8_t byte);
