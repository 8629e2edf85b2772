#pragma once

#include <SDL2/SDL.h>

// Sets the program's icon (the installed SVG, drawn in pixels) on the window.
void set_window_icon(SDL_Window* window);
