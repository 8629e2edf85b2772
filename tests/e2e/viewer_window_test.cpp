#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

namespace {

const uint64_t GiB = uint64_t{1} << 30;

// A 200 GiB sparse file with random bytes at its start and its end, so that
// every F-key has room to move both ways.
std::unique_ptr<TempFile> large_sparse_file() {
    const uint64_t size = 200 * GiB + 12345;
    auto file = std::make_unique<TempFile>(size, 0, random_bytes(1 << 20, 1));
    file->write_at(size - 65536, random_bytes(65536, 2));
    return file;
}

TEST(EntryPoint, UsageLineWithoutArgument) {
    ViewerProcess viewer({});
    EXPECT_EQ(viewer.wait_exit(), 255);
    EXPECT_EQ(viewer.err(), std::string("usage: ") + QUIRN_BINARY + " filename\n");
    EXPECT_EQ(viewer.out(), "");
}

TEST(EntryPoint, HelpVersionAndDoubleDash) {
    ViewerProcess help({"--help", "ignored"});
    EXPECT_EQ(help.wait_exit(), 0);
    EXPECT_EQ(help.out().rfind(std::string("usage: ") + QUIRN_BINARY + " filename\n", 0), 0u) << help.out();
    for (const char* part : {"Keys:", "Page Down", "Shift + F3", "Mouse:", "scrollbar thumb", "F1", "Ctrl+Q",
                             "cancel a copy or save", "--charset NAME"}) {
        EXPECT_NE(help.out().find(part), std::string::npos) << part;
    }
    EXPECT_EQ(help.err(), "");
    ViewerProcess short_help({"-h"});
    EXPECT_EQ(short_help.wait_exit(), 0);
    EXPECT_EQ(short_help.out(), help.out());

    ViewerProcess version({"--version"});
    EXPECT_EQ(version.wait_exit(), 0);
    EXPECT_EQ(version.out(), "quirn " QUIRN_VERSION "\n");

    // Refused before any window, options after the file as before it.
    TempFile small(random_bytes(100, 4));
    const struct { std::vector<std::string> args; std::string err; } refused[] = {
        {{"--bogus", small.path()}, "quirn: unknown option --bogus (use -- before a file whose name starts with -)\n"},
        {{small.path(), "--at", "zz"}, "quirn: --at zz: hexadecimal digits expected\n"},
        {{small.path(), "--charset", "ebcdic"},
         "quirn: unknown character set ebcdic (koi8-r, latin-1, cp437 or ascii)\n"},
    };
    for (const auto& r : refused) {
        ViewerProcess viewer(r.args);
        EXPECT_EQ(viewer.wait_exit(), 2) << r.err;
        EXPECT_EQ(viewer.err(), r.err);
        EXPECT_EQ(viewer.out(), "");
    }

    ViewerProcess nothing_after({"--"});
    EXPECT_EQ(nothing_after.wait_exit(), 255);
    EXPECT_EQ(nothing_after.err(), std::string("usage: ") + QUIRN_BINARY + " filename\n");
}

TEST(EntryPoint, DoubleDashOpensAFileNamedLikeAnOption) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(100, 5));
    const std::string named_h = std::filesystem::path(file.path()).parent_path().string() + "/-h";
    std::filesystem::rename(file.path(), named_h);
    ViewerProcess viewer({"--", named_h});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(viewer.running()) << viewer.err();
    std::filesystem::rename(named_h, file.path());
}

// Each start-up failure ends with one line naming what failed, and status 1.
TEST(EntryPoint, StartupFailuresEndWithOneClearLine) {
    TempFile file(random_bytes(100, 6));
    const struct {
        std::vector<std::string> env;
        std::string message;
    } cases[] = {
        {{"DISPLAY", "WAYLAND_DISPLAY"}, "failed to start SDL video! No display found"},
        {{"DISPLAY=:139", "WAYLAND_DISPLAY"}, "failed to start SDL video! No display found"},
        {{"SDL_VIDEODRIVER=dummy"}, "failed to create window! Vulkan support is either not configured"},
        {{"VK_ICD_FILENAMES=/nonexistent.json", "VK_DRIVER_FILES=/nonexistent.json"}, "failed to create window! "},
    };
    for (const auto& c : cases) {
        ViewerOptions options;
        options.env = c.env;  // a name alone removes the variable
        ViewerProcess viewer({file.path()}, options);
        const std::string what = c.env.front();
        EXPECT_EQ(viewer.wait_exit(), 1) << what;
        const std::string err = viewer.err();
        const size_t last_line = err.rfind('\n', err.size() - 2) + 1;
        EXPECT_EQ(err.compare(last_line, c.message.size(), c.message), 0) << what << ": " << err;
        EXPECT_GT(err.size() - last_line, c.message.size() + 1) << what << ": a reason follows";
    }
}

TEST(EntryPoint, UnreadablePathsFailBeforeAnyWindow) {
    REQUIRE_DISPLAY();
    TempFile file({1, 2, 3});
    const std::string folder = std::filesystem::path(file.path()).parent_path().string();
    for (const auto& [path, message] : {std::pair{std::string("/nonexistent/file"),
                                                  std::string("failed to open input file! No such file or directory\n")},
                                        std::pair{folder, std::string("failed to open input file!\n")}}) {
        ViewerProcess viewer({path});
        EXPECT_EQ(viewer.wait_exit(), 1) << path;
        EXPECT_EQ(viewer.err(), message) << path;
        EXPECT_EQ(viewer.out(), "") << "no set-up ran";
    }
}

TEST(Window, TitleIsThePathAsTypedAndClosingExitsWithZero) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(5000, 3));
    const std::string typed = std::filesystem::path(file.path()).parent_path().string() + "/./file.bin";
    ViewerSession session(typed);
    ASSERT_TRUE(session.has_window());
    EXPECT_EQ(session.title(), typed + " - quirn");
    EXPECT_TRUE(session.shows_model_page("title_session"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_TRUE(is_extension_count_line(session.process().out())) << session.process().out();
    EXPECT_EQ(session.process().err(), "");
}

// Every key, the wheel, a thumb drag, resizes and an exposure, each step
// compared with the model's page.
void run_scripted_session(ViewerSession& session) {
    ASSERT_TRUE(session.has_window());
    ASSERT_TRUE(session.shows_model_page("start"));
    for (const char* keysym : {"Down", "Next", "Next", "Right", "Up", "Prior", "Left", "End", "Home"}) {
        session.key(keysym);
        ASSERT_TRUE(session.shows_model_page(std::string("key_") + keysym)) << keysym;
    }
    for (const char* keysym : {"F3", "F4", "F5", "F6", "F7", "F8", "F9"}) {
        session.key(keysym);
        ASSERT_TRUE(session.shows_model_page(std::string("key_") + keysym)) << keysym;
        session.key(keysym, true);
        ASSERT_TRUE(session.shows_model_page(std::string("key_shift_") + keysym)) << "Shift+" << keysym;
        session.key(keysym);
        ASSERT_TRUE(session.shows_model_page(std::string("key_again_") + keysym)) << keysym;
    }
    session.key("Up", true);
    ASSERT_TRUE(session.shows_model_page("shift_up"));

    session.move_mouse(180, 500);
    session.wheel(false);
    session.wheel(false);
    ASSERT_TRUE(session.shows_model_page("wheel_down"));
    session.wheel(true);
    ASSERT_TRUE(session.shows_model_page("wheel_up"));

    // Drag the 40-pixel thumb down by 300 pixels, out of the window and back.
    const int thumb_y = session.thumb_grab_y();
    session.press_left(6, thumb_y);
    session.move_mouse(500, thumb_y + 150);
    session.move_mouse(6, thumb_y + 300);
    session.release_left(6, thumb_y + 300);
    ASSERT_TRUE(session.shows_model_page("thumb_drag"));

    session.resize(520, 1110);
    ASSERT_TRUE(session.shows_model_page("resized_wider"));
    session.resize(300, 900);
    ASSERT_TRUE(session.shows_model_page("resized_narrower"));
    session.resize(300, 1000);
    ASSERT_TRUE(session.shows_model_page("resized_taller_only"));
    session.resize(WIDTH, HEIGHT);
    ASSERT_TRUE(session.shows_model_page("resized_back"));

    session.cover_and_uncover();
    ASSERT_TRUE(session.shows_model_page("exposed"));
    session.key("Down");
    ASSERT_TRUE(session.shows_model_page("after_expose"));

    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

// Under the sanitizers the validation layer stays off (ValidationLog), and
// the session still checks every page.
TEST(Window, FollowsEveryKeyTheWheelTheThumbAndResizesWithValidationSilent) {
    REQUIRE_DISPLAY();
    auto file = large_sparse_file();
    ValidationLog validation(std::filesystem::path(file->path()).parent_path().string());
    ViewerSession session(file->path(), validation.env());
    run_scripted_session(session);
    if (validation.enabled()) {
        ASSERT_TRUE(validation.ran()) << "the validation layer did not load";
    }
    EXPECT_EQ(validation.messages(), "");
    EXPECT_EQ(session.process().err(), "");
}

// Zoom keys resize the window as far as the screen allows; a short window
// shows the rows that fit, and every step follows them; full height again is
// the whole page again.
TEST(Window, ZoomAndAShortWindowShowTheRowsThatFit) {
    REQUIRE_DISPLAY();
    auto file = large_sparse_file();
    ViewerSession session(file->path());
    ASSERT_TRUE(session.shows_model_page("fit_start"));
    for (const char* keysym : {"equal", "equal", "minus", "0"}) {
        session.zoom_key(keysym);
        ASSERT_TRUE(session.shows_model_page(std::string("zoom_") + keysym)) << keysym;
    }
    session.resize(WIDTH, 15 + 14 * 20 + 9);
    ASSERT_TRUE(session.shows_model_page("short_window"));
    for (const char* keysym : {"Down", "Next", "Right", "Right", "Left", "End", "Up", "Home", "F5"}) {
        session.key(keysym);
        ASSERT_TRUE(session.shows_model_page(std::string("short_") + keysym)) << keysym;
    }
    const int y = session.thumb_grab_y();
    session.press_left(6, y);
    session.move_mouse(6, y + 100);
    session.release_left(6, y + 100);
    ASSERT_TRUE(session.shows_model_page("short_drag"));
    session.resize(WIDTH, HEIGHT);
    ASSERT_TRUE(session.shows_model_page("full_height_again"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0) << session.process().err();
}

// What a newcomer reaches for: the help beside the page and back, the
// character sets, n before any search, go-to $, the search prompt opening
// with the last search, a press held on the track, and the quitting keys.
TEST(Window, FirstHourHelpCharsetsTrackAndQuitting) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(16 * 1024, 7));
    file.write_at(10000, {'e', 'l', 'f'});
    ViewerSession session(file.path(), {}, {"--charset", "latin-1"});
    ASSERT_TRUE(session.shows_model_page("charset_latin1"));
    session.zoom_key("F1", KMOD_NONE);
    ASSERT_TRUE(session.shows_model_page("help_shown"));
    session.zoom_key("Escape", KMOD_NONE);
    ASSERT_TRUE(session.shows_model_page("help_hidden"));
    session.key_with("t", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("charset_cp437"));
    session.type("n");
    ASSERT_TRUE(session.shows_model_page("no_search_yet"));
    session.key_with("colon", KMOD_LSHIFT, ":");
    session.key_with("dollar", KMOD_LSHIFT, "$");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("goto_the_last_byte"));
    session.key("Home");
    session.key_with("slash", KMOD_NONE, "/");
    session.type("elf");  // typed in hexadecimal mode
    ASSERT_TRUE(session.shows_model_page("text_in_hex_mode"));
    session.key("Tab");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("found_elf", 20));
    session.key("Home");
    session.key_with("slash", KMOD_NONE, "/");  // opens with the last search
    session.key_with("w", KMOD_LCTRL);
    session.type("el");
    ASSERT_TRUE(session.shows_model_page("search_remembered_word_deleted"));
    session.key("Escape");
    session.key("Escape");
    const int z = session.model_zoom();
    session.hold_on_track(6 * z, (track_top + track_length / 2) * z, 1500);
    ASSERT_TRUE(session.shows_model_page("track_held_below_the_thumb"));
    EXPECT_GT(session.model_offset(), 4 * screen_step) << "repeated while held";
    session.key_with("q", KMOD_LCTRL);
    EXPECT_EQ(session.process().wait_exit(), 0);
    for (const bool ctrl_w : {false, true}) {
        ViewerSession again(file.path());
        ASSERT_TRUE(again.shows_model_page("before_quitting"));
        if (ctrl_w) {
            again.key_with("w", KMOD_LCTRL);
        } else {
            again.type("q");
        }
        EXPECT_EQ(again.process().wait_exit(), 0) << (ctrl_w ? "Ctrl+W" : "q");
    }
}

// The desktop's Xft.dpi of 192 asks for zoom 2 at start.
TEST(Window, StartZoomFollowsTheDesktopsDpi) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(100000, 31));
    DesktopResources resources("Xft.dpi:\t192\n");
    ViewerSession session(file.path());
    ASSERT_TRUE(session.has_window());
    EXPECT_EQ(session.model_zoom(), 2);
    ASSERT_TRUE(session.shows_model_page("start_at_zoom_2"));
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

TEST(Window, IdleViewerDrawsNothing) {
    REQUIRE_DISPLAY();
    TempFile file(random_bytes(100000, 4));
    const std::string counter = std::filesystem::path(file.path()).parent_path().string() + "/presents";
    ViewerSession session(file.path(), {"VK_LAYER_PATH=" QUIRN_LAYER_DIR ":/usr/share/vulkan/explicit_layer.d",
                                        "VK_INSTANCE_LAYERS=VK_LAYER_QUIRN_present_counter",
                                        "QUIRN_PRESENT_COUNT_FILE=" + counter});
    ASSERT_TRUE(session.shows_model_page("idle_start"));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(presents_in(counter), 2u) << "two frames at start, then none";

    session.key("Next");
    ASSERT_TRUE(session.shows_model_page("idle_one_key"));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(presents_in(counter), 3u) << "one key, one frame";

    session.key("Home");
    ASSERT_TRUE(session.shows_model_page("idle_home"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(presents_in(counter), 4u);
    session.key("Up");  // at the top already: no frame
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(presents_in(counter), 4u) << "a key that moves nothing draws nothing";
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

}  // namespace
