#pragma once

#include <string>

// Other programs' pastes, killed midway, as seen from the X server: each
// asks for `selection` ("CLIPBOARD" or "PRIMARY") as UTF-8 into a window of
// its own and destroys that window before the answer comes, or (with
// `after_first_piece`) once the answer was an incremental transfer and its
// first piece was asked for. Returns when the window is gone.
void vanishing_paste(const std::string& selection, bool after_first_piece);

// The window that owns `selection` now (0: none), and the length of a
// window's property (0 when it has none).
unsigned long selection_owner(const std::string& selection);
long property_length(unsigned long window, const std::string& property);
