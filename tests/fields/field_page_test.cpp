#include "fields/field_page.h"

#include <gtest/gtest.h>

namespace {

// The two bits of byte i of the window: in a leaf, and its shade.
int band(const uint32_t* bands, uint64_t i) { return int(bands[i / 16] >> (2 * (i % 16))) & 3; }

}  // namespace

TEST(FieldPage, BandsAlternateBetweenLeavesAndStayInsideTheWindow) {
    uint32_t bands[128];
    // A leaf that starts before the window, two neighbours, a gap, and one past the window's end.
    const std::vector<FieldSpan> leaves{{"a", 90, 20, ""}, {"b", 110, 4, ""}, {"c", 114, 1, ""},
                                        {"d", 120, 2000, ""}};
    pack_field_bands(leaves, 1, 100, 2048, bands);
    EXPECT_EQ(band(bands, 0), 3);    // 100: in a, shade 1
    EXPECT_EQ(band(bands, 9), 3);    // 109: still a
    EXPECT_EQ(band(bands, 10), 1);   // 110: b, shade 0
    EXPECT_EQ(band(bands, 14), 3);   // 114: c, shade 1 again
    EXPECT_EQ(band(bands, 15), 0);   // 115..119: no field
    EXPECT_EQ(band(bands, 19), 0);
    EXPECT_EQ(band(bands, 20), 1);   // 120: d
    EXPECT_EQ(band(bands, 2019), 1);  // 2119, d's last byte
    EXPECT_EQ(band(bands, 2020), 0);
    // A window shorter than 2048 bytes marks nothing past its end, and a
    // leaf that reaches the top of the offsets does not wrap.
    pack_field_bands({{"e", UINT64_MAX - 10, 100, ""}}, 0, UINT64_MAX - 16, 16, bands);
    EXPECT_EQ(band(bands, 5), 0);
    EXPECT_EQ(band(bands, 6), 1);
    EXPECT_EQ(band(bands, 15), 1);
    EXPECT_EQ(band(bands, 16), 0);
}

TEST(FieldPage, PanelLinesKeepThePlaceAndCutTheValue) {
    std::vector<TreeLine> tree{
        {0, "magic", "89 50 4e 47 0d 0a 1a 0a", true, 0, 8, false},
        {0, "chunks", "", true, 8, 0x1000, false},
        {1, "chunks[3]", "", true, 0x21, 0x19, false},
        {2, "body", "\"a long text that cannot fit in the cells of the panel at all\"", true, 0x29, 13, true},
        {1, "... 7 more", "", false, 0, 0, false},
    };
    const std::vector<FieldPanelLine> lines = field_panel_lines("png", tree, 50);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].text.substr(0, 10), "format png");
    EXPECT_EQ(lines[0].text.substr(43), "at size");
    for (const FieldPanelLine& line : lines) EXPECT_LE(line.text.size(), 50u) << line.text;
    // The focused field behind ">", indented by its depth; its place whole at the right.
    EXPECT_EQ(lines[4].text.substr(0, 8), ">  body ");
    EXPECT_EQ(lines[4].text.substr(lines[4].text.size() - 6), " 29 13");
    EXPECT_EQ(lines[4].text.size(), 50u);
    EXPECT_NE(lines[4].text.find("... 29 13"), std::string::npos);
    EXPECT_EQ(lines[4].name_cells, 7u);
    EXPECT_EQ(lines[1].text.substr(lines[1].text.size() - 4), " 0 8");
    EXPECT_EQ(lines[5].text.find(" 0 0"), std::string::npos);  // no place for a line without bytes

    uint8_t text[50 * 32];
    pack_field_panel(lines, 50, 32, text);
    EXPECT_EQ(text[4 * 50 + 0], '>' | 0x80);   // the name's cells take bit 7
    EXPECT_EQ(text[4 * 50 + 3], 'b' | 0x80);
    EXPECT_EQ(text[4 * 50 + 8], '"');          // the value's do not
    EXPECT_EQ(text[6 * 50], 0);
}

TEST(FieldPage, LabelLineNamesTheFieldItsValueAndItsBytes) {
    EXPECT_EQ(field_label_line({"chunks[3].len", 0x21, 4, "13"}), "chunks[3].len = 13 (4 bytes at 21)");
    EXPECT_EQ(field_label_line({"chunks[3]", 0x21, 1, ""}), "chunks[3] (1 byte at 21)");
}
