#include "e2e/viewer_session.h"

#include "core/command_line.h"

#include "support/page_compare.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Mouse input comes at a hand's pace: the viewer takes the mouse capture
// when it handles a press, one loop turn after the press.
const int mouse_pace_ms = 30;

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string title_property(Display* display, Window window) {
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, net_name, 0, 4096, False, utf8, &type, &format, &count, &remaining,
                           &data) == Success && data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

long window_pid(Display* display, Window window) {
    const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success && data) {
        if (count == 1) {
            pid = *reinterpret_cast<long*>(data);
        }
        XFree(data);
    }
    return pid;
}

// SDL puts its top-level windows straight under the root without a window
// manager; tests run side by side, so the window must be the child's own.
Window find_viewer_window(Display* display, pid_t owner) {
    Window root_return, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            if (window_pid(display, children[i]) == owner && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable && !attributes.override_redirect) {
                found = children[i];
            }
        }
        XFree(children);
    }
    return found;
}

SDL_Keycode sdl_key(const char* keysym) {
    static const std::map<std::string, SDL_Keycode> keys = {
        {"Up", SDLK_UP}, {"Down", SDLK_DOWN}, {"Prior", SDLK_PAGEUP}, {"Next", SDLK_PAGEDOWN},
        {"Left", SDLK_LEFT}, {"Right", SDLK_RIGHT}, {"Home", SDLK_HOME}, {"End", SDLK_END},
        {"F1", SDLK_F1}, {"F2", SDLK_F2}, {"F3", SDLK_F3}, {"F4", SDLK_F4}, {"F5", SDLK_F5}, {"F6", SDLK_F6},
        {"F7", SDLK_F7}, {"F8", SDLK_F8}, {"F9", SDLK_F9}, {"F10", SDLK_F10},
        {"Return", SDLK_RETURN}, {"Escape", SDLK_ESCAPE}, {"Tab", SDLK_TAB}, {"BackSpace", SDLK_BACKSPACE},
        {"space", SDLK_SPACE}, {"equal", SDLK_EQUALS}, {"minus", SDLK_MINUS},
    };
    const auto known = keys.find(keysym);
    return known != keys.end() ? known->second : SDL_Keycode(keysym[0]);  // a letter or digit is its own code
}

ViewerOptions with_env(const std::vector<std::string>& env, int input = -1) {
    ViewerOptions options;
    options.env = env;
    options.input = input;
    return options;
}

}  // namespace

ViewerProcess::ViewerProcess(const std::vector<std::string>& args, const ViewerOptions& options) {
    char pattern[] = "/tmp/quirn-viewer-XXXXXX";
    folder_ = mkdtemp(pattern);
    const std::string out_path = folder_ + "/stdout";
    const std::string err_path = folder_ + "/stderr";
    pid_ = fork();
    if (pid_ == 0) {
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        dup2(options.input >= 0 ? options.input : ::open("/dev/null", O_RDONLY), 0);
        for (const std::string& setting : options.env) {
            putenv(strdup(setting.c_str()));
        }
        const int uid = options.uid;
        if (uid >= 0 && (setgroups(0, nullptr) != 0 || setgid(gid_t(uid)) != 0 || setuid(uid_t(uid)) != 0)) {
            _exit(126);
        }
        std::vector<char*> argv;
        for (const std::string& arg : options.wrapper) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(const_cast<char*>(options.binary.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
}

ViewerProcess::~ViewerProcess() {
    if (running()) {
        kill(pid_, SIGKILL);
        wait_exit(5);
    }
    std::filesystem::remove_all(folder_);
}

bool ViewerProcess::running() {
    if (status_ >= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

int ViewerProcess::wait_exit(double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (running() && Clock::now() < deadline) {
        pause_ms(10);
    }
    return status_;
}

std::string ViewerProcess::out() const { return read_file(folder_ + "/stdout"); }
std::string ViewerProcess::err() const { return read_file(folder_ + "/stderr"); }

namespace {

std::vector<std::string> followed_by(std::vector<std::string> options, const std::string& path) {
    options.push_back(path);
    return options;
}

}  // namespace

ViewerSession::ViewerSession(const std::string& path, const std::vector<std::string>& env,
                             const std::vector<std::string>& options, int input, const std::string& model_path)
    : path_(path), model_path_(model_path), process_(followed_by(options, path), with_env(env, input)) {
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        return;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!window_ && process_.running() && Clock::now() < deadline) {
        window_ = find_viewer_window(display_, process_.pid());
        if (!window_) {
            pause_ms(20);
        }
    }
    if (window_) {
        XSelectInput(display_, window_, StructureNotifyMask);
        focus();
    }
    // The model opens what the viewer's command line names: one file, or a pair.
    model_words_ = followed_by(options, path_);
    model_words_.insert(model_words_.begin(), "quirn");
    std::vector<char*> argv;
    for (std::string& word : model_words_) argv.push_back(word.data());
    const CommandLine line = parse_command_line(int(argv.size()), argv.data());
    model_.set_fname(!model_path_.empty() ? model_path_.data() : line.path ? line.path : path_.data());
    model_.file_b.path = line.second_path;
    // The viewer may have zoomed its window for the desktop before drawing.
    XWindowAttributes attributes{};
    if (window_ && XGetWindowAttributes(display_, window_, &attributes) && attributes.width > model_.page_width()) {
        model_.set_zoom(attributes.width / model_.page_width());
        model_.win_width = attributes.width;
        model_.win_height = attributes.height;
        model_.fit_rows();
    }
    SDL_Event start{};  // the frames of the start, drawn for no event
    try {
        model_.load_file_window();  // as the viewer reads before its first frame
        model_.start_position = line.start;
        if (!line.charset.empty()) model_.charset = *charset_named(line.charset);
        model_.fields.format_argument = line.format;
        model_.fields.after_first_present = true;  // as the viewer is by the frames the tests compare
        model_.apply_start_position();
        model_.start_partition_read();
    } catch (const std::exception& e) {
        model_error_ = e.what();
    }
    apply_to_model(start);
}

ViewerSession::~ViewerSession() {
    if (display_) {
        XCloseDisplay(display_);
    }
}

std::string ViewerSession::title() { return window_ ? title_property(display_, window_) : ""; }

void ViewerSession::focus() {
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XRaiseWindow(display_, window_);
    sync();
}

void ViewerSession::sync() { XSync(display_, False); }

void ViewerSession::apply_to_model(const SDL_Event& event) {
    bool quit = false;
    model_.handle_event(event, quit);
    // A step by fields or a go-to by path is answered before the page is worked out.
    if (model_.fields.move_generation != 0) {
        while (model_.fields.worker.snapshot().running) pause_ms(2);
        model_.on_structure_notice();
    }
    if (!model_.need_redraw || !model_error_.empty()) {
        return;
    }
    // The model's own search runs to its end before the page is worked out.
    while (model_.find.searching && model_.search_worker.snapshot().running) {
        pause_ms(5);
    }
    if (model_.find.searching) {
        model_.on_search_notice();
    }
    // So does its scan for embedded files.
    while (model_.identify.scanning && model_.identify.scan_worker.snapshot().running) {
        pause_ms(5);
    }
    if (model_.identify.scanning) {
        model_.on_scan_notice();
    }
    // A look that finds nothing goes on once from the other end.
    for (int look = 0; look < 2 && model_.compare.looking; ++look) {
        while (model_.compare.worker.snapshot().running) {
            pause_ms(5);
        }
        model_.on_difference_notice();
    }

    try {
        // The model's frames follow the viewer's rule for owing another frame.
        do {
            model_.fill_view_block(model_ubo_);
            // The panel's type and partition lines are answered before the page is worked out.
            while (model_.identify.partition_worker.snapshot().running) {
                pause_ms(2);
            }
            model_.on_partition_notice();
            while (model_.identify.type_worker.snapshot().running) {
                pause_ms(2);
            }
            model_.on_type_notice();
            // So are the fields around the view.
            while (model_.fields.worker.snapshot().running) pause_ms(2);
            if (model_.fields.started) model_.on_structure_notice();
            model_overlay_ = model_.overlay_block();
            // The model's map, too, is made to its end first.
            model_.fill_map_record(model_overlay_);
            while (model_.file_map.worker.snapshot().running) {
                pause_ms(5);
            }
            model_.on_map_notice();
            while (model_.compare.map_worker.snapshot().running) {
                pause_ms(5);
            }
            if (model_.comparing()) model_.on_pair_map_notice();
            model_overlay_ = model_.overlay_block();  // the summary may be the label line's now
            model_.fill_map_record(model_overlay_);
            model_.fill_pair_record(model_overlay_);
            model_.fill_field_record(model_overlay_);
        } while (needs_another_frame(model_presents_++, std::exchange(model_.file_size_changed, false)));
    } catch (const std::exception& e) {
        model_error_ = e.what();
    }
    model_.need_redraw = false;
}

namespace {

SDL_Event key_event(const char* keysym) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = sdl_key(keysym);
    return event;
}

SDL_Event wheel_event(bool away_from_user) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = away_from_user ? 1 : -1;
    return event;
}

unsigned int wheel_button(bool away_from_user) { return away_from_user ? 4 : 5; }

}  // namespace

void ViewerSession::tap_key(unsigned char code, const SDL_Event& event) {
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    apply_to_model(event);
}

void ViewerSession::click_wheel(bool away_from_user) {
    XTestFakeButtonEvent(display_, wheel_button(away_from_user), True, CurrentTime);
    XTestFakeButtonEvent(display_, wheel_button(away_from_user), False, CurrentTime);
    apply_to_model(wheel_event(away_from_user));
}

void ViewerSession::key_burst(const char* keysym, int count) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    for (int i = 0; i < count; ++i) {
        tap_key(code, key_event(keysym));
    }
    sync();
}

void ViewerSession::wheel_burst(bool away_from_user, int count) {
    for (int i = 0; i < count; ++i) {
        click_wheel(away_from_user);
    }
    sync();
}

void ViewerSession::hide_and_show() {
    XUnmapWindow(display_, window_);
    sync();
    pause_ms(200);
    XMapWindow(display_, window_);
    sync();
    pause_ms(100);
    focus();
}

long ViewerSession::resident_kib() {
    std::istringstream status(read_file("/proc/" + std::to_string(process_.pid()) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

void ViewerSession::key(const char* keysym, bool shift) { key_with(keysym, shift ? KMOD_LSHIFT : KMOD_NONE); }

void ViewerSession::key_with(const char* keysym, SDL_Keymod modifiers, const char* text) {
    std::vector<KeyCode> held;
    for (const auto& [mod, name] : {std::pair{KMOD_LSHIFT, XK_Shift_L}, std::pair{KMOD_LCTRL, XK_Control_L},
                                    std::pair{KMOD_LALT, XK_Alt_L}, std::pair{KMOD_RALT, XK_ISO_Level3_Shift}}) {
        if (modifiers & mod) held.push_back(XKeysymToKeycode(display_, name));
    }
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    // Modifiers are read live when the key is handled, so they are held down
    // a while, as a person's finger would.
    for (KeyCode modifier : held) {
        XTestFakeKeyEvent(display_, modifier, True, CurrentTime);
    }
    if (!held.empty()) {
        sync();
        pause_ms(60);
    }
    SDL_SetModState(modifiers);
    SDL_Event event = key_event(keysym);
    event.key.keysym.mod = Uint16(modifiers);
    tap_key(code, event);
    SDL_SetModState(KMOD_NONE);
    if (text) {
        SDL_Event typed{};
        typed.type = SDL_TEXTINPUT;
        std::strncpy(typed.text.text, text, sizeof typed.text.text - 1);
        apply_to_model(typed);
    }
    sync();
    if (!held.empty()) {
        pause_ms(60);
        for (KeyCode modifier : held) {
            XTestFakeKeyEvent(display_, modifier, False, CurrentTime);
        }
        sync();
        // SDL takes a release followed within 2 ms by a press of the same key,
        // anywhere in its queue, for key repeat and drops the release.
        pause_ms(10);
    }
}

void ViewerSession::key_unmodelled(const char* keysym) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync();
}

void ViewerSession::key_with_unmodelled(const char* keysym, SDL_Keymod modifiers) {
    std::vector<KeyCode> held;
    if (modifiers & KMOD_LSHIFT) held.push_back(XKeysymToKeycode(display_, XK_Shift_L));
    if (modifiers & KMOD_LCTRL) held.push_back(XKeysymToKeycode(display_, XK_Control_L));
    for (KeyCode modifier : held) XTestFakeKeyEvent(display_, modifier, True, CurrentTime);
    sync();
    pause_ms(60);
    key_unmodelled(keysym);
    pause_ms(60);
    for (KeyCode modifier : held) XTestFakeKeyEvent(display_, modifier, False, CurrentTime);
    sync();
}

void ViewerSession::set_model_status(const std::string& status) {
    model_.find.prompt = FindState::Prompt();  // no prompt (Xlib defines None)
    model_.transfer.copy_menu = false;
    model_.hash.menu = false;
    model_.find.status = status;
    model_overlay_ = model_.overlay_block();
    model_.fill_map_record(model_overlay_);
    model_.fill_pair_record(model_overlay_);
}

void ViewerSession::file_changed() {
    SDL_Event notice{};
    notice.type = FileWatcher::event_type();
    apply_to_model(notice);
}

void ViewerSession::type(const std::string& text) {
    for (char c : text) {
        const std::string keysym = c == ' '    ? "space"
                                   : c == '\'' ? "apostrophe"
                                   : c == '.'  ? "period"
                                   : c == ','  ? "comma"
                                   : c == ']'  ? "bracketright"
                                   : c == '['  ? "bracketleft"
                                               : std::string(1, c);
        key_with(keysym.c_str(), KMOD_NONE, std::string(1, c).c_str());
    }
}

void ViewerSession::wheel(bool away_from_user) {
    click_wheel(away_from_user);
    sync();
}

void ViewerSession::absolute(int x, int y, int& root_x, int& root_y) {
    Window child;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &root_x, &root_y, &child);
}

void ViewerSession::move_mouse(int x, int y) {
    int root_x, root_y;
    absolute(x, y, root_x, root_y);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), root_x, root_y, CurrentTime);
    sync();
    pause_ms(mouse_pace_ms);
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    apply_to_model(event);
}

void ViewerSession::left_button(int x, int y, bool down) {
    move_mouse(x, y);
    XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
    sync();
    pause_ms(mouse_pace_ms);
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = x;
    event.button.y = y;
    apply_to_model(event);
}

void ViewerSession::press_left(int x, int y) { left_button(x, y, true); }

void ViewerSession::release_left(int x, int y) { left_button(x, y, false); }

void ViewerSession::shift_press_left(int x, int y) {
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    XTestFakeKeyEvent(display_, shift, True, CurrentTime);
    sync();
    pause_ms(60);
    SDL_SetModState(KMOD_LSHIFT);
    press_left(x, y);
    SDL_SetModState(KMOD_NONE);
    XTestFakeKeyEvent(display_, shift, False, CurrentTime);
    sync();
}

void ViewerSession::model_drag_scroll_to_rest() {
    SDL_Event step{};
    step.type = Application::drag_scroll_event();
    for (;;) {
        const int64_t offset = model_.offset;
        const uint64_t moving = model_.selection.moving;
        apply_to_model(step);
        if (model_.offset == offset && model_.selection.moving == moving) return;
    }
}

void ViewerSession::resize(int width, int height) {
    XResizeWindow(display_, window_, unsigned(width), unsigned(height));
    sync();
    model_resized(width, height);
}

void ViewerSession::model_resized(int width, int height) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_RESIZED;
    event.window.data1 = width;
    event.window.data2 = height;
    apply_to_model(event);
}

void ViewerSession::hold_on_track(int x, int y, int ms) {
    left_button(x, y, true);
    pause_ms(ms);
    SDL_Event step{};
    step.type = Application::track_repeat_event();
    for (int64_t offset = -1; offset != model_.offset;) {
        offset = model_.offset;
        apply_to_model(step);
    }
    left_button(x, y, false);
}

void ViewerSession::zoom_key(const char* keysym, SDL_Keymod modifiers) {
    // With Ctrl held SDL still reports these keys' characters as typed.
    const std::string name(keysym);
    key_with(keysym, modifiers, name == "equal" ? "=" : name == "minus" ? "-" : name == "0" ? "0" : nullptr);
    // The viewer sizes its window for the zoom (or the panel), as far as the screen allows;
    // the model learns the size it got.
    XWindowAttributes attributes{};
    for (int i = 0; i < 100; ++i) {
        pause_ms(20);
        XGetWindowAttributes(display_, window_, &attributes);
        if (attributes.width == model_.win_width) break;
    }
    model_resized(attributes.width, attributes.height);
}

void ViewerSession::cover_and_uncover() {
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, window_, &attributes);
    int root_x, root_y;
    absolute(0, 0, root_x, root_y);
    XSetWindowAttributes cover_attributes{};
    cover_attributes.override_redirect = True;
    cover_attributes.background_pixel = WhitePixel(display_, DefaultScreen(display_));
    const Window cover = XCreateWindow(display_, DefaultRootWindow(display_), root_x, root_y,
                                       unsigned(attributes.width), unsigned(attributes.height), 0, CopyFromParent,
                                       InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &cover_attributes);
    XMapRaised(display_, cover);
    sync();
    pause_ms(300);
    XDestroyWindow(display_, cover);
    sync();
    focus();
}

void ViewerSession::close() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window_, False, NoEventMask, &event);
    sync();
}

std::vector<uint8_t> ViewerSession::capture(int& width, int& height) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, window_, &attributes);
    width = attributes.width;
    height = attributes.height;
    XImage* image = XGetImage(display_, window_, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    std::vector<uint8_t> bgra(size_t(width) * size_t(height) * 4);
    if (!image) {
        return bgra;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            uint8_t* out = &bgra[(size_t(y) * size_t(width) + size_t(x)) * 4];
            out[0] = uint8_t(pixel);
            out[1] = uint8_t(pixel >> 8);
            out[2] = uint8_t(pixel >> 16);
            out[3] = 255;
        }
    }
    XDestroyImage(image);
    return bgra;
}

::testing::AssertionResult ViewerSession::shows_model_page(const std::string& name, double seconds) {
    if (!window_) {
        return ::testing::AssertionFailure() << "no viewer window";
    }
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int width, height;
        const std::vector<uint8_t> pixels = capture(width, height);
        const bool last_try = Clock::now() >= deadline || !process_.running();
        ::testing::AssertionResult result =
            page_matches(name, model_ubo_, pixels, uint32_t(width), uint32_t(height), false, last_try, &model_overlay_,
                         model_.comparing());
        if (result || last_try) {
            return result;
        }
        pause_ms(50);
    }
}

DesktopResources::DesktopResources(const std::string& resources) : display_(XOpenDisplay(nullptr)) {
    if (display_) {
        XChangeProperty(display_, DefaultRootWindow(display_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.data()), int(resources.size()));
        XSync(display_, False);
    }
}

DesktopResources::~DesktopResources() {
    if (display_) {
        XDeleteProperty(display_, DefaultRootWindow(display_), XA_RESOURCE_MANAGER);
        XCloseDisplay(display_);
    }
}

ValidationLog::ValidationLog(const std::string& folder) : log_(folder + "/validation.log") {
#ifndef QUIRN_SANITIZE
    const std::string settings = folder + "/vk_layer_settings.txt";
    std::ofstream file(settings);
    file << "khronos_validation.report_flags = error,warn,perf\n"
         << "khronos_validation.debug_action = VK_DBG_LAYER_ACTION_LOG_MSG\n"
         << "khronos_validation.log_filename = " << log_ << "\n"
         << "khronos_validation.enables = VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT\n";
    env_ = {"VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation", "VK_LAYER_SETTINGS_PATH=" + settings};
#endif
}

std::string ValidationLog::messages() const { return read_file(log_); }

bool ValidationLog::ran() const { return std::filesystem::exists(log_); }

bool is_extension_count_line(const std::string& out) {
    static const std::regex line("Number of extensions: [0-9]+\n");
    return std::regex_match(out, line);
}

unsigned long presents_in(const std::string& count_file) {
    return std::strtoul(read_file(count_file).c_str(), nullptr, 10);
}
