#include "transfer/clipboard_limit.h"

#include <SDL2/SDL_syswm.h>

#include <cstdint>

size_t clipboard_limit(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return SIZE_MAX;
    long units = XExtendedMaxRequestSize(info.info.x11.display);
    if (units == 0) units = XMaxRequestSize(info.info.x11.display);
    // The request's own header and the big-request length field, with room to spare.
    const long header = 64;
    return units * 4 > header ? size_t(units * 4 - header) : 0;
}
