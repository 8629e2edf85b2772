#include "render/charsets.h"
#include "render/glyph_table.h"

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <set>
#include <utility>

namespace {

using Glyph = std::array<uint8_t, 16>;

Glyph glyph(int code) {
    Glyph g;
    std::copy_n(fixed6x13.begin() + code * 16, 16, g.begin());
    return g;
}

bool ink(int code, int x, int y) { return fixed6x13[size_t(code * 16 + y)] & (0x80 >> x); }

TEST(GlyphTable, OnlySpaceAndNoBreakSpaceAreEmpty) {
    for (int code = 0; code < 256; ++code) {
        const Glyph g = glyph(code);
        const bool empty = std::all_of(g.begin(), g.end(), [](uint8_t row) { return row == 0; });
        EXPECT_EQ(empty, code == 32 || code == 154) << code;
    }
}

TEST(GlyphTable, InkStaysInsideTheSixByThirteenCell) {
    for (int code = 0; code < 256; ++code) {
        for (int row = 0; row < 16; ++row) {
            const uint8_t bits = fixed6x13[size_t(code * 16 + row)];
            EXPECT_EQ(bits & 0x03, 0) << "code " << code << " row " << row;
            if (row >= 13) {
                EXPECT_EQ(bits, 0) << "code " << code << " row " << row;
            }
        }
    }
}

TEST(GlyphTable, KnownShapes) {
    EXPECT_EQ(glyph('0'), (Glyph{0x00, 0x00, 0x20, 0x50, 0x88, 0x88, 0x88, 0x88, 0x88, 0x50, 0x20, 0, 0, 0, 0, 0}));
    EXPECT_EQ(glyph(138), (Glyph{0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0xFC, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0, 0, 0}));
}

TEST(GlyphTable, SmallDigitsForValuesZeroToNine) {
    std::set<Glyph> shapes;
    for (int code = 0; code <= 9; ++code) {
        shapes.insert(glyph(code));
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 6; ++x) {
                if (ink(code, x, y)) {
                    EXPECT_TRUE(y >= 1 && y <= 5) << "digit " << code << " row " << y;
                }
            }
        }
        int left = 8, right = -1;
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 6; ++x) {
                if (ink(code, x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_LE(right - left + 1, 3) << "digit " << code;
    }
    EXPECT_EQ(shapes.size(), 10u);
}

TEST(GlyphTable, BoxDrawingReachesTheCellEdges) {
    // KOI8-R 128 is a horizontal line, 129 a vertical one.
    EXPECT_TRUE(ink(128, 0, 6) && ink(128, 5, 6));
    EXPECT_TRUE(ink(129, 2, 0) && ink(129, 2, 12));
    EXPECT_TRUE(ink(138, 0, 6) && ink(138, 5, 6) && ink(138, 2, 0) && ink(138, 2, 12));
}

TEST(GlyphTable, CyrillicFollowsKoi8Order) {
    // Lower-case a (192) and upper-case A (225) are the Latin shapes in this font.
    EXPECT_EQ(glyph(193), glyph('a'));
    EXPECT_EQ(glyph(225), glyph('A'));
    EXPECT_NE(glyph(192), glyph(224));
}

}  // namespace

namespace {

// --charset takes the usual spellings of each set, in any case.
TEST(CharsetNames, TheUsualSpellingsInAnyCase) {
    const std::pair<const char*, Charset> names[] = {
        {"latin1", Charset::Latin1},     {"latin-1", Charset::Latin1}, {"ISO-8859-1", Charset::Latin1},
        {"Latin1", Charset::Latin1},     {"cp437", Charset::Cp437},    {"IBM437", Charset::Cp437},
        {"koi8r", Charset::Koi8r},       {"KOI8-R", Charset::Koi8r},   {"ascii", Charset::Ascii},
        {"ASCII", Charset::Ascii},
    };
    for (const auto& [name, charset] : names) EXPECT_EQ(charset_named(name), charset) << name;
    for (const char* name : {"", "latin", "latin-2", "cp850", "koi8-u", "utf-8", "latin-1 "}) {
        EXPECT_FALSE(charset_named(name)) << name;
    }
    for (Charset charset : {Charset::Koi8r, Charset::Latin1, Charset::Cp437, Charset::Ascii}) {
        EXPECT_EQ(charset_named(charset_name(charset)), charset) << "its own name";
    }
}

}  // namespace
