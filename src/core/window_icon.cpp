#include "core/window_icon.h"

#include <cstdint>

namespace {

struct IconRect {
    int x, y, width, height;
    uint32_t rgb;
};

// Generated from data/quirn.svg, the installed icon, drawn on a 48-pixel grid.
const IconRect icon_rects[] = {
#include "window_icon.inc"
};

const int icon_size = 48;

}  // namespace

void set_window_icon(SDL_Window* window) {
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, icon_size, icon_size, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) {
        return;  // an icon is a nicety: the window works without one
    }
    for (const IconRect& r : icon_rects) {
        const SDL_Rect area{r.x, r.y, r.width, r.height};
        SDL_FillRect(icon, &area, 0xFF000000u | r.rgb);
    }
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}
