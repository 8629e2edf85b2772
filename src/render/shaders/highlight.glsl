// The selection or a match: a band of bytes under their glyphs. Only the
// full build draws it; the plain page has none.
#ifndef QUIRN_HIGHLIGHT_GLSL
#define QUIRN_HIGHLIGHT_GLSL

const vec4 highlight_colour = vec4(0.35, 0.0, 0.35, 1.0);

// Whether the cell of byte `byte_in_row` of the row at `row_addr` is in the
// band. A gap between two cells of a row takes the highlight when the bytes
// on both sides have it, so that a range reads as one band.
bool in_highlight(uvec2 row_addr, uvec2 size, int byte_in_row, bool drawn, bool characters, bool hex_gap,
                  int char_x) {
    uvec2 at = add64(row_addr, uint(byte_in_row));
    bool char_gap = characters && (char_x == 48 || char_x == 49);
    uvec2 right = add64(row_addr, char_gap ? 8u : uint(byte_in_row));
    bool band_gap = (char_gap || hex_gap) && less64(overlay.highlight.xy, right) &&
                    less64(right, overlay.highlight.zw) && less64(right, size);
    return (drawn && !less64(at, overlay.highlight.xy) && less64(at, overlay.highlight.zw)) || band_gap;
}

#endif
