// The label line above the rows: the high digits of the first shown row's
// offset, the column labels, or in their place the overlay's text; and the
// status line below the rows, drawn the same way.
#ifndef QUIRN_LABEL_LINE_GLSL
#define QUIRN_LABEL_LINE_GLSL

const vec4 label_colour = vec4(0.0, 0.4, 0.0, 1.0);
const vec4 prompt_colour = vec4(0.9, 0.9, 0.9, 1.0);
const int label_text_cells = 60;

// The label line carries the offset's digits above the row's own four,
// bits 39 to 16, clear of the column labels; the status line carries the
// whole offset of a file of 2^40 bytes or more.
const int high_offset_cells = 6;

bool in_prompt_text(int x, int y, bool label_line) {
    return overlay.flags.x != 0u && label_line && y >= 2 && x >= 2 && x < 2 + 6 * label_text_cells;
}

// The glyph code of the overlay's text in the cell under x.
uint prompt_code(int x) {
    int text_cell = (x - 2) / 6;
    return packed_byte(overlay.text[(text_cell >> 4) & 3], text_cell & 15);
}

// The status line below the rows, in the label line's colours: a glyph
// code per cell, bit 7 for a label's.
bool in_status_line(int x, int y, int rows) {
    int top = status_top_for(rows);
    return y >= top && y < top + status_height && x >= 2 && x < 2 + 6 * status_cells;
}

uint status_code(int x) {
    int cell = (x - 2) / 6;
    return packed_byte(overlay.status_text[(cell >> 4) & 3], cell & 15);
}

#endif
