#include "core/application.h"
#include "core/page_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

SDL_Event key(SDL_Keycode sym) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = sym;
    return event;
}

SDL_Event window_event(Uint8 id, int width = 0, int height = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = id;
    event.window.data1 = width;
    event.window.data2 = height;
    return event;
}

SDL_Event wheel(int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = y;
    return event;
}

SDL_Event button(Uint32 type, int x, int y, Uint8 which = SDL_BUTTON_LEFT) {
    SDL_Event event{};
    event.type = type;
    event.button.button = which;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event motion(int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = 400;  // the drag follows y wherever x is
    event.motion.y = y;
    return event;
}

// A viewer that has drawn its frames and waits: nothing asks for a redraw.
class Navigation : public ::testing::Test {
protected:
    void SetUp() override {
        app.need_redraw = false;
        SDL_SetModState(KMOD_NONE);
    }
    void TearDown() override { SDL_SetModState(KMOD_NONE); }

    void send(const SDL_Event& event) {
        bool quit = false;
        app.handle_event(event, quit);
    }
    void press(SDL_Keycode sym) { send(key(sym)); }
    void at(int64_t offset, uint64_t file_size = 1 << 30) {
        app.offset = offset;
        app.file_size = file_size;
        app.need_redraw = false;
    }

    Application app;
};

TEST_F(Navigation, StepKeysMoveByRowPageAndScreen) {
    const std::pair<SDL_Keycode, int64_t> steps[] = {
        {SDLK_DOWN, 16}, {SDLK_UP, -16}, {SDLK_PAGEDOWN, 256}, {SDLK_PAGEUP, -256}, {SDLK_RIGHT, 1184}, {SDLK_LEFT, -1184},
    };
    for (const auto& [sym, delta] : steps) {
        at(100000);
        press(sym);
        EXPECT_EQ(app.offset, 100000 + delta) << SDL_GetKeyName(sym);
        EXPECT_TRUE(app.need_redraw) << SDL_GetKeyName(sym);
    }
}

TEST_F(Navigation, BackwardStepsStopAtZero) {
    at(96);
    press(SDLK_PAGEUP);
    EXPECT_EQ(app.offset, 0);
    EXPECT_TRUE(app.need_redraw);

    at(16);
    press(SDLK_UP);
    EXPECT_EQ(app.offset, 0);

    at(1000);
    press(SDLK_LEFT);
    EXPECT_EQ(app.offset, 0);
}

TEST_F(Navigation, BackwardStepAtZeroAsksForNoFrame) {
    for (SDL_Keycode sym : {SDLK_UP, SDLK_PAGEUP, SDLK_LEFT, SDLK_HOME, SDLK_F3}) {
        SDL_SetModState(KMOD_LSHIFT);
        at(0);
        press(sym);
        EXPECT_EQ(app.offset, 0) << SDL_GetKeyName(sym);
        EXPECT_FALSE(app.need_redraw) << SDL_GetKeyName(sym);
    }
    at(0);
    send(wheel(1));
    EXPECT_FALSE(app.need_redraw);
}

TEST_F(Navigation, ForwardStepHasNoUpperBoundUntilTheFrameClamps) {
    at(992, 1000);
    press(SDLK_DOWN);
    EXPECT_EQ(app.offset, 1008);
    EXPECT_TRUE(app.need_redraw);
}

TEST(PageRules, EndShowsTheLast74Rows) {
    EXPECT_EQ(end_target(5000), 3808);
    EXPECT_EQ(end_target(2000), 816);
    EXPECT_EQ(end_target(10000), 8816);
    for (uint64_t size : {0u, 5u, 1184u}) {
        EXPECT_EQ(end_target(size), 0) << size;
    }
}

TEST_F(Navigation, EndMovesOnlyWhenNotThereAndGoesHomeOnShortFiles) {
    at(0, 5000);
    press(SDLK_END);
    EXPECT_EQ(app.offset, 3808);
    EXPECT_TRUE(app.need_redraw);
    at(3808, 5000);
    press(SDLK_END);
    EXPECT_FALSE(app.need_redraw) << "already at the end";
    at(48, 1184);
    press(SDLK_END);
    EXPECT_EQ(app.offset, 0);
    EXPECT_TRUE(app.need_redraw);
}

TEST_F(Navigation, HomeGoesToZero) {
    at(123456);
    press(SDLK_HOME);
    EXPECT_EQ(app.offset, 0);
    EXPECT_TRUE(app.need_redraw);
}

TEST_F(Navigation, FunctionKeysJumpByPowersOfTwoAndShiftReverses) {
    const std::pair<SDL_Keycode, int64_t> jumps[] = {
        {SDLK_F3, int64_t{1} << 12}, {SDLK_F4, int64_t{1} << 16}, {SDLK_F5, int64_t{1} << 20},
        {SDLK_F6, int64_t{1} << 24}, {SDLK_F7, int64_t{1} << 28}, {SDLK_F8, int64_t{1} << 32},
        {SDLK_F9, int64_t{1} << 36},
    };
    const int64_t middle = int64_t{1} << 40;
    for (const auto& [sym, delta] : jumps) {
        SDL_SetModState(KMOD_NONE);
        at(middle);
        press(sym);
        EXPECT_EQ(app.offset, middle + delta) << SDL_GetKeyName(sym);

        for (SDL_Keymod shift : {KMOD_LSHIFT, KMOD_RSHIFT}) {
            SDL_SetModState(shift);
            at(middle);
            press(sym);
            EXPECT_EQ(app.offset, middle - delta) << SDL_GetKeyName(sym);
        }
    }
    SDL_SetModState(KMOD_LSHIFT);
    at(4096 + 32);
    press(SDLK_F5);
    EXPECT_EQ(app.offset, 0) << "Shift+F5 near the start lands on 0";
}

TEST_F(Navigation, ShiftReversesOnlyTheFunctionKeys) {
    SDL_SetModState(KMOD_LSHIFT);
    at(1600);
    press(SDLK_UP);
    EXPECT_EQ(app.offset, 1584);
    press(SDLK_PAGEDOWN);
    EXPECT_EQ(app.offset, 1840);
}

TEST_F(Navigation, OtherKeysDoNothing) {
    for (SDL_Keycode sym : {SDLK_F10, SDLK_F11, SDLK_F12, SDLK_a, SDLK_RETURN, SDLK_SPACE}) {
        at(4096);
        press(sym);
        EXPECT_EQ(app.offset, 4096) << SDL_GetKeyName(sym);
        EXPECT_FALSE(app.need_redraw) << SDL_GetKeyName(sym);
    }
}

TEST_F(Navigation, WheelMovesOneRowPerEvent) {
    at(1600);
    send(wheel(-7));
    EXPECT_EQ(app.offset, 1616);
    send(wheel(3));
    EXPECT_EQ(app.offset, 1600);
    app.need_redraw = false;
    send(wheel(0));
    EXPECT_EQ(app.offset, 1600);
    EXPECT_FALSE(app.need_redraw);
}

TEST_F(Navigation, ResizeIsAcceptedWhenEitherSideChanges) {
    send(window_event(SDL_WINDOWEVENT_RESIZED, 500, 1000));
    EXPECT_EQ(app.win_width, 500);
    EXPECT_EQ(app.win_height, 1000);
    EXPECT_TRUE(app.framebufferResized);
    EXPECT_TRUE(app.need_redraw);

    app.framebufferResized = app.need_redraw = false;
    send(window_event(SDL_WINDOWEVENT_RESIZED, 500, 1000));
    EXPECT_FALSE(app.framebufferResized) << "same size again";
    EXPECT_FALSE(app.need_redraw);

    send(window_event(SDL_WINDOWEVENT_RESIZED, 600, 1000));
    EXPECT_EQ(app.win_width, 600);
    EXPECT_TRUE(app.framebufferResized) << "a width-only resize must be drawn";

    app.framebufferResized = app.need_redraw = false;
    send(window_event(SDL_WINDOWEVENT_RESIZED, 600, 900));
    EXPECT_EQ(app.win_height, 900);
    EXPECT_TRUE(app.framebufferResized) << "a height-only resize must be drawn";
}

TEST_F(Navigation, ExposureAndRestoreAskForAFrame) {
    for (Uint8 id : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_RESTORED}) {
        app.need_redraw = false;
        send(window_event(id));
        EXPECT_TRUE(app.need_redraw) << int(id);
        EXPECT_FALSE(app.framebufferResized) << int(id);
    }
    for (Uint8 id : {SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_MOVED, SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_SIZE_CHANGED}) {
        app.need_redraw = false;
        send(window_event(id, 10, 10));
        EXPECT_FALSE(app.need_redraw) << int(id);
    }
}

// 1200 / 100000 * 1048 is below the minimum, so the thumb is 40 pixels: y 15 < y < 55 at the start.
TEST(PageRules, ThumbHitTestIsStrictOnEveryEdge) {
    struct Press { int x, y; bool hit; } presses[] = {
        {5, 30, true}, {3, 16, true}, {10, 54, true},
        {2, 30, false}, {11, 30, false}, {5, 15, false}, {5, 55, false}, {5, 600, false},
    };
    for (const Press& p : presses) {
        EXPECT_EQ(thumb_hit(p.x, p.y, 0, 100000), p.hit) << p.x << "," << p.y;
    }
    // Half way through a large file the 40-pixel thumb's top is at 15 + 0.5 * 1008 = 519.
    EXPECT_FALSE(thumb_hit(6, 519, 500000, 1000000));
    EXPECT_TRUE(thumb_hit(6, 520, 500000, 1000000));
    EXPECT_FALSE(thumb_hit(6, 30, 0, 0)) << "an empty file has no thumb";
    EXPECT_DOUBLE_EQ(thumb_length(600), 2096.0) << "no upper cap below one page";
}

TEST_F(Navigation, PressOnTheThumbStartsADragAndMovesNothing) {
    at(500000, 1000000);
    send(button(SDL_MOUSEBUTTONDOWN, 6, 519));
    EXPECT_FALSE(app.dragging);
    EXPECT_EQ(app.offset, 500000 - screen_step) << "the track above the thumb: a screen up";
    send(button(SDL_MOUSEBUTTONUP, 6, 519));
    EXPECT_EQ(app.track_press.timer, 0) << "the repeat ends with the press";
    at(500000, 1000000);
    send(button(SDL_MOUSEBUTTONDOWN, 6, 520, SDL_BUTTON_RIGHT));
    EXPECT_FALSE(app.dragging) << "another button";
    send(button(SDL_MOUSEBUTTONDOWN, 6, 520));
    EXPECT_TRUE(app.dragging);
    EXPECT_EQ(app.drag_start_offset, 500000);
    EXPECT_EQ(app.drag_start_y, 520.0);
    EXPECT_FALSE(app.need_redraw);
}

// 16128 bytes over 1008 pixels of travel: 16 bytes per pixel.
TEST_F(Navigation, DragMovesByFileSizeOverTravel) {
    at(0, 16128);
    send(button(SDL_MOUSEBUTTONDOWN, 6, 20));
    ASSERT_TRUE(app.dragging);
    send(motion(30));
    EXPECT_EQ(app.offset, 160);
    EXPECT_TRUE(app.need_redraw);
    send(motion(25));
    EXPECT_EQ(app.offset, 80);

    send(button(SDL_MOUSEBUTTONUP, 300, 2000));
    EXPECT_FALSE(app.dragging);
    app.need_redraw = false;
    send(motion(100));
    EXPECT_EQ(app.offset, 80) << "no drag after the release";
    EXPECT_FALSE(app.need_redraw);
}

TEST(PageRules, DragRoundsTowardZero) {
    // 8064 bytes over 1008 pixels: 8 bytes per pixel.
    EXPECT_EQ(drag_offset(151, 150, 800, 8064), 800) << "8 bytes down is less than a row";
    EXPECT_EQ(drag_offset(149, 150, 800, 8064), 784) << "any upward move goes back a row";
    EXPECT_EQ(drag_offset(-5000, 150, 800, 8064), 0) << "above the track";
    EXPECT_EQ(drag_offset(1e300, 0, 0, uint64_t{1} << 40), 9000000000000000000) << "far below stays in range";
}

TEST(PageRules, EndOfFileClampKeepsTheEndItself) {
    EXPECT_EQ(clamp_to_file(1008, 1000), 992);
    EXPECT_EQ(clamp_to_file(4096, 4096), 4096);
    EXPECT_EQ(clamp_to_file(int64_t{1} << 40, 0), 0);
}

// Every row count a window can show: its geometry, and the full page's at 75.
TEST(PageRules, RowsThatFitAndTheirGeometry) {
    for (int rows = 1; rows <= page_rows; ++rows) {
        EXPECT_EQ(rows_for_height(label_height + row_height * rows + status_height), rows);
        EXPECT_EQ(rows_for_height(label_height + row_height * rows + status_height + row_height - 1), rows);
        EXPECT_EQ(rows_for_height(label_height + row_height * rows + status_height - 1), std::max(rows - 1, 1))
            << "the status line counts";
        EXPECT_EQ(track_length_for(rows), 14 * rows - 2);
        EXPECT_EQ(screen_step_for(rows), rows == 1 ? 16 : 16 * (rows - 1));
        EXPECT_EQ(end_target(100000, rows), int64_t((100000 - screen_step_for(rows)) & ~15)) << rows;
        const double length = thumb_length(100000, rows);
        EXPECT_DOUBLE_EQ(length, std::min(40, 14 * rows - 2)) << "the minimum thumb, at most the track";
        // The thumb's last pixel row stays on the track, and a drag down the
        // whole travel reaches the end of the file.
        EXPECT_LE(thumb_top(100000, 100000, rows) + length, double(track_top + track_length_for(rows)));
        if (rows > 3) {
            EXPECT_TRUE(thumb_hit(5, track_top + 1, 0, 100000, rows)) << rows;
            EXPECT_NEAR(double(drag_offset(track_top + track_length_for(rows) - length, track_top, 0, 100000, rows)),
                        100000.0, 16.0);
        }
    }
    EXPECT_EQ(rows_for_height(0), 1);
    EXPECT_EQ(rows_for_height(5000), page_rows);
    EXPECT_EQ(track_length_for(page_rows), track_length);
    EXPECT_EQ(screen_step_for(page_rows), screen_step);
    EXPECT_EQ(thumb_scale_for(page_rows), thumb_scale);
    EXPECT_EQ(rows_bottom_for(page_rows), rows_bottom);
    EXPECT_EQ(status_top_for(page_rows) + status_height, canvas_height);
}

TEST(PageRules, ZoomForTheDesktopsDpi) {
    const std::pair<double, int> cases[] = {{0, 1}, {96, 1}, {120, 1}, {144, 2}, {192, 2}, {288, 3}, {384, 4}, {960, 4}};
    for (const auto& [dpi, zoom] : cases) {
        EXPECT_EQ(zoom_for_dpi(dpi), zoom) << dpi;
    }
}

TEST_F(Navigation, ZoomKeysAndAShortWindowScaleEveryStep) {
    send(window_event(SDL_WINDOWEVENT_RESIZED, 364, 15 + 14 * 10 + 14 + 5));
    EXPECT_EQ(app.rows, 10);
    at(100000, 1 << 20);
    press(SDLK_RIGHT);
    EXPECT_EQ(app.offset, 100000 + 16 * 9) << "a screen step keeps one row of ten";
    at(0, 10000);
    press(SDLK_END);
    EXPECT_EQ(app.offset, (10000 - 144) & ~15);

    SDL_Event zoom_in = key(SDLK_EQUALS);
    zoom_in.key.keysym.mod = KMOD_LCTRL;
    send(zoom_in);
    EXPECT_EQ(app.zoom, 2);
    EXPECT_EQ(app.rows, page_rows) << "the window is made tall enough where nothing limits it";
    EXPECT_TRUE(app.framebufferResized);
    // At zoom 2 the thumb's band and travel are twice as wide in window pixels.
    at(0, 100000);
    send(button(SDL_MOUSEBUTTONDOWN, 4, 2 * 15 + 4));
    EXPECT_FALSE(app.dragging) << "x 4 is canvas x 2, the band's left edge at zoom 2";
    send(button(SDL_MOUSEBUTTONDOWN, 7, 2 * 15 + 4));
    ASSERT_TRUE(app.dragging);
    send(motion(2 * 15 + 4 + 2 * 1008));
    EXPECT_NEAR(double(app.offset), 100000.0, 16.0) << "the whole travel, in window pixels at zoom 2";
    SDL_Event reset = key(SDLK_0);
    reset.key.keysym.mod = KMOD_LCTRL;
    send(reset);
    EXPECT_EQ(app.zoom, 1);
}

// A key pressed with Ctrl or Alt types nothing into a prompt, whatever text
// SDL reports with it; AltGr (right Alt under X11, Mode, or Ctrl+Alt) types
// the character it makes, but not the key's own, and not where the key is
// a command itself.
TEST_F(Navigation, OnlyTypingKeysTypeIntoAPrompt) {
    app.find.prompt = FindState::Prompt::Goto;
    const auto type = [&](SDL_Keycode sym, Uint16 mod, const char* text) {
        SDL_Event down = key(sym);
        down.key.keysym.mod = mod;
        send(down);
        SDL_Event typed{};
        typed.type = SDL_TEXTINPUT;
        std::strcpy(typed.text.text, text);
        send(typed);
    };
    type(SDLK_1, KMOD_NONE, "1");
    type(SDLK_0, KMOD_LCTRL, "0");
    type(SDLK_c, KMOD_LALT, "c");
    type(SDLK_c, KMOD_RALT, "c");
    type(SDLK_c, KMOD_RALT | KMOD_LSHIFT, "C");
    type(SDLK_q, KMOD_RALT, "@");
    type(SDLK_e, KMOD_MODE, "\xe2\x82\xac");
    type(SDLK_2, KMOD_LCTRL | KMOD_LALT, "\xc2\xb2");
    type(SDLK_a, KMOD_LSHIFT, "A");
    EXPECT_EQ(app.find.input, "1@\xe2\x82\xac\xc2\xb2" "A");
    EXPECT_EQ(app.zoom, 1) << "Ctrl+0 still resets the zoom";
    app.find.prompt = FindState::Prompt::Search;
    app.find.text_mode = true;
    type(SDLK_c, KMOD_RALT, "\xc2\xa2");  // AltGr+C on a German keyboard
    EXPECT_TRUE(app.find.ignore_case);
    EXPECT_EQ(app.find.input, "1@\xe2\x82\xac\xc2\xb2" "A") << "a key that toggles types nothing";
}

}  // namespace

namespace {

void type_text(Application& app, SDL_Keycode sym, const char* text, Uint16 mod = KMOD_NONE) {
    bool quit = false;
    SDL_Event down = key(sym);
    down.key.keysym.mod = mod;
    app.handle_event(down, quit);
    SDL_Event typed{};
    typed.type = SDL_TEXTINPUT;
    std::strcpy(typed.text.text, text);
    app.handle_event(typed, quit);
}

// The search prompt opens with the last search: Enter would run it again,
// the first character typed replaces it, and the editing keys edit it.
TEST_F(Navigation, TheSearchPromptOpensWithTheLastSearchAndTypingReplacesIt) {
    app.find.last_input = "7f 45";
    const auto reopen = [&] {
        press(SDLK_ESCAPE);
        type_text(app, SDLK_SLASH, "/");
        EXPECT_EQ(app.find.input, "7f 45");
    };
    reopen();
    type_text(app, SDLK_a, "a");
    type_text(app, SDLK_b, "b");
    EXPECT_EQ(app.find.input, "ab") << "the first character replaced the last search, the next one added";
    reopen();
    press(SDLK_BACKSPACE);
    type_text(app, SDLK_6, "6");
    EXPECT_EQ(app.find.input, "7f 46");
    reopen();
    SDL_Event ctrl_w = key(SDLK_w);
    ctrl_w.key.keysym.mod = KMOD_LCTRL;
    send(ctrl_w);
    type_text(app, SDLK_0, "0");
    EXPECT_EQ(app.find.input, "7f 0");
    reopen();
    SDL_Event ctrl_u = key(SDLK_u);
    ctrl_u.key.keysym.mod = KMOD_LCTRL;
    send(ctrl_u);
    EXPECT_EQ(app.find.input, "");
    reopen();
    press(SDLK_TAB);
    type_text(app, SDLK_x, "x");
    EXPECT_EQ(app.find.input, "x") << "switching the mode keeps the last search to replace";
    press(SDLK_ESCAPE);
    app.find.last_input.clear();
    type_text(app, SDLK_g, "g", KMOD_LCTRL);
    type_text(app, SDLK_1, "1");
    type_text(app, SDLK_2, "2");
    EXPECT_EQ(app.find.input, "12") << "the go-to prompt opens empty";
}

// A go-to to a byte of the last page shows the last page as End does, the
// target selected; any other target becomes the first shown row.
TEST_F(Navigation, AGoToInTheLastPageShowsItAsEndDoes) {
    struct Case {
        const char* typed;
        int rows;
        int64_t offset;
        uint64_t selected;
    };
    const Case cases[] = {
        {"$", page_rows, end_target(5000), 4999},
        {"$-10", page_rows, end_target(5000), 5000 - 0x10},
        {"#3900", page_rows, end_target(5000), 3900},
        {"100", page_rows, 0x100, 0x100},
        {"$", 27, end_target(5000, 27), 4999},
        {"#3900", 27, 3888, 3900},
    };
    for (const Case& c : cases) {
        at(0, 5000);
        app.rows = c.rows;
        type_text(app, SDLK_g, "g", KMOD_LCTRL);
        for (const char* ch = c.typed; *ch; ++ch) {
            const char one[2] = {*ch, 0};
            type_text(app, SDLK_1, one);
        }
        press(SDLK_RETURN);
        EXPECT_EQ(app.find.prompt, FindState::Prompt::None) << c.typed;
        EXPECT_EQ(app.offset, c.offset) << c.typed << " in " << c.rows << " rows";
        EXPECT_EQ(app.selection.first(), c.selected) << c.typed;
    }
    EXPECT_EQ(view_for_target(4999, 1000), 0) << "a file shorter than a page shows from its start";
}

}  // namespace
