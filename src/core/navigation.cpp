#include "core/application.h"

#include "core/page_rules.h"
#include "render/page_geometry.h"

#include <cstdint>

namespace {

// A press held on the track: a first step at once, the next after a pause,
// then steady steps, as toolkits repeat.
const Uint32 track_first_repeat_ms = 300;
const Uint32 track_repeat_ms = 60;

// On SDL's timer thread: only asks the main thread for a step.
Uint32 push_track_repeat(Uint32, void*) {
    SDL_Event event{};
    event.type = Application::track_repeat_event();
    SDL_PushEvent(&event);
    return track_repeat_ms;
}

int64_t function_key_step(SDL_Keycode key) {
    switch (key) {
        case SDLK_F3: return int64_t{1} << 12;
        case SDLK_F4: return int64_t{1} << 16;
        case SDLK_F5: return int64_t{1} << 20;
        case SDLK_F6: return int64_t{1} << 24;
        case SDLK_F7: return int64_t{1} << 28;
        case SDLK_F8: return int64_t{1} << 32;
        case SDLK_F9: return int64_t{1} << 36;
        default: return 0;
    }
}

}  // namespace

namespace {

// A key that is neither typing nor a modifier is a command of its own: it
// cancels an m or ' that waits for a mark's name.
bool ends_pending_mark(SDL_Keycode key) {
    if (!(key & SDLK_SCANCODE_MASK)) return key < 0x20 || key == 0x7f;  // Return, Esc, Tab, Backspace, Delete
    const SDL_Scancode code = SDL_Scancode(key & ~SDLK_SCANCODE_MASK);
    const bool modifier = (code >= SDL_SCANCODE_LCTRL && code <= SDL_SCANCODE_RGUI) || code == SDL_SCANCODE_MODE ||
                          code == SDL_SCANCODE_CAPSLOCK;
    return !modifier;
}

}  // namespace

void Application::handle_event(const SDL_Event& event, bool& quit) {
    // Shift reverses the F-keys; read live so that a Shift held across a
    // focus change still counts.
    const int fkey_direction = (SDL_GetModState() & (KMOD_LSHIFT | KMOD_RSHIFT)) ? -1 : 1;
    switch (event.type) {
        case SDL_QUIT:
            quit = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_RESIZED) {
                if (event.window.data1 != win_width || event.window.data2 != win_height) {
                    win_width = event.window.data1;
                    win_height = event.window.data2;
                    fit_rows();
                    framebufferResized = true;
                    need_redraw = true;
                }
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                       event.window.event == SDL_WINDOWEVENT_RESTORED) {
                // X11 does not keep the contents of a covered or minimised window.
                need_redraw = true;
            }
            break;
        case SDL_KEYDOWN:
            text_key = event.key.keysym;
            if (on_quit_key(event.key.keysym) || on_hash_key(event.key.keysym) || on_help_key(event.key.keysym) ||
                on_charset_key(event.key.keysym) || on_zoom_key(event.key.keysym) || on_inspect_key(event.key.keysym) ||
                on_structure_key(event.key.keysym) ||
                on_compare_key(event.key.keysym) ||
                on_map_key(event.key.keysym) || on_transfer_key(event.key.keysym) ||
                on_identify_key(event.key.keysym) || on_find_key(event.key.keysym) || on_select_key(event.key.keysym) ||
                on_history_key(event.key.keysym)) {
                text_key.reset();  // a key that did something types nothing too
                navigation_memory.pending = PendingMark::None;  // nor is it a mark's name
            } else {
                if (ends_pending_mark(event.key.keysym.sym)) navigation_memory.pending = PendingMark::None;
                const SavedView before = current_view();
                on_key_down(event.key.keysym.sym, fkey_direction);
                if (is_jump_key(event.key.keysym.sym)) record_jump(before);
            }
            break;
        case SDL_TEXTINPUT:
            on_text_input(event.text.text);
            break;
        case SDL_MOUSEMOTION:
            on_mouse_motion(&event);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_LEFT) {
                SDL_CaptureMouse(SDL_TRUE);
                on_left_btn_pressed(&event);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) {
                SDL_CaptureMouse(SDL_FALSE);
                if (dragging) record_jump({drag_start_offset, selection});
                dragging = false;
                end_select_drag();
                end_track_press();
            }
            break;
        case SDL_MOUSEWHEEL:
            if (SDL_GetModState() & KMOD_CTRL) {
                set_zoom(zoom + (event.wheel.y > 0 ? 1 : event.wheel.y < 0 ? -1 : 0));
            } else if (event.wheel.y > 0) {
                scroll_one_step(-row_bytes);
            } else if (event.wheel.y < 0) {
                scroll_one_step(row_bytes);
            }
            break;
        default:
            if (event.type == SearchWorker::event_type()) {
                on_search_notice();
            } else if (event.type == FileWatcher::event_type()) {
                on_watch_notice();
            } else if (event.type == StdinReader::event_type()) {
                on_stdin_notice();
            } else if (event.type == drag_scroll_event()) {
                on_drag_scroll();
            } else if (event.type == track_repeat_event()) {
                on_track_repeat();
            } else if (event.type == MapWorker::event_type()) {
                on_map_notice();
            } else if (event.type == TransferWorker::event_type()) {
                on_transfer_notice();
            } else if (event.type == HashWorker::event_type()) {
                on_hash_notice();
            } else if (event.type == PartitionWorker::event_type()) {
                on_partition_notice();
            } else if (event.type == TypeWorker::event_type()) {
                on_type_notice();
            } else if (event.type == ScanWorker::event_type()) {
                on_scan_notice();
            } else if (event.type == DiffWorker::event_type()) {
                on_difference_notice();
            } else if (event.type == PairMapWorker::event_type()) {
                on_pair_map_notice();
            } else if (event.type == StructureWorker::event_type()) {
                on_structure_notice();
            }
            break;
    }
}

void Application::on_key_down(SDL_Keycode key, int fkey_direction) {
    switch (key) {
        case SDLK_UP: scroll_one_step(-row_bytes); return;
        case SDLK_DOWN: scroll_one_step(row_bytes); return;
        case SDLK_PAGEUP: scroll_one_step(-page_step); return;
        case SDLK_PAGEDOWN: scroll_one_step(page_step); return;
        case SDLK_LEFT: scroll_one_step(-screen_step_for(rows)); return;
        case SDLK_RIGHT: scroll_one_step(screen_step_for(rows)); return;
        case SDLK_END:
            if (view_size() > uint64_t(screen_step_for(rows))) {
                const int64_t target = end_target(view_size(), rows);
                if (offset != target) {
                    offset = target;
                    need_redraw = true;
                }
                return;
            }
            [[fallthrough]];
        case SDLK_HOME:
            if (offset != 0) {
                offset = 0;
                need_redraw = true;
            }
            return;
        default:
            if (const int64_t step = function_key_step(key)) {
                scroll_one_step(fkey_direction * step);
            }
            return;
    }
}

void Application::scroll_one_step(int64_t delta) {
    if (delta >= 0) {
        offset += delta;
        need_redraw = true;
    } else if (offset > -delta) {
        offset += delta;
        need_redraw = true;
    } else if (offset != 0) {
        offset = 0;
        need_redraw = true;
    }
}

double Application::page_x(double x) const {
    return comparing() && x >= canvas_width ? x - canvas_width : x;
}

void Application::on_left_btn_pressed(const SDL_Event* e) {
    // Window pixels to canvas pixels.
    const double y = double(e->button.y) / zoom;
    // A press in a page of a compare gives it the focus.
    if (comparing() && e->button.x / zoom < 2 * canvas_width) {
        const int page = e->button.x / zoom >= canvas_width ? 1 : 0;
        if (page != compare.focus) {
            compare.focus = page;
            inspector.read = false;
            need_redraw = true;
        }
    }
    const double x = page_x(double(e->button.x) / zoom);
    if (thumb_hit(x, y, offset, view_size(), rows)) {
        dragging = true;
        drag_start_y = y;
        drag_start_offset = offset;
    } else if (!on_track_press(x, y)) {
        on_select_press(x, y);
    }
}

Uint32 Application::track_repeat_event() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

bool Application::on_track_press(double x, double y) {
    const int direction = track_press_direction(x, y, offset, view_size(), rows);
    if (direction == 0) {
        return false;
    }
    end_track_press();
    track_press.direction = direction;
    track_press.y = y;
    scroll_one_step(direction * screen_step_for(rows));
    track_repeat_event();  // registered on the main thread
    track_press.timer = SDL_AddTimer(track_first_repeat_ms, push_track_repeat, nullptr);
    return true;
}

void Application::on_track_repeat() {
    // Steps until the thumb reaches the pointer, as far as the file goes.
    const int64_t shown = clamp_to_file(offset, view_size());
    if (track_press.direction != 0 &&
        track_press_direction(5, track_press.y, shown, view_size(), rows) == track_press.direction) {
        scroll_one_step(track_press.direction * screen_step_for(rows));
    }
}

void Application::end_track_press() {
    track_press.direction = 0;
    if (track_press.timer != 0) {
        SDL_RemoveTimer(track_press.timer);
        track_press.timer = 0;
    }
}

void Application::on_mouse_motion(const SDL_Event* e) {
    on_select_motion(page_x(double(e->motion.x) / zoom), double(e->motion.y) / zoom);
    track_press.y = double(e->motion.y) / zoom;
    if (!dragging) {
        return;
    }
    const int64_t previous = offset;
    offset = drag_offset(double(e->motion.y) / zoom, drag_start_y, drag_start_offset, view_size(), rows);
    if (offset != previous) {
        need_redraw = true;
    }
}
