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

// A panel line whose value may be longer than its column: the value wraps
// at blanks (within a word longer than the column, anywhere) onto following
// lines, indented to the value's column, and is cut with "..." at the end of
// line `max_lines`. `value` is in glyphs: one ASCII character a cell.
std::vector<std::string> wrap_panel_line(const std::string& name, const std::string& value, size_t max_lines);

// The lines as panel glyph codes, panel_cells per line and 0 past a line's
// end; bit 7 marks a name, drawn in the name colour, and the columns'
// heading.
void pack_panel_text(const std::vector<std::string>& lines, uint8_t* text);
