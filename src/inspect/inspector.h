#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The inspector's text: the values the bytes at `offset` read as. `bytes`
// holds the `available` bytes the file has there (at most 16; fewer only at
// its end), and `length` is the selection's length (0: nothing selected).
// Lines hold at most panel_cells ASCII characters: a name in the first
// panel_name_cells, then the little-endian value, and the big-endian one
// from the column after. A value that would run past the end shows "-".
std::vector<std::string> inspector_lines(const uint8_t* bytes, size_t available, uint64_t offset, uint64_t length);

// The lines as panel glyph codes, panel_cells per line and 0 past a line's
// end; bit 7 marks a name, drawn in the name colour.
void pack_panel_text(const std::vector<std::string>& lines, uint8_t* text);
