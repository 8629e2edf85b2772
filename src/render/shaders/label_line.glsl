// The label line above the rows: the high digits of the first shown row's
// offset, the column labels, or in their place the overlay's text.
#ifndef QUIRN_LABEL_LINE_GLSL
#define QUIRN_LABEL_LINE_GLSL

const vec4 label_colour = vec4(0.0, 0.4, 0.0, 1.0);
const vec4 prompt_colour = vec4(0.9, 0.9, 0.9, 1.0);
const int label_text_cells = 60;

// The label line carries the offset's digits above the row's own four:
// bits 39 to 16, and for a file of 2^40 bytes or more every digit its
// size needs, up to bit 47.
int high_offset_cells(uvec2 size) { return size.y >= 0x1000u ? 8 : size.y >= 0x100u ? 7 : 6; }

bool in_prompt_text(int x, int y, bool label_line) {
    return overlay.flags.x != 0u && label_line && y >= 2 && x >= 2 && x < 2 + 6 * label_text_cells;
}

// The glyph code of the overlay's text in the cell under x.
uint prompt_code(int x) {
    int text_cell = (x - 2) / 6;
    return packed_byte(overlay.text[(text_cell >> 4) & 3], text_cell & 15);
}

#endif
