#pragma once

#include "structure/field_navigator.h"

#include <cstdint>
#include <string>
#include <vector>

// How the structure shows on the page and beside it: pure rules over the
// fields the worker found.

// Two bits a byte of the file window [window_first, window_first +
// window_size) into `bands` (128 words, as the overlay has them): bit 2i
// for a byte in a leaf, bit 2i + 1 for its shade. Neighbouring leaves take
// alternate shades; the first leaf in the list takes `first_shade`.
void pack_field_bands(const std::vector<FieldSpan>& leaves, int first_shade, uint64_t window_first,
                      uint64_t window_size, uint32_t* bands);

// One line of the structure panel: its text, and how many of its first
// cells are the field's name (drawn in the names' colour).
struct FieldPanelLine {
    std::string text;
    size_t name_cells = 0;
};

// The panel: a heading naming the description, then the tree, one field a
// line, indented by depth: the focused field behind a ">", the name, the
// value cut to fit, and right-aligned its offset (hexadecimal) and size.
std::vector<FieldPanelLine> field_panel_lines(const std::string& format, const std::vector<TreeLine>& tree,
                                              size_t cells);

// Packs the lines as glyph codes, `cells` a line, names with bit 7 set.
void pack_field_panel(const std::vector<FieldPanelLine>& lines, size_t cells, size_t max_lines, uint8_t* text);

// The label line for a field moved to: "chunks[3].len = 13 (4 bytes at 21)".
std::string field_label_line(const FieldSpan& field);
