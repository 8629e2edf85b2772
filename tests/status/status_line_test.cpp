#include "status/status_line.h"

#include "core/application.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

namespace {

const uint64_t TiB = uint64_t{1} << 40;

// The packed line as text, a label's glyphs in upper case for the test's eyes.
std::string shown(const std::vector<StatusSegment>& segments, size_t cells = 60) {
    std::vector<uint8_t> codes(cells + 4, 0xEE);
    pack_status_line(segments, codes.data(), cells);
    EXPECT_EQ(codes[cells], 0xEE) << "written past its cells";
    std::string text;
    for (size_t i = 0; i < cells && codes[i]; ++i) {
        text += codes[i] & 0x80 ? char(std::toupper(codes[i] & 0x7F)) : char(codes[i]);
    }
    return text;
}

TEST(StatusLine, WhereHowBigAndTheSelection) {
    struct Case {
        StatusFacts facts;
        std::string expected;
    };
    StatusFacts selected;
    selected.offset = 0x7e00;
    selected.file_size = 0x10000;
    selected.selected = true;
    selected.first = 0x7e00;
    selected.end = 0x7f00;
    StatusFacts device;
    device.offset = 0x1230;
    device.character_device = true;
    StatusFacts latin;
    latin.file_size = 1000;
    latin.charset = "latin-1";
    StatusFacts past_tib;
    past_tib.offset = TiB + 0x123450;
    past_tib.file_size = 3 * TiB + 77;
    StatusFacts at_end;
    at_end.offset = 0x1000;
    at_end.file_size = 0x1000;
    StatusFacts last_page = selected;  // its rows reach the end: 100%, as End shows it
    last_page.offset = 0xfb60;
    last_page.shown_bytes = 75 * 16;
    last_page.selected = false;
    StatusFacts before_last_page = last_page;
    before_last_page.offset = 0xfb40;
    const Case cases[] = {
        {StatusFacts{}, "AT 0 0%  SIZE 0x0 = 0 bytes"},
        {selected, "AT 7e00 49%  SIZE 0x10000 = 64.0 KiB  7e00..7eff, 256 bytes"},
        {device, "AT 1230  a character device: no size to show"},
        {latin, "AT 0 0%  SIZE 0x3e8 = 1000 bytes  CHARSET latin-1"},
        {past_tib, "AT 10000123450 33%  SIZE 0x3000000004d = 3.0 TiB"},
        {at_end, "AT 1000 100%  SIZE 0x1000 = 4.0 KiB"},
        {last_page, "AT fb60 100%  SIZE 0x10000 = 64.0 KiB"},
        {before_last_page, "AT fb40 98%  SIZE 0x10000 = 64.0 KiB"},
    };
    for (const Case& c : cases) EXPECT_EQ(shown(view_segments(c.facts)), c.expected);
}

// A size reads as one number: hexadecimal, then the largest unit it holds
// one of, its tenths cut rather than rounded up into the next unit.
TEST(StatusLine, SizeAsOneNumber) {
    const std::pair<uint64_t, std::string> cases[] = {
        {1, "0x1 = 1 byte"},
        {500, "0x1f4 = 500 bytes"},
        {1023, "0x3ff = 1023 bytes"},
        {1024, "0x400 = 1.0 KiB"},
        {1536, "0x600 = 1.5 KiB"},
        {(uint64_t{1} << 20) - 1, "0xfffff = 1023.9 KiB"},
        {uint64_t{10} << 20, "0xa00000 = 10.0 MiB"},
        {TiB, "0x10000000000 = 1.0 TiB"},
        {(uint64_t{1} << 48) - 1, "0xffffffffffff = 255.9 TiB"},
    };
    for (const auto& [size, text] : cases) EXPECT_EQ(size_segment_text(size), text);
}

// A segment that does not fit is left out whole, never cut: the offset goes
// last, then the selection, then the size; the rest first. What is kept
// stays in its own order.
TEST(StatusLine, SegmentsThatDoNotFitAreLeftOutWhole) {
    const StatusSegment at{"at", "10000123450 33%", StatusRank::Offset};           // 18 cells
    const StatusSegment size{"size", "0x3000000004d = 3.0 TiB", StatusRank::Size};  // 28
    const StatusSegment range{"", "7e00..7eff, 256 bytes", StatusRank::Selection};  // 21
    const StatusSegment shift{"shift", "+3"};                                       // 8
    const StatusSegment summary{"", "1,234 bytes differ in 17 runs"};               // 29
    struct Case {
        std::vector<StatusSegment> segments;
        size_t cells;
        std::string expected;
    };
    const Case cases[] = {
        {{at, size, range}, 60, "AT 10000123450 33%  7e00..7eff, 256 bytes"},
        {{at, size, range}, 80, "AT 10000123450 33%  SIZE 0x3000000004d = 3.0 TiB  7e00..7eff, 256 bytes"},
        {{at, size}, 48, "AT 10000123450 33%  SIZE 0x3000000004d = 3.0 TiB"},
        {{at, size}, 47, "AT 10000123450 33%"},
        {{at, size, summary, shift}, 60, "AT 10000123450 33%  SIZE 0x3000000004d = 3.0 TiB  SHIFT +3"},
        {{summary, at}, 30, "AT 10000123450 33%"},
        {{range, at}, 17, ""},
        {{range, at}, 21, "AT 10000123450 33%"},
        {{size, range}, 30, "7e00..7eff, 256 bytes"},
    };
    for (const Case& c : cases) EXPECT_EQ(shown(c.segments, c.cells), c.expected) << c.cells;
}

// A character outside ASCII takes one cell, as '?'; empty segments keep
// their place.
TEST(StatusLine, GlyphsOfTheLine) {
    EXPECT_EQ(shown({{"", "caf\xc3\xa9 x"}}, 6), "caf? x");
    EXPECT_EQ(shown({{"", ""}, {"", "b"}}, 6), "  b");
}

// Standing state of other features follows the view's own, in the order
// first put; putting again replaces in place, nothing removes.
TEST(StatusLine, StandingStateOfOtherFeatures) {
    StatusLine line;
    StatusFacts facts;
    facts.file_size = 16;
    const size_t own = view_segments(facts).size();
    line.put("compare", {{"shift", "+3"}});
    line.put("scan", {{"scan", "12%"}});
    line.put("compare", {{"shift", "-1"}, {"", "4 differ"}});
    std::vector<StatusSegment> all = line.segments(facts);
    ASSERT_EQ(all.size(), own + 3);
    EXPECT_EQ(all[own], (StatusSegment{"shift", "-1"}));
    EXPECT_EQ(all[own + 2], (StatusSegment{"scan", "12%"}));
    line.remove("compare");
    line.put("scan", {});
    EXPECT_EQ(line.segments(facts).size(), own);
}

TEST(StatusLine, PercentIntoTheFile) {
    EXPECT_EQ(percent_into(0, 0), 0u);
    EXPECT_EQ(percent_into(99, 100), 99u);
    EXPECT_EQ(percent_into(uint64_t{1} << 48, uint64_t{1} << 48), 100u) << "no overflow at the largest file";
    EXPECT_EQ(percent_into((uint64_t{1} << 48) - 1, uint64_t{1} << 48), 99u);
}

// A quitting key while a save runs asks first; the second press cancels the
// save and quits, and nothing half-written is left.
TEST(Quitting, ASaveRunningAsksForASecondPressAndLeavesNothing) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile file(std::vector<uint8_t>(96 << 20, 'A'));
    const std::filesystem::path target = std::filesystem::path(file.path()).parent_path() / "saved.bin";
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    app.selection.set(0, app.file_size);
    app.start_save(target, false, 0, app.file_size);
    SDL_Keysym ctrl_q{};
    ctrl_q.sym = SDLK_q;
    ctrl_q.mod = KMOD_LCTRL;
    EXPECT_TRUE(app.on_quit_key(ctrl_q));
    EXPECT_FALSE(app.quit_requested);
    EXPECT_EQ(app.label_line(), "a save is running: press again to cancel it and quit");
    EXPECT_TRUE(app.on_quit_key(ctrl_q));
    EXPECT_TRUE(app.quit_requested);
    EXPECT_FALSE(app.transfer.worker.snapshot().running);
    EXPECT_FALSE(std::filesystem::exists(target));
    SDL_Quit();
}

}  // namespace
