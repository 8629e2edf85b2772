#include "core/application.h"

#include <algorithm>
#include <cstdint>

namespace {

const int64_t row_step = 16;
const int64_t page_step = 256;
const int64_t screen_step = 1184;  // 74 rows: one row of the old page stays in view

// Scrollbar geometry, fixed on the 364 x 1065 canvas.
const double track_top = 15.0;
const double track_length = 1048.0;
const double page_bytes = 1200.0;
const double min_thumb = 40.0;
const double drag_travel = track_length - min_thumb;

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

void Application::mainLoop() {
    for (;;) {
        bool quit = false;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            handle_event(event, quit);
        }
        if (quit) {
            return;
        }
        if (need_redraw) {
            drawFrame();
        }
        SDL_Delay(5);
    }
}

void Application::handle_event(const SDL_Event& event, bool& quit) {
    // Shift reverses the F-keys; read live so that a Shift held across a
    // focus change still counts.
    const int direction = (SDL_GetModState() & (KMOD_LSHIFT | KMOD_RSHIFT)) ? -1 : 1;
    switch (event.type) {
        case SDL_QUIT:
            quit = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_RESIZED) {
                if (event.window.data1 != win_width || event.window.data2 != win_height) {
                    win_width = event.window.data1;
                    win_height = event.window.data2;
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
            on_key_down(event.key.keysym.sym, direction);
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
                dragging = false;
            }
            break;
        case SDL_MOUSEWHEEL:
            if (event.wheel.y > 0) {
                scroll_one_step(-row_step);
            } else if (event.wheel.y < 0) {
                scroll_one_step(row_step);
            }
            break;
        default:
            break;
    }
}

void Application::on_key_down(SDL_Keycode key, int direction) {
    switch (key) {
        case SDLK_UP: scroll_one_step(-row_step); return;
        case SDLK_DOWN: scroll_one_step(row_step); return;
        case SDLK_PAGEUP: scroll_one_step(-page_step); return;
        case SDLK_PAGEDOWN: scroll_one_step(page_step); return;
        case SDLK_LEFT: scroll_one_step(-screen_step); return;
        case SDLK_RIGHT: scroll_one_step(screen_step); return;
        case SDLK_END:
            if (file_size > uint64_t(screen_step)) {
                const int64_t target = int64_t((file_size - uint64_t(screen_step)) & ~uint64_t{15});
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
                scroll_one_step(direction * step);
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

void Application::on_left_btn_pressed(const SDL_Event* e) {
    const double x = e->button.x;
    const double y = e->button.y;
    const double size = double(file_size);
    double thumb_length = (page_bytes / size) * track_length;
    if (thumb_length < min_thumb) {
        thumb_length = min_thumb;
    }
    const double thumb_top = track_top + (double(offset) / size) * (track_length - thumb_length);
    // With an empty file the geometry is not finite and no comparison holds.
    if (x > 2 && x < 11 && y > thumb_top && y < thumb_top + thumb_length) {
        dragging = true;
        drag_start_y = y;
        drag_start_offset = offset;
    }
}

void Application::on_mouse_motion(const SDL_Event* e) {
    if (!dragging) {
        return;
    }
    const int64_t previous = offset;
    const double moved = (double(file_size) / drag_travel) * (double(e->motion.y) - drag_start_y);
    // Clamped before the conversion, which is undefined outside the 64-bit range.
    const double unclamped = std::clamp(moved + double(drag_start_offset), -9.0e18, 9.0e18);
    int64_t target = int64_t(unclamped);
    target = target / 16 * 16;
    if (target < 0) {
        target = 0;
    }
    offset = target;
    if (offset != previous) {
        need_redraw = true;
    }
}
