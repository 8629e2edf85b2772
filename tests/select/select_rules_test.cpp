#include "find/find_state.h"
#include "select/goto_range.h"
#include "select/select_rules.h"

#include <gtest/gtest.h>

namespace {

const uint64_t TiB = uint64_t{1} << 40;

// Cells and gaps at the columns' edges and at the wider gaps after each
// group of four and eight bytes; presses beside the rows or past the end.
TEST(SelectHit, CellsGapsRowsAndTheFileEnd) {
    const std::pair<double, int> columns[] = {
        {44, 0},   {55.9, 0}, {56, 0},   {57, 1},   {95, 3},   {96, 4},   {148, 7},  {149, 7}, {150, 8},
        {203, 12}, {254, 15}, {263, 0},  {310, 7},  {311, 7},  {312, 8},  {319, 9},  {359, 15},
    };
    for (const auto& [x, column] : columns) EXPECT_EQ(column_at(x), column) << "x " << x;
    for (double x : {13.0, 43.9, 255.0, 262.0, 360.0}) EXPECT_FALSE(column_at(x)) << x;

    const uint64_t shown = 0x1000;
    EXPECT_EQ(byte_at(359, label_height + row_height, page_rows, shown, TiB), shown + 31);
    EXPECT_EQ(byte_at(100, rows_bottom, page_rows, shown, TiB), shown + (page_rows - 1) * row_bytes + 4);
    EXPECT_FALSE(byte_at(100, label_height - 1, page_rows, shown, TiB)) << "the label line";
    EXPECT_FALSE(byte_at(100, rows_bottom_for(10) + 1, 10, shown, TiB)) << "below a short window's rows";
    EXPECT_FALSE(byte_at(20, 100, page_rows, shown, TiB)) << "the offsets";
    EXPECT_FALSE(byte_at(359, label_height, page_rows, 0, 15)) << "past the end";
}

TEST(SelectHit, DragsReachTheNearestColumnAndTheRowsBeyond) {
    const uint64_t shown = 0x1000, size = 0x2005;
    const double row1 = label_height + row_height + 3;
    EXPECT_EQ(drag_byte(0, row1, page_rows, shown, size), shown + 16) << "left of the hex column";
    EXPECT_EQ(drag_byte(258, row1, page_rows, shown, size), shown + 31) << "nearer the hex column";
    EXPECT_EQ(drag_byte(259, row1, page_rows, shown, size), shown + 16) << "nearer the character column";
    EXPECT_EQ(drag_byte(50, -40, page_rows, shown, size), shown - 16) << "above: the row before";
    EXPECT_EQ(drag_byte(50, 5000, 10, shown, size), shown + 160) << "below: the row after";
    EXPECT_EQ(drag_byte(100, -1, page_rows, 0, size), 4u) << "above the file's first row: its column in it";
    EXPECT_EQ(drag_byte(44, 5000, page_rows, 0x1fb0, size), 0x2000u) << "below its last row: the column in it";
    EXPECT_EQ(drag_byte(359, 5000, page_rows, 0x1fb0, size), size - 1) << "clamped to the last byte";
}

TEST(SelectKeys, MovesClampedToTheFileAndTheViewFollowsOnlyAsFarAsItMust) {
    EXPECT_EQ(moved_end(990, 16, 1000), 999u);
    EXPECT_EQ(moved_end(10, -16, 1000), 0u);
    EXPECT_EQ(moved_end(500, INT64_MIN, 1000), 0u);
    EXPECT_EQ(moved_end(0, INT64_MAX, 3 * TiB), 3 * TiB - 1);

    const int64_t view = 0x1000;
    EXPECT_EQ(view_showing(view, 0x1000 + page_bytes - 1, page_rows), view) << "the last shown byte";
    EXPECT_EQ(view_showing(view, 0x1000 + page_bytes + 300, page_rows), view + 16 * 19);
    EXPECT_EQ(view_showing(view, 0xfff, page_rows), view - 16);
    EXPECT_EQ(view_showing(view, 0x1000 + 160, 10), view + 16);
}

TEST(SelectCut, ASelectionPastANewEnd) {
    Selection s;
    s.active = true;
    s.anchor = 900;
    s.moving = 100;
    const Selection cut = cut_to_size(s, 500);
    EXPECT_TRUE(cut.active);
    EXPECT_EQ(cut.anchor, 499u);
    EXPECT_EQ(cut.moving, 100u);
    EXPECT_EQ(cut_to_size(s, 5000).anchor, 900u);
    EXPECT_FALSE(cut_to_size(s, 100).active) << "wholly past the end";
}

TEST(GotoRange, RangesTheirRefusalsAndThePreview) {
    const uint64_t size = 0x10000, shown = 0x8000;
    struct Valid { const char* text; uint64_t first, end; };
    const Valid valid[] = {
        {"7e00 .. 7eff", 0x7e00, 0x7f00}, {"7e00..7e00", 0x7e00, 0x7e01}, {"7e00..+#256", 0x7e00, 0x7f00},
        {"0..$-1", 0, size}, {"0..$", 0, size}, {"$..$", size - 1, size}, {"50%..+1K", 0x8000, 0x8400},
        {"-100..+100", 0x7f00, 0x8000},
    };
    for (const auto& v : valid) {
        const GotoRange range = parse_goto_range(v.text, size, shown);
        EXPECT_TRUE(range.valid && range.is_range) << v.text << ": " << range.error;
        EXPECT_EQ(range.first, v.first) << v.text;
        EXPECT_EQ(range.end, v.end) << v.text;
    }
    const std::pair<const char*, const char*> invalid[] = {
        {"7e00..+0", "empty range"},   {"7eff..7e00", "reversed range"}, {"7e00..10000", "past the end"},
        {"ff00..+101", "past the end"}, {"0..+ffffffffffffffff", "too large"}, {"1..1z", "unexpected \"z\""},
    };
    for (const auto& [text, why] : invalid) {
        const GotoRange range = parse_goto_range(text, size, shown);
        EXPECT_FALSE(range.valid) << text;
        EXPECT_EQ(range.error, why) << text;
    }
    EXPECT_EQ(parse_goto_range("7e00..", size, shown).error, "a range needs its end: 1f00..2000 or 1f00..+100");
    EXPECT_EQ(parse_goto_range("7e00.. ", size, shown).error, "a range needs its end: 1f00..2000 or 1f00..+100");
    EXPECT_FALSE(parse_goto_range("0..0", 0, 0).valid) << "an empty file has no byte";
    EXPECT_EQ(parse_goto_range("0", 0, 0).end, 0u) << "nor does its one target select one";
    EXPECT_EQ(parse_goto_range("7e00", size, shown).end, 0x7e01u) << "a plain target is its one byte";

    FindState find;
    find.prompt = FindState::Prompt::Goto;
    find.input = "7e00..7eff";
    EXPECT_EQ(find.line(size, 0), "go to: 7e00..7eff_  = 7e00..7eff, 256 bytes");
    find.input = "7e00";
    EXPECT_EQ(find.line(size, 0), "go to: 7e00_  = 7e00 #32256") << "a plain target as before";
    find.input = "#123456789012..ffffffffffff";
    const std::string line = find.line(256 * TiB, 0);
    EXPECT_LE(line.size(), 60u) << line;
    EXPECT_TRUE(line.ends_with("_  = 1cbe991a14..ffffffffffff, 255.9 TiB")) << line;
    // A message too long beside the whole head is read whole beside the short one.
    find.input = "1f00..";
    EXPECT_EQ(find.line(size, 0), ":1f00.._  a range needs its end: 1f00..2000 or 1f00..+100");
    find.input = "00000000001f00..";
    EXPECT_EQ(find.line(size, 0), ":<001f00.._  a range needs its end: 1f00..2000 or 1f00..+100")
        << "the input's end stays in sight";
}

}  // namespace
