#pragma once

#include <SDL2/SDL.h>

#include <cstddef>

// The longest text SDL can put on the window's clipboard. On X11, SDL stores
// the text with one property request and answers a paste with another,
// without the protocol's incremental transfer; a text past the server's
// largest request would be refused by the server, and the refusal ends the
// program. Elsewhere there is no such bound.
size_t clipboard_limit(SDL_Window* window);
