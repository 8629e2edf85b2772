// The panel right of the canvas, the inspector's or the help: the overlay's
// grid of glyph codes, its first line in the label line and one line per
// row below it. Names take the label colour (bit 7 of their codes), values
// the prompt's.
#ifndef QUIRN_PANEL_GLSL
#define QUIRN_PANEL_GLSL

bool in_panel(int x) {
    return overlay.panel.x != 0u && x >= canvas_width && x < canvas_width + panel_width_for(int(overlay.panel.y));
}

vec4 panel_colour(vec4 colour, int x, int y, bool label_line, int row, int gy, int rows) {
    int cells = int(overlay.panel.y);
    int px = x - canvas_width - panel_margin;
    int line = label_line ? 0 : row + 1;
    int cell = px / 6;
    bool text = px >= 0 && cell < cells && line < int(overlay.panel.z) && y >= 2 && y <= rows_bottom_for(rows);
    int at = clamp(line * cells + cell, 0, panel_capacity - 1);
    uint code = packed_byte(overlay.panel_text[at >> 4], at & 15);
    if (text && code != 0u && glyph_ink(code & 127u, px % 6, gy)) {
        colour = (code & 128u) != 0u ? label_colour : prompt_colour;
    }
    return colour;
}

#endif
