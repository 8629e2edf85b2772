#pragma once

#include "render/page_geometry.h"
#include "select/selection.h"

#include <cstdint>
#include <optional>

// The selection's arithmetic as pure functions of values. Positions are
// canvas pixels; `first_shown` is the file offset of the first shown row and
// `rows` the rows the window shows.

// The column (0 to 15) of the byte whose cell holds x, in the hex or the
// character column; a pixel of the gaps between cells belongs to the nearer
// cell, the left one when both are as near. Nothing outside the two columns.
std::optional<int> column_at(double x);
// Whether x lies in the character column rather than the hex column.
bool in_character_column(double x);

// The byte a press at (x, y) selects: one whose cell (or gap) it hits, in a
// shown row, inside the file. Nothing elsewhere.
std::optional<uint64_t> byte_at(double x, double y, int rows, uint64_t first_shown, uint64_t file_size);

// Where the pointer is against the rows: -1 above the first, 1 below the
// last, 0 beside or on them.
int beyond_rows(double y, int rows);

// The byte a drag reaches at (x, y): the column nearest x, in the row under
// y, or in the row before the first shown (above them) or after the last
// (below); that row is kept within the file's rows and the byte within the
// file. The file must not be empty.
uint64_t drag_byte(double x, double y, int rows, uint64_t first_shown, uint64_t file_size);

// The moving end moved by `delta` bytes, clamped to the file's first and
// last byte; the file must not be empty.
uint64_t moved_end(uint64_t moving, int64_t delta, uint64_t file_size);

// The first shown row after the view moves only as far as it must to show
// the row of `byte`.
int64_t view_showing(int64_t first_shown, uint64_t byte, int rows);

// A selection after the file's size changed: its bytes past the end are cut
// off, and one that lies wholly past the end is cleared.
Selection cut_to_size(Selection selection, uint64_t file_size);
