// Zoom and the rows that fit: every canvas pixel becomes a zoom x zoom
// block, and a window too short for the page shows the rows that fit in it.
#include "core/application.h"
#include "core/page_rules.h"

#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Xft.dpi from the X resources that the desktop set on the display, or 0.
double desktop_dpi(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    const char* resources = XResourceManagerString(info.info.x11.display);
    const char* entry = resources ? std::strstr(resources, "Xft.dpi:") : nullptr;
    return entry ? std::strtod(entry + std::strlen("Xft.dpi:"), nullptr) : 0;
}

}  // namespace

void Application::fit_rows() {
    rows = rows_for_height(win_height / zoom);
}

void Application::set_zoom(int new_zoom) {
    new_zoom = std::clamp(new_zoom, 1, max_zoom);
    if (new_zoom == zoom) {
        return;
    }
    zoom = new_zoom;
    size_window(page_width() * zoom, canvas_height * zoom);
}

void Application::size_window(int width, int height) {
    SDL_Rect usable;
    if (window && SDL_GetDisplayUsableBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &usable) == 0) {
        width = std::min(width, usable.w);
        height = std::min(height, usable.h);
        // Moved as far as needed to stay inside the usable area too.
        int x = 0, y = 0;
        SDL_GetWindowPosition(window, &x, &y);
        const int inside_x = std::clamp(x, usable.x, usable.x + usable.w - width);
        const int inside_y = std::clamp(y, usable.y, usable.y + usable.h - height);
        if (inside_x != x || inside_y != y) {
            SDL_SetWindowPosition(window, inside_x, inside_y);
        }
    }
    if (window) {
        SDL_SetWindowSize(window, width, height);
    }
    // SDL reports no resize for a size it set itself.
    win_width = width;
    win_height = height;
    fit_rows();
    framebufferResized = true;
    need_redraw = true;
}

void Application::zoom_to_desktop() {
    set_zoom(zoom_for_dpi(desktop_dpi(window)));
}

bool Application::on_zoom_key(const SDL_Keysym& key) {
    if (!(key.mod & KMOD_CTRL)) {
        return false;
    }
    switch (key.sym) {
        case SDLK_EQUALS:
        case SDLK_PLUS:
        case SDLK_KP_PLUS: set_zoom(zoom + 1); return true;
        case SDLK_MINUS:
        case SDLK_KP_MINUS: set_zoom(zoom - 1); return true;
        case SDLK_0:
        case SDLK_KP_0: set_zoom(1); return true;
        default: return false;
    }
}
