// The selection in the real window, by mouse, keys and the go-to prompt:
// every step is compared with the model's page.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace {

std::pair<uint64_t, uint64_t> ends(const ViewerSession& session) {
    const Selection& s = session.model_selection();
    return s.active ? std::make_pair(s.anchor, s.moving) : std::make_pair(~0ul, ~0ul);
}

TEST(Select, ByMouseKeysAndRanges) {
    REQUIRE_DISPLAY();
    // 3000 bytes: 188 rows, the last byte in column 7.
    TempFile file(random_bytes(3000, 41));
    ValidationLog validation(std::filesystem::path(file.path()).parent_path().string());
    ViewerSession session(file.path(), validation.env());
    ASSERT_TRUE(session.shows_model_page("select_start"));
    const int z = session.model_zoom();
    // Window pixels of a hex cell, a character cell and a row.
    const auto hex_x = [z](int column) { return (44 + column * 13 + 4 + column / 4 + column / 8) * z; };
    const auto character_x = [z](int column) { return (263 + column * 6 + 2 * (column / 8) + 2) * z; };
    const auto row_y = [z](int row) { return (label_height + row * row_height + 6) * z; };

    session.press_left(hex_x(5), row_y(2));
    ASSERT_TRUE(session.shows_model_page("pressed"));
    EXPECT_EQ(ends(session), std::make_pair(0x25ul, 0x25ul));
    session.move_mouse(character_x(3), row_y(10));
    ASSERT_TRUE(session.shows_model_page("dragged_down"));
    session.move_mouse(hex_x(9), row_y(1));
    ASSERT_TRUE(session.shows_model_page("dragged_back_above_the_anchor"));
    EXPECT_EQ(ends(session), std::make_pair(0x25ul, 0x19ul));
    // Held below the rows, the view scrolls to the file's end.
    session.move_mouse(character_x(12), (canvas_height + 20) * z);
    session.model_drag_scroll_to_rest();
    ASSERT_GT(session.model_offset(), 0);
    ASSERT_TRUE(session.shows_model_page("drag_scrolled_to_the_end", 20));
    EXPECT_EQ(ends(session), std::make_pair(0x25ul, 2999ul));
    session.release_left(character_x(12), (canvas_height + 20) * z);
    session.press_left(2 * z, row_y(30));  // beside the rows: the selection stays
    session.release_left(2 * z, row_y(30));
    ASSERT_TRUE(session.shows_model_page("released"));

    session.shift_press_left(hex_x(0), row_y(40));
    session.release_left(hex_x(0), row_y(40));
    ASSERT_TRUE(session.shows_model_page("shift_pressed"));
    EXPECT_EQ(ends(session).second, uint64_t(session.model_offset()) + 40 * 16);
    session.key("Up", true);
    session.key("Prior", true);
    ASSERT_TRUE(session.shows_model_page("shift_up_and_page_up"));
    session.key("Home", true);
    ASSERT_TRUE(session.shows_model_page("shift_home"));
    EXPECT_EQ(ends(session), std::make_pair(0x25ul, 0ul));
    EXPECT_EQ(session.model_offset(), 0);
    session.key("Next", true);
    session.key("Down", true);
    ASSERT_TRUE(session.shows_model_page("shift_page_down_and_down"));
    session.key("End", true);
    ASSERT_TRUE(session.shows_model_page("shift_end"));

    session.key_with("g", KMOD_LCTRL);
    session.type("1a3..2fc");
    ASSERT_TRUE(session.shows_model_page("range_preview"));
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("range_selected"));
    EXPECT_EQ(ends(session), std::make_pair(0x1a3ul, 0x2fcul));
    session.key_with("a", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("all_selected"));
    session.key("Escape");
    ASSERT_TRUE(session.shows_model_page("cleared"));
    EXPECT_FALSE(session.model_selection().active);
    session.key("Down", true);  // without a selection Shift+Down scrolls
    ASSERT_TRUE(session.shows_model_page("shift_down_scrolls"));

    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_EQ(validation.messages(), "");
    EXPECT_EQ(session.process().err(), "");
}

}  // namespace
