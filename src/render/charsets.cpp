#include "render/charsets.h"

#include "render/glyph_table.h"

#include <cctype>
#include <utility>

namespace {

const Charset all[] = {Charset::Koi8r, Charset::Latin1, Charset::Cp437, Charset::Ascii};

}  // namespace

const char* charset_name(Charset charset) {
    switch (charset) {
        case Charset::Koi8r: return "koi8-r";
        case Charset::Latin1: return "latin-1";
        case Charset::Cp437: return "cp437";
        case Charset::Ascii: return "ascii";
    }
    return "";
}

std::optional<Charset> charset_named(const std::string& name) {
    // The usual spellings, in any case.
    static const std::pair<const char*, Charset> spellings[] = {
        {"koi8-r", Charset::Koi8r},      {"koi8r", Charset::Koi8r},   {"latin-1", Charset::Latin1},
        {"latin1", Charset::Latin1},     {"iso-8859-1", Charset::Latin1}, {"iso8859-1", Charset::Latin1},
        {"cp437", Charset::Cp437},       {"ibm437", Charset::Cp437},  {"ascii", Charset::Ascii},
        {"us-ascii", Charset::Ascii},
    };
    std::string lower;
    for (char c : name) lower += char(std::tolower(uint8_t(c)));
    for (const auto& [spelling, charset] : spellings) {
        if (lower == spelling) return charset;
    }
    return std::nullopt;
}

Charset next_charset(Charset charset) { return all[(int(charset) + 1) % 4]; }

std::string charset_list() { return "koi8-r, latin-1, cp437 or ascii"; }

const uint8_t* upper_glyphs(Charset charset) {
    switch (charset) {
        case Charset::Latin1: return latin1_upper.data();
        case Charset::Cp437: return cp437_upper.data();
        case Charset::Ascii: return ascii_upper.data();
        case Charset::Koi8r: break;
    }
    return fixed6x13.data() + 2048;
}

uint32_t shown_character(Charset charset, uint8_t byte) {
    if (byte < 0x80) return byte >= 0x20 && byte < 0x7f ? byte : 0;
    switch (charset) {
        case Charset::Koi8r: return koi8r_upper_codes[byte - 0x80];
        case Charset::Latin1: return latin1_upper_codes[byte - 0x80];
        case Charset::Cp437: return cp437_upper_codes[byte - 0x80];
        case Charset::Ascii: return ascii_upper_codes[byte - 0x80];
    }
    return 0;
}
