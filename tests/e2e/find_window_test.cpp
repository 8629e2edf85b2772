// Find and go-to in the real window, typed with real key events: every page,
// prompt, status line and highlight is compared with the model's.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <tuple>

namespace {

const uint64_t MiB = uint64_t{1} << 20;
const uint64_t TiB = uint64_t{1} << 40;

TEST(Find, GoToAndSearchTypedWithRealKeys) {
    REQUIRE_DISPLAY();
    TempFile file(4 * MiB, 0, random_bytes(4 * MiB, 21));
    file.write_at(3 * MiB + 5, {'M', 'A', 'G', 'I', 'C'});
    file.write_at(100, {'M', 'A', 'G', 'I', 'C'});
    ValidationLog validation(std::filesystem::path(file.path()).parent_path().string());
    ViewerSession session(file.path(), validation.env());
    ASSERT_TRUE(session.shows_model_page("find_start"));

    session.key_with("g", KMOD_LCTRL);
    session.type("1f0");
    ASSERT_TRUE(session.shows_model_page("goto_typing"));  // the preview of the target
    session.type("3");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("goto_done"));  // the view moved, the byte is marked
    session.key("Down");
    ASSERT_TRUE(session.shows_model_page("goto_then_down"));  // the result line gives way to the page
    session.key("Escape");
    ASSERT_TRUE(session.shows_model_page("goto_cleared"));

    session.key_with("f", KMOD_LCTRL);
    session.type("4d 41 47");
    session.key("Tab");  // to text mode and back
    session.key("Tab");
    session.type("49 43");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("found_forward", 20));
    session.key("Prior");  // scrolling keeps the highlight
    ASSERT_TRUE(session.shows_model_page("found_then_scrolled"));
    session.key("Next");
    ASSERT_TRUE(session.shows_model_page("found_and_back"));
    session.type("n");  // the next one wraps to the start
    ASSERT_TRUE(session.shows_model_page("found_wrapped", 20));

    session.key_with("f", KMOD_LCTRL);
    session.type("4");
    session.key("Return");  // an odd digit: Enter does nothing
    ASSERT_TRUE(session.shows_model_page("odd_digits"));
    session.key("BackSpace");
    session.key("Escape");
    session.key("Escape");
    ASSERT_TRUE(session.shows_model_page("all_cleared"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_EQ(validation.messages(), "");
    EXPECT_EQ(session.process().err(), "");
}

// Keys pressed with Ctrl or Alt type nothing into a prompt, though SDL
// reports their text: the zoom keys only zoom, Alt+C only toggles the case.
TEST(Find, ModifiedKeysTypeNothing) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(100000, 5));
    ViewerSession session(file.path());
    ASSERT_TRUE(session.shows_model_page("modified_start"));
    session.key_with("g", KMOD_LCTRL);
    session.type("1");
    session.zoom_key("equal");
    session.zoom_key("0");
    session.type("0");
    ASSERT_TRUE(session.shows_model_page("goto_after_zoom_keys"));  // "10", not "1=00"
    session.key("Escape");
    session.key_with("f", KMOD_LCTRL);
    session.key("Tab");
    session.type("ab");
    session.key_with("c", KMOD_LALT, "c");
    session.key_with("minus", KMOD_LCTRL, "-");
    ASSERT_TRUE(session.shows_model_page("text_any_case"));  // "ab", any case
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);

    // AltGr types what it makes, on a German keyboard: "@" and "€"; AltGr+C,
    // which makes "¢" there, toggles the case as Alt+C does and types nothing.
    struct GermanKeyboard {
        // Without the sanitizers' preload, whose leak check would fail setxkbmap.
        GermanKeyboard() { EXPECT_EQ(std::system("env -u LD_PRELOAD setxkbmap de"), 0); }
        ~GermanKeyboard() { EXPECT_EQ(std::system("env -u LD_PRELOAD setxkbmap us"), 0); }
    } german;
    ViewerSession altgr(file.path());
    ASSERT_TRUE(altgr.shows_model_page("altgr_start"));
    altgr.key_with("f", KMOD_LCTRL);
    altgr.key("Tab");
    altgr.key_with("q", KMOD_RALT, "@");
    altgr.key_with("e", KMOD_RALT, "\xe2\x82\xac");
    altgr.key_with("c", KMOD_RALT, "\xc2\xa2");
    ASSERT_TRUE(altgr.shows_model_page("altgr_typed"));
    altgr.close();
    EXPECT_EQ(altgr.process().wait_exit(), 0);
}

// Past 2^40 the prompts, the status, the highlight and the label line's
// wide offset work alike: a sparse file just past 2^40 and one of 16 TiB.
TEST(Find, GoToAndSearchPast2To40) {
    REQUIRE_DISPLAY();
    for (const uint64_t size : {TiB + 4099, 16 * TiB}) {
        TempFile file(size, TiB - 8, {0xde, 0xad, 0xbe, 0xef, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        file.write_at(size - 4, {0xde, 0xad, 0xbe, 0xef});
        ViewerSession session(file.path());
        ASSERT_TRUE(session.shows_model_page("wide_start"));
        session.key_with("g", KMOD_LCTRL);
        session.type("ffffffff00");
        session.key("Return");
        ASSERT_TRUE(session.shows_model_page("wide_goto"));
        session.key_with("f", KMOD_LCTRL);
        session.type("deadbeef");
        session.key("Return");
        ASSERT_TRUE(session.shows_model_page("wide_found", 20));
        session.type("n");
        ASSERT_TRUE(session.shows_model_page("wide_found_at_the_end", 20));
        session.type("n");
        ASSERT_TRUE(session.shows_model_page("wide_wrapped", 20));
        session.close();
        EXPECT_EQ(session.process().wait_exit(), 0);
    }
}

// A search through 1 GiB of data that holds no match: the window scrolls
// while it runs, Esc cancels it, and closing the window during a search ends
// the viewer at once.
TEST(Find, LongSearchScrollsCancelsAndQuits) {
    REQUIRE_DISPLAY();
    TempFile file(std::vector<uint8_t>(size_t{1} << 30, 0x01));
    ViewerSession session(file.path());
    ASSERT_TRUE(session.shows_model_page("long_start"));
    session.key_with("f", KMOD_LCTRL);
    session.type("02");
    session.key_unmodelled("Return");  // the viewer starts its search; the model does not follow
    session.key("Down");                // scrolls while the search runs
    session.key_unmodelled("Escape");  // cancels it
    session.set_model_status("search cancelled");
    ASSERT_TRUE(session.shows_model_page("long_cancelled"));

    session.key_with("f", KMOD_LCTRL);
    session.type("02");
    session.key_unmodelled("Return");
    const auto closed = std::chrono::steady_clock::now();
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(2)) << "quitting waited for the search";
}

// Marks, going back and forth through jumps, and a start at an offset.
TEST(Find, MarksAndHistoryFromAStartAtAnOffset) {
    REQUIRE_DISPLAY();
    TempFile file(4 * MiB, 0, random_bytes(4 * MiB, 23));
    file.write_at(2 * MiB + 3, {'M', 'A', 'G', 'I', 'C'});
    ViewerSession session(file.path(), {}, {"--at", "1000"});
    ASSERT_TRUE(session.shows_model_page("history_start"));
    EXPECT_EQ(session.model_offset(), 0x1000);

    session.type("ma");
    ASSERT_TRUE(session.shows_model_page("mark_set"));  // "mark a at 1000"
    session.key_with("g", KMOD_LCTRL);
    session.type("300000");
    session.key("Return");
    session.key_with("f", KMOD_LCTRL);
    session.type("4d 41 47 49 43");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("history_found", 20));
    session.key("End");
    session.key_with("Left", KMOD_LALT);
    ASSERT_TRUE(session.shows_model_page("back_to_match"));
    session.key_with("Left", KMOD_LALT);
    session.key_with("Left", KMOD_LALT);
    ASSERT_TRUE(session.shows_model_page("back_to_start"));
    session.key_with("Right", KMOD_LALT);
    ASSERT_TRUE(session.shows_model_page("forward_to_goto"));
    session.type("'a");
    ASSERT_TRUE(session.shows_model_page("at_mark"));
    EXPECT_EQ(session.model_offset(), 0x1000);
    session.type("''");
    ASSERT_TRUE(session.shows_model_page("before_the_mark"));
    session.type("'b");
    ASSERT_TRUE(session.shows_model_page("no_mark"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_EQ(session.process().err(), "");
}

TEST(Find, StartWithARangeSelected) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(64 * 1024, 25));
    ViewerSession session(file.path(), {}, {"--select", "7e5..+#40"});
    ASSERT_TRUE(session.shows_model_page("start_selected"));
    EXPECT_EQ(session.model_offset(), 0x7e0);
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

TEST(EntryPointStart, RefusedExpressionEndsBeforeAnyWindow) {
    TempFile file(random_bytes(100, 24));
    for (const auto& [option, value, message] :
         {std::tuple{"--at", "zz", "quirn: --at zz: hexadecimal digits expected\n"},
          std::tuple{"--select", "10..5", "quirn: --select 10..5: reversed range\n"}}) {
        ViewerProcess viewer({option, value, file.path()});
        EXPECT_EQ(viewer.wait_exit(), 2) << option;
        EXPECT_EQ(viewer.err(), message);
    }
}

}  // namespace
