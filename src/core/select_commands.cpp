// The selection by mouse and keys: a press on a byte selects it, a drag
// extends it (scrolling while the pointer is held above or below the rows),
// Shift extends it, Ctrl+A takes the whole file.
#include "core/application.h"

#include "select/select_rules.h"

#include <cstdint>

namespace {

const Uint32 drag_scroll_interval_ms = 50;  // a row each, 20 rows a second

// On SDL's timer thread: only asks the main thread for a step.
Uint32 push_drag_scroll(Uint32 interval, void*) {
    SDL_Event event{};
    event.type = Application::drag_scroll_event();
    SDL_PushEvent(&event);
    return interval;
}

}  // namespace

Uint32 Application::drag_scroll_event() {
    static const Uint32 type = SDL_RegisterEvents(1);
    return type;
}

void Application::move_selection_end(uint64_t byte) {
    if (selection.moving != byte) {
        selection.moving = byte;
        need_redraw = true;
    }
}

bool Application::on_select_press(double x, double y) {
    const std::optional<uint64_t> byte = byte_at(x, y, rows, uint64_t(offset), file_size);
    if (!byte) {
        return false;
    }
    const bool shift = SDL_GetModState() & KMOD_SHIFT;
    if (shift && selection.active) {
        move_selection_end(*byte);
    } else {
        selection.set(*byte, *byte + 1);
        selection.in_characters = in_character_column(x);
        need_redraw = true;
    }
    selection.drag.held = true;
    selection.drag.x = x;
    selection.drag.y = y;
    return true;
}

void Application::on_select_motion(double x, double y) {
    Selection::Drag& drag = selection.drag;
    if (!drag.held) {
        return;
    }
    drag.x = x;
    drag.y = y;
    // The timer runs only while the pointer is held above or below the rows.
    const int beyond = beyond_rows(y, rows);
    if (beyond != 0 && drag.timer == 0) {
        drag_scroll_event();  // registered on the main thread
        drag.timer = SDL_AddTimer(drag_scroll_interval_ms, push_drag_scroll, nullptr);
    } else if (beyond == 0 && drag.timer != 0) {
        SDL_RemoveTimer(drag.timer);
        drag.timer = 0;
    }
    if (!selection.active || file_size == 0) {
        return;
    }
    // Beyond the rows the end stays on the first or last row shown; the
    // timer's steps take it further.
    const double row_y = beyond < 0 ? label_height : beyond > 0 ? rows_bottom_for(rows) : y;
    move_selection_end(drag_byte(x, row_y, rows, uint64_t(offset), file_size));
}

void Application::on_drag_scroll() {
    const Selection::Drag& drag = selection.drag;
    if (!drag.held || !selection.active || file_size == 0 || beyond_rows(drag.y, rows) == 0) {
        return;  // a step that was queued before the drag ended or came back
    }
    move_selection_end(drag_byte(drag.x, drag.y, rows, uint64_t(offset), file_size));
    const int64_t view = view_showing(offset, selection.moving, rows);
    if (view != offset) {
        offset = view;
        need_redraw = true;
    }
}

void Application::end_select_drag() {
    selection.drag.held = false;
    if (selection.drag.timer != 0) {
        SDL_RemoveTimer(selection.drag.timer);
        selection.drag.timer = 0;
    }
}

bool Application::on_select_key(const SDL_Keysym& key) {
    if (find.prompt != FindState::Prompt::None) {
        return false;
    }
    if ((key.mod & KMOD_CTRL) && key.sym == SDLK_a) {
        if (file_size > 0) {
            selection.set(0, file_size);
            need_redraw = true;
        }
        return true;
    }
    if (!(key.mod & KMOD_SHIFT) || !selection.active || file_size == 0) {
        return false;  // Shift with these keys scrolls as without it
    }
    int64_t delta = 0;
    switch (key.sym) {
        case SDLK_UP: delta = -row_bytes; break;
        case SDLK_DOWN: delta = row_bytes; break;
        case SDLK_PAGEUP: delta = -page_step; break;
        case SDLK_PAGEDOWN: delta = page_step; break;
        case SDLK_HOME: delta = INT64_MIN; break;
        case SDLK_END: delta = INT64_MAX; break;
        default: return false;
    }
    move_selection_end(moved_end(selection.moving, delta, file_size));
    const int64_t view = view_showing(offset, selection.moving, rows);
    if (view != offset) {
        offset = view;
        need_redraw = true;
    }
    return true;
}
