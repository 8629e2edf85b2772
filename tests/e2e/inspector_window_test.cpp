// The inspector panel in the real window: Ctrl+I widens the window by the
// panel, which follows the go-to selection, and narrows it again.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

namespace {

TEST(Inspector, PanelOpensFollowsTheSelectionAndCloses) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(300000, 51));
    ViewerSession session(file.path());
    ASSERT_TRUE(session.shows_model_page("inspector_start"));
    int width = 0, height = 0;
    session.capture(width, height);
    EXPECT_EQ(width, WIDTH);

    session.zoom_key("i");
    ASSERT_TRUE(session.shows_model_page("inspector_open"));  // the first shown byte's values
    session.capture(width, height);
    EXPECT_EQ(width, WIDTH + panel_width);

    session.key_with("g", KMOD_LCTRL);
    session.type("3fffe");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("inspector_after_goto"));
    session.key("End");  // the view moves, the selection and the panel stay
    ASSERT_TRUE(session.shows_model_page("inspector_at_end"));

    session.zoom_key("i");
    ASSERT_TRUE(session.shows_model_page("inspector_closed"));
    session.capture(width, height);
    EXPECT_EQ(width, WIDTH);
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

}  // namespace
