// A compare in the real window: two pages with their differences marked,
// ] and [ selecting runs in both, > shifting the pair, Tab giving the second
// page the focus and a copy from it, and the map's summary.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

namespace {

std::string xclip_clipboard() {
    std::string out;
    for (int attempt = 0; attempt < 50 && out.empty(); ++attempt) {
        if (FILE* pipe = ::popen("timeout 5 xclip -o -selection clipboard 2>/dev/null", "r")) {
            char buffer[256];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
            ::pclose(pipe);
        }
        if (out.empty()) ::usleep(100000);
    }
    return out;
}

}  // namespace

TEST(Compare, TwoPagesTheirDifferencesTheShiftAndTheFocus) {
    REQUIRE_DISPLAY();
    const std::vector<uint8_t> bytes = random_bytes(64 << 10, 26);
    TempFile a(bytes);
    std::vector<uint8_t> changed = bytes;
    changed[0x40] = 0xee;  // on the first page
    for (size_t at : {size_t{0x1234}, size_t{0x1235}, size_t{0x1236}}) changed[at] = uint8_t(~changed[at]);
    changed[0x8000] ^= 1;
    changed.resize(changed.size() + 16, 0x41);  // and 16 bytes more: a run to its end
    TempFile b(changed);
    ViewerSession session(b.path(), {}, {a.path()});
    ASSERT_TRUE(session.has_window());
    EXPECT_EQ(session.title(), a.path() + " | " + b.path() + " - quirn");
    ASSERT_TRUE(session.shows_model_page("compare_start"));  // the byte at 40 marked in both pages

    session.type("]");
    ASSERT_TRUE(session.shows_model_page("look_1"));  // each look ends before the next key
    EXPECT_EQ(session.model_selection().first(), 0x40u);
    session.type("]");
    ASSERT_TRUE(session.shows_model_page("look_2"));  // each look ends before the next key
    EXPECT_EQ(session.model_selection().first(), 0x1234u);
    EXPECT_EQ(session.model_selection().length(), 3u);
    EXPECT_EQ(session.model_label_line(), "difference at 1234, 3 bytes");
    ASSERT_TRUE(session.shows_model_page("difference_at_1234"));
    session.type("]");
    ASSERT_TRUE(session.shows_model_page("look_3"));  // each look ends before the next key
    EXPECT_EQ(session.model_selection().first(), 0x8000u);
    session.type("]");
    ASSERT_TRUE(session.shows_model_page("look_4"));  // each look ends before the next key
    EXPECT_EQ(session.model_label_line(), "difference at 10000, 16 bytes");
    session.type("]");
    ASSERT_TRUE(session.shows_model_page("look_5"));  // each look ends before the next key
    EXPECT_EQ(session.model_label_line(), "difference at 40, 1 byte, wrapped to the start");
    session.key("Home");
    session.key("Escape");
    session.type("[");
    ASSERT_TRUE(session.shows_model_page("look_6"));  // each look ends before the next key
    EXPECT_EQ(session.model_label_line(), "difference at 10000, 16 bytes, wrapped to the end");
    session.key_with("g", KMOD_LCTRL);
    session.type("8001");
    session.key("Return");  // selects the byte after the run at 8000
    session.type("[");
    ASSERT_TRUE(session.shows_model_page("look_7"));  // each look ends before the next key
    EXPECT_EQ(session.model_selection().first(), 0x8000u);
    session.type("[");
    ASSERT_TRUE(session.shows_model_page("look_8"));  // each look ends before the next key
    EXPECT_EQ(session.model_selection().first(), 0x1234u);
    ASSERT_TRUE(session.shows_model_page("back_to_1234"));

    session.key_with("period", KMOD_LSHIFT, ">");  // every byte of random data now differs
    EXPECT_EQ(session.model_compare().shift, 1);  // "shift +1" on the label line and the second page's status line
    ASSERT_TRUE(session.shows_model_page("shift_plus_1"));
    session.key_with("comma", KMOD_LSHIFT, "<");

    session.key("Tab");  // the second page's frame
    ASSERT_TRUE(session.shows_model_page("second_focused"));
    if (std::system("command -v xclip >/dev/null") == 0) {
        session.key_with_unmodelled("c", KMOD_LCTRL);
        session.set_model_status("copied 3 bytes as hex");
        ASSERT_TRUE(session.shows_model_page("copied_from_the_second"));
        char hex[16];
        std::snprintf(hex, sizeof hex, "%02x %02x %02x", changed[0x1234], changed[0x1235], changed[0x1236]);
        EXPECT_EQ(xclip_clipboard(), hex);
    }

    // B's last 16 bytes hold none of A's: A's page says so, and a copy from
    // A is refused with those words (the clipboard keeps what it had).
    session.key_with("g", KMOD_LCTRL);
    session.type("10000..1000f");
    session.key("Return");
    session.key("Tab");  // the first page's focus
    session.key_with("c", KMOD_LCTRL);
    EXPECT_EQ(session.model_label_line(), "no bytes of " + a.path() + " selected");
    ASSERT_TRUE(session.shows_model_page("no_bytes_of_the_first"));
    session.key("Tab");

    session.key("Escape");
    session.key_with("m", KMOD_LCTRL);
    const CompareState& compared = session.model_compare();
    EXPECT_EQ(summary_text(compared.differing_bytes, compared.differing_runs), "21 bytes differ in 4 runs");
    ASSERT_TRUE(session.shows_model_page("map_and_summary", 20));

    // A write that keeps the second file's size: the map starts again, and its summary follows.
    b.write_at(0x20, {uint8_t(~changed[0x20])});
    session.file_changed();
    EXPECT_EQ(summary_text(compared.differing_bytes, compared.differing_runs), "22 bytes differ in 5 runs");
    ASSERT_TRUE(session.shows_model_page("summary_after_a_write", 20));
}
