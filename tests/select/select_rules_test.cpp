#include "find/find_state.h"
#include "select/goto_range.h"
#include "select/select_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const uint64_t TiB = uint64_t{1} << 40;

// Cells and the gaps between them, at the columns' edges and at the wider
// gaps after each group of four and eight bytes.
TEST(SelectHit, ColumnsOfCellsAndGaps) {
    const std::pair<double, int> hex[] = {
        {44, 0}, {55.9, 0}, {56, 0}, {57, 1}, {94, 3}, {95, 3}, {96, 4}, {97, 4},
        {147, 7}, {148, 7}, {149, 7}, {150, 8}, {151, 8}, {202, 11}, {203, 12}, {254, 15},
    };
    for (const auto& [x, column] : hex) EXPECT_EQ(column_at(x), column) << "hex x " << x;
    const std::pair<double, int> characters[] = {{263, 0}, {268, 0}, {269, 1}, {310, 7}, {311, 7}, {312, 8},
                                                 {313, 8}, {318, 8}, {319, 9}, {359, 15}};
    for (const auto& [x, column] : characters) EXPECT_EQ(column_at(x), column) << "character x " << x;
    for (double x : {0.0, 13.0, 43.9, 255.0, 262.0, 360.0, 400.0}) EXPECT_FALSE(column_at(x)) << x;
    // Every column is reached, left to right, in both.
    int last = -1, seen = 0;
    for (int x = 0; x < canvas_width; ++x) {
        if (const auto column = column_at(x)) {
            if (*column < last) ++seen;  // the character column starts again at 0
            EXPECT_LE(*column, last + 1) << x;
            last = *column;
        }
    }
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(last, 15);
}

TEST(SelectHit, PressesOnTheRowsInsideTheFile) {
    const uint64_t shown = 0x1000;
    EXPECT_EQ(byte_at(44, label_height, page_rows, shown, TiB), shown);
    EXPECT_EQ(byte_at(263, label_height + row_height - 1, page_rows, shown, TiB), shown);
    EXPECT_EQ(byte_at(359, label_height + row_height, page_rows, shown, TiB), shown + 31);
    EXPECT_EQ(byte_at(100, rows_bottom, page_rows, shown, TiB), shown + (page_rows - 1) * row_bytes + 4);
    EXPECT_FALSE(byte_at(100, label_height - 1, page_rows, shown, TiB)) << "the label line";
    EXPECT_FALSE(byte_at(100, rows_bottom + 1, page_rows, shown, TiB)) << "the border";
    EXPECT_FALSE(byte_at(100, rows_bottom_for(10) + 1, 10, shown, TiB)) << "below a short window's rows";
    EXPECT_FALSE(byte_at(20, 100, page_rows, shown, TiB)) << "the offsets";
    EXPECT_EQ(byte_at(359, label_height, page_rows, 0, 16), 15u);
    EXPECT_FALSE(byte_at(359, label_height, page_rows, 0, 15)) << "past the end";
    EXPECT_FALSE(byte_at(44, label_height, page_rows, 0, 0)) << "an empty file";
}

TEST(SelectHit, DragsReachTheNearestColumnAndTheRowsBeyond) {
    const uint64_t shown = 0x1000, size = 0x2005;
    const double row1 = label_height + row_height + 3;
    EXPECT_EQ(drag_byte(0, row1, page_rows, shown, size), shown + 16) << "left of the hex column";
    EXPECT_EQ(drag_byte(258, row1, page_rows, shown, size), shown + 31) << "nearer the hex column";
    EXPECT_EQ(drag_byte(259, row1, page_rows, shown, size), shown + 16) << "nearer the character column";
    EXPECT_EQ(drag_byte(2000, row1, page_rows, shown, size), shown + 31);
    EXPECT_EQ(drag_byte(50, -40, page_rows, shown, size), shown - 16) << "above: the row before";
    EXPECT_EQ(drag_byte(50, 5000, page_rows, shown, size), shown + page_bytes) << "below: the row after";
    EXPECT_EQ(drag_byte(50, 5000, 10, shown, size), shown + 160);
    EXPECT_EQ(drag_byte(100, -1, page_rows, 0, size), 4u) << "above the first row: its column in it";
    EXPECT_EQ(drag_byte(44, 5000, page_rows, 0x1fb0, size), 0x2000u) << "below the last row: its column in it";
    EXPECT_EQ(drag_byte(359, 5000, page_rows, 0x1fb0, size), size - 1) << "clamped to the last byte";
    EXPECT_EQ(beyond_rows(label_height - 1, 10), -1);
    EXPECT_EQ(beyond_rows(rows_bottom_for(10), 10), 0);
    EXPECT_EQ(beyond_rows(rows_bottom_for(10) + 1, 10), 1);
}

TEST(SelectKeys, MovesClampedToTheFileAndTheViewFollowsOnlyAsFarAsItMust) {
    EXPECT_EQ(moved_end(100, 16, 1000), 116u);
    EXPECT_EQ(moved_end(990, 16, 1000), 999u);
    EXPECT_EQ(moved_end(10, -16, 1000), 0u);
    EXPECT_EQ(moved_end(16, -16, 1000), 0u);
    EXPECT_EQ(moved_end(500, INT64_MIN, 1000), 0u);
    EXPECT_EQ(moved_end(500, INT64_MAX, 1000), 999u);
    EXPECT_EQ(moved_end(0, INT64_MAX, 3 * TiB), 3 * TiB - 1);
    EXPECT_EQ(moved_end(0, 256, 1), 0u);

    const int64_t view = 0x1000;
    EXPECT_EQ(view_showing(view, 0x1000, page_rows), view);
    EXPECT_EQ(view_showing(view, 0x1000 + page_bytes - 1, page_rows), view) << "the last shown byte";
    EXPECT_EQ(view_showing(view, 0x1000 + page_bytes, page_rows), view + 16) << "a row below";
    EXPECT_EQ(view_showing(view, 0x1000 + page_bytes + 300, page_rows), view + 16 * 19);
    EXPECT_EQ(view_showing(view, 0xfff, page_rows), view - 16) << "a row above";
    EXPECT_EQ(view_showing(view, 5, page_rows), 0);
    EXPECT_EQ(view_showing(view, 0x1000 + 160, 10), view + 16);
}

TEST(SelectCut, ASelectionPastANewEnd) {
    Selection s;
    s.anchor = 900;
    s.moving = 100;
    s.active = true;
    Selection cut = cut_to_size(s, 500);
    EXPECT_TRUE(cut.active);
    EXPECT_EQ(cut.first(), 100u);
    EXPECT_EQ(cut.last(), 499u);
    EXPECT_EQ(cut.anchor, 499u) << "the anchor stays the first end";
    cut = cut_to_size(s, 5000);
    EXPECT_EQ(cut.anchor, 900u);
    EXPECT_EQ(cut.moving, 100u);
    EXPECT_FALSE(cut_to_size(s, 100).active) << "wholly past the end";
    EXPECT_FALSE(cut_to_size(s, 0).active);
    s.active = false;
    EXPECT_FALSE(cut_to_size(s, 5000).active);
}

TEST(GotoRange, RangesLengthsAndTheirRefusals) {
    const uint64_t size = 0x10000, shown = 0x8000;
    struct Valid { const char* text; uint64_t first, end; };
    const Valid valid[] = {
        {"7e00..7eff", 0x7e00, 0x7f00}, {"7e00 .. 7eff", 0x7e00, 0x7f00}, {"7e00..7e00", 0x7e00, 0x7e01},
        {"7e00..+100", 0x7e00, 0x7f00}, {"7e00..+#256", 0x7e00, 0x7f00}, {"0..$-1", 0, size},
        {"50%..+1K", 0x8000, 0x8400}, {"#16..+#1", 16, 17}, {"-100..+100", 0x7f00, 0x8000},
    };
    for (const auto& v : valid) {
        const GotoRange range = parse_goto_range(v.text, size, shown);
        EXPECT_TRUE(range.valid && range.is_range) << v.text << ": " << range.error;
        EXPECT_EQ(range.first, v.first) << v.text;
        EXPECT_EQ(range.end, v.end) << v.text;
    }
    const std::pair<const char*, const char*> invalid[] = {
        {"7e00..+0", "empty range"}, {"7eff..7e00", "reversed range"}, {"7e00..10000", "past the end"},
        {"ff00..+101", "past the end"}, {"0..+ffffffffffffffff", "too large"}, {"10000..+1", "past the end"},
        {"xyz..1", "hexadecimal"}, {"1..1z", "unexpected"}, {"0..+$", "hexadecimal"},
    };
    for (const auto& [text, why] : invalid) {
        const GotoRange range = parse_goto_range(text, size, shown);
        EXPECT_FALSE(range.valid) << text;
        EXPECT_NE(range.error.find(why), std::string::npos) << text << ": " << range.error;
    }
    EXPECT_EQ(parse_goto_range("7e00..", size, shown).error, "") << "still being typed";
    EXPECT_FALSE(parse_goto_range("0..0", 0, 0).valid) << "an empty file has no byte";
    const GotoRange target = parse_goto_range("7e00", size, shown);
    EXPECT_TRUE(target.valid && !target.is_range);
    EXPECT_EQ(target.end, 0x7e01u) << "a plain target is its one byte";
}

TEST(GotoRange, PreviewOnThePromptLine) {
    FindState find;
    find.prompt = FindState::Prompt::Goto;
    find.input = "7e00..7eff";
    EXPECT_EQ(find.line(0x10000, 0), "go to: 7e00..7eff_  = 7e00..7eff, 256 bytes");
    find.input = "7eff..7e00";
    EXPECT_EQ(find.line(0x10000, 0), "go to: 7eff..7e00_  reversed range");
    find.input = "7e00";
    EXPECT_EQ(find.line(0x10000, 0), "go to: 7e00_  = 7e00 #32256") << "a plain target as before";
    find.input = "0..$-1";
    EXPECT_EQ(find.line(256 * TiB, 0), "go to: 0..$-1_  = 0..ffffffffffff, 256.0 TiB");
    find.input = "#123456789012..ffffffffffff";
    EXPECT_LE(find.line(256 * TiB, 0).size(), 60u);
    EXPECT_EQ(range_text(0, uint64_t{1} << 20), "0..fffff, 1.0 MiB");
    EXPECT_EQ(range_text(5, 6), "5..5, 1 byte");
}

}  // namespace
