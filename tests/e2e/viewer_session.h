#pragma once

#include "core/application.h"
#include "core/page_rules.h"
#include "render/view_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#ifndef QUIRN_BINARY
#error "QUIRN_BINARY must name the viewer under test"
#endif

struct _XDisplay;  // Xlib's Display; its header defines macros that clash with GoogleTest

struct ViewerOptions {
    std::vector<std::string> env;       // NAME=VALUE added to the environment; NAME alone removes it
    int uid = -1;                       // run as this user and its group of the same number
    std::vector<std::string> wrapper;   // run under this command (such as strace)
    std::string binary = QUIRN_BINARY;  // the viewer to run
    int input = -1;                     // its standard input; /dev/null unless given
};

// The built viewer as a child process, with its standard output and error
// collected in files.
class ViewerProcess {
public:
    explicit ViewerProcess(const std::vector<std::string>& args, const ViewerOptions& options = {});
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    // The exit status (a signal counts as 128 + its number), or -1 after the time-out.
    int wait_exit(double seconds = 20);
    bool running();
    std::string out() const;
    std::string err() const;
    pid_t pid() const { return pid_; }

private:
    std::string folder_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// The viewer on one file in a real window of the virtual X server, driven
// with XTest input and read back pixel by pixel. Beside it runs a model: the
// viewer's own navigation and view block code fed the same events, which
// says what page each step must show.
class ViewerSession {
public:
    // `options` go before the path on the viewer's command line, and the
    // model starts where they say.
    // For `-`, the viewer reads standard input from `input`, and the model
    // reads `model_path`, which the test keeps holding the same bytes.
    explicit ViewerSession(const std::string& path, const std::vector<std::string>& env = {},
                           const std::vector<std::string>& options = {}, int input = -1,
                           const std::string& model_path = "");
    ~ViewerSession();

    bool has_window() const { return window_ != 0; }
    std::string title();
    ViewerProcess& process() { return process_; }

    void key(const char* keysym, bool shift = false);
    // A key with modifiers held (KMOD_RALT is AltGr, where the layout has
    // one); `text` is what SDL reports as typed with it.
    void key_with(const char* keysym, SDL_Keymod modifiers, const char* text = nullptr);
    // Types text of letters, digits, spaces, dots and apostrophes, key by key.
    void type(const std::string& text);
    // A key for the viewer alone, where the model cannot follow its timing.
    void key_unmodelled(const char* keysym);
    // The same with modifiers held, such as the copy keys, whose worker the model does not run.
    void key_with_unmodelled(const char* keysym, SDL_Keymod modifiers);
    // What the viewer shows after such keys: no prompt or menu, and this status.
    void set_model_status(const std::string& status);
    // The test changed the file: the model takes the notice the viewer's
    // watcher sends, and reads the file as it is now.
    void file_changed();
    // The model's standing status segments, which the test puts as the viewer would.
    StatusLine& model_status_line() { return model_.status_line; }
    void wheel(bool away_from_user);
    void press_left(int x, int y);
    void move_mouse(int x, int y);
    void release_left(int x, int y);
    // A press with Shift held.
    void shift_press_left(int x, int y);
    // The viewer's drag held above or below the rows scrolls on a timer; the
    // model takes those steps until they change nothing, as at the file's end.
    void model_drag_scroll_to_rest();
    void resize(int width, int height);
    // A key that sizes the window: with Ctrl a zoom key (equal, minus, 0) or
    // i; F1 or Esc for the help.
    void zoom_key(const char* keysym, SDL_Keymod modifiers = KMOD_LCTRL);
    // A press held on the scrollbar's track for `ms`: the viewer repeats its
    // steps on a timer, the model until the thumb reaches the pointer.
    void hold_on_track(int x, int y, int ms);
    void cover_and_uncover();
    void hide_and_show();
    void close();

    // Input as fast as the X server takes it, with no pause between events.
    void key_burst(const char* keysym, int count);
    void wheel_burst(bool away_from_user, int count);

    long resident_kib();

    // Waits until the window shows the model's page (every pixel the window
    // has), or fails with the mismatch after the time-out.
    ::testing::AssertionResult shows_model_page(const std::string& name, double seconds = 10);
    std::vector<uint8_t> capture(int& width, int& height);
    int64_t model_offset() const { return model_.offset; }
    const Selection& model_selection() const { return model_.selection; }
    std::string model_label_line() const { return model_.label_line(); }
    const CompareState& model_compare() const { return model_.compare; }
    int model_zoom() const { return model_.zoom; }
    uint64_t model_file_size() const { return model_.file_size; }
    // A y that grabs the thumb of the model's page.
    int thumb_grab_y() const {
        const int rows = model_.rows;
        return int((thumb_top(model_.offset, model_.file_size, rows) + min_thumb_for(rows) / 2) * model_.zoom);
    }

private:
    void apply_to_model(const SDL_Event& event);
    void model_resized(int width, int height);
    void tap_key(unsigned char code, const SDL_Event& event);
    void click_wheel(bool away_from_user);
    void left_button(int x, int y, bool down);
    void focus();
    void sync();
    void absolute(int x, int y, int& root_x, int& root_y);

    std::string path_;
    std::string model_path_;
    ViewerProcess process_;
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    Application model_;
    UniformBufferObject model_ubo_{};
    OverlayBlock model_overlay_{};
    std::vector<std::string> model_words_;  // the command line, whose paths the model borrows
    std::string model_error_;
    uint64_t model_presents_ = 0;
};

// X resources on the root window of the test's X server (as a desktop's
// xrdb sets them) for as long as the object lives.
class DesktopResources {
public:
    explicit DesktopResources(const std::string& resources);
    ~DesktopResources();
    DesktopResources(const DesktopResources&) = delete;
    DesktopResources& operator=(const DesktopResources&) = delete;

private:
    _XDisplay* display_;
};

// The Khronos validation layer, switched on from outside through the loader's
// environment, with synchronization validation, logging to a file. Under the
// sanitizers it stays off: its own leaks could not be told from the viewer's.
class ValidationLog {
public:
    explicit ValidationLog(const std::string& folder);
    const std::vector<std::string>& env() const { return env_; }
    // Every message the layer logged; "" also when it is off.
    std::string messages() const;
    // True when the layer ran (it creates its log at start).
    bool ran() const;
    bool enabled() const { return !env_.empty(); }

private:
    std::string log_;
    std::vector<std::string> env_;
};

// Window tests skip without an X server; scripts/test starts one.
#define REQUIRE_DISPLAY() \
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (scripts/test starts one)"

// The one line a start prints on standard output, and nothing else.
bool is_extension_count_line(const std::string& out);

// Frames presented so far, as counted by the test layer (0 before the first).
unsigned long presents_in(const std::string& count_file);
