// The file map in the real window: Ctrl+M, the map of a crafted file at full
// and short heights with the thumb dragged over it, and the plain page again.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

TEST(Map, CraftedFileInTheTrackAtFullAndShortHeights) {
    REQUIRE_DISPLAY();
    TempFile file(std::vector<uint8_t>{});
    write_map_regions(file, uint64_t{1} << 20);
    const std::string counter = std::filesystem::path(file.path()).parent_path().string() + "/presents";
    ViewerSession session(file.path(), {"VK_LAYER_PATH=" QUIRN_LAYER_DIR ":/usr/share/vulkan/explicit_layer.d",
                                        "VK_INSTANCE_LAYERS=VK_LAYER_QUIRN_present_counter",
                                        "QUIRN_PRESENT_COUNT_FILE=" + counter});
    ASSERT_TRUE(session.shows_model_page("map_start"));
    session.key_with("m", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("map_on"));
    // Passes that change nothing still draw a frame each; once they end
    // (no frame for 1.5 s), the viewer stays idle.
    unsigned long presents = presents_in(counter);
    for (int quiet = 0, turns = 0; quiet < 15 && turns < 300; ++turns) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const unsigned long now = presents_in(counter);
        quiet = now == presents ? quiet + 1 : 0;
        presents = now;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(presents_in(counter), presents) << "no frames once the map is complete";

    session.key("Next");
    ASSERT_TRUE(session.shows_model_page("map_next"));
    session.key("F6");
    session.type("ma");  // a mark is a tick in the track
    ASSERT_TRUE(session.shows_model_page("map_mark_tick"));
    const int y = session.thumb_grab_y();
    session.press_left(6, y);
    session.move_mouse(6, y + 500);
    session.release_left(6, y + 500);
    ASSERT_TRUE(session.shows_model_page("map_drag"));

    session.resize(WIDTH, 15 + 14 * 20 + 9);
    ASSERT_TRUE(session.shows_model_page("map_short"));
    session.key("End");
    ASSERT_TRUE(session.shows_model_page("map_short_end"));
    session.resize(WIDTH, HEIGHT);
    ASSERT_TRUE(session.shows_model_page("map_full_height_again"));

    session.key_with("m", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("map_off"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

}  // namespace
