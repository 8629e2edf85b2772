#version 450
#extension GL_ARB_separate_shader_objects : enable
#extension GL_GOOGLE_include_directive : require

#include "page_geometry.h"
#include "page_common.glsl"
#include "compare.glsl"
#include "label_line.glsl"
#include "scrollbar.glsl"
// The regions the plain page never draws: the plain build (QUIRN_PLAIN),
// which draws the first frame, leaves them out.
#ifndef QUIRN_PLAIN
#include "highlight.glsl"
#include "unreadable.glsl"
#include "panel.glsl"
#ifndef QUIRN_COMPARE
#include "fields.glsl"
#endif
#endif

// Composes the whole hex page, pixel by pixel, from the view block alone.
// The canvas (page_geometry.h) holds a label line, then the rows of 16
// bytes, with the scrollbar on the left, then the status line.
//
// File positions are 48-bit; they are carried as uvec2 (x: low 32 bits,
// y: high bits) so that files past 4 GiB show true offsets and bytes.
//
// The software rasteriser runs both sides of every branch for a block of
// pixels, so the text regions are classified first and the glyph table and
// the file window are each read once per pixel, at the end.

// Not read: the page comes from the view block alone. Declared so that the
// vertex stage's outputs have their matching inputs.
layout(location = 0) in vec3 fragColor;
layout(location = 1) in vec2 fragTexCoord;

layout(location = 0) out vec4 outColor;

const vec4 stripe_colour = vec4(0.0, 0.012, 0.0, 1.0);
const vec4 offset_colour = vec4(0.6, 0.6, 0.3, 1.0);
const vec4 offset_256_colour = vec4(0.0, 0.5, 0.0, 1.0);

// Removes one pixel in 13 (after each byte), one more in 53 (after each
// group of four) and one more in 107 (after each group of eight).
int squeeze(int n) {
    int a = n - n / 107;
    int b = a - a / 53;
    return b - b / 13;
}

void main() {
    int x = int(uint(gl_FragCoord.x / ubo.param.x));
    int y = int(uint(gl_FragCoord.y / ubo.param.y));
#ifdef QUIRN_COMPARE
    // A compare puts the second page right of the first, and the panel right of both.
    int page = 0;
    if (x >= canvas_width) {
        page = x < 2 * canvas_width ? 1 : 0;
        x -= canvas_width;
    }
#endif
    int yr = y - label_height;
    int row = max(yr / row_height, 0);  // the two pixel rows above the label line only get the border
    bool label_line = yr < 0;
    int gy = clamp(label_line ? y - 2 : yr % row_height, 0, 15);

    uvec2 size = uvec2(ubo.chunkmeta.x, ubo.chunkmeta.w & 0xFFFFu);
    uvec2 window_base = uvec2(ubo.chunkmeta.y, ubo.chunkmeta.w >> 16);
    uvec2 base = add64(window_base, ubo.chunkmeta.z);
    uvec2 addr = add64(base, uint(row_bytes * row));
    int entry = row + int(ubo.chunkmeta.z / uint(row_bytes));
#ifdef QUIRN_COMPARE
    // The pair's offsets are the first file's: its scrollbar and selection
    // stand for both pages. The second file's row faces the first's. The
    // view comes whole: past the first file's end it may pass 48 bits.
    uvec2 base_a = overlay.pair_span.zw;
    uvec2 addr_a = add64(base_a, uint(row_bytes * row));
    base = base_a;
    addr = addr_a;
    uvec2 size_a = size;
    uvec2 pair_size = overlay.pair_span.xy;
    uvec2 size_b = uvec2(overlay.pair.x, overlay.pair.w & 0xFFFFu);
    uvec2 addr_b = add64(overlay.pair_view.xy, uint(row_bytes * row));
    int index_b = int(overlay.pair.z) + row_bytes * row;
    if (page == 1) {
        size = size_b;
        base = negative64(overlay.pair_view.xy) ? uvec2(0u) : overlay.pair_view.xy;
        addr = addr_b;
    }
    bool row_before_start = negative64(addr);
#define PAIR_SIZE pair_size
#define PAIR_BASE base_a
#define PAIR_ADDR addr_a
#else
#define PAIR_SIZE size
#define PAIR_BASE base
#define PAIR_ADDR addr
#endif
    // A window too short for the page shows fewer rows (0: the whole page).
    int rows = overlay.flags.z == 0u ? page_rows : int(overlay.flags.z);
    bool in_rows = y >= label_height && y <= rows_bottom_for(rows);
    bool in_text_rows = y >= 2 && y <= rows_bottom_for(rows);

    // Background, striped by file row. The texture's one texel is read
    // unfiltered: the same value a filtered sample at (0, 0) gives, for a
    // fraction of the software rasteriser's cost.
    vec4 colour = (in_rows && (addr.x & 16u) == 0u) ? stripe_colour : texelFetch(texSampler, ivec2(0), 0);

    // Border, on the canvas only.
    bool on_canvas = x < canvas_width && y < canvas_height;
    if (on_canvas && (x == 0 || x == canvas_width - 1 || y == 0 || y == canvas_height - 1)) {
        colour.r = 0.2;
#ifdef QUIRN_COMPARE
        if (uint(page) == overlay.pair_view.z) colour = focus_colour;
#endif
    }

    if (in_scrollbar(x, in_rows)) {
        colour = scrollbar_colour(x, y, rows, PAIR_SIZE, PAIR_BASE);
    }

    // Text regions, disjoint: row offsets, high offset digits, characters, hex digits.
    bool offsets = x >= 14 && x <= 37 && in_rows;
    bool high_digits = x >= 2 && x <= 1 + 6 * high_offset_cells && y >= 2 && y <= 14;
    bool characters = x >= 263 && x <= 359 && in_text_rows;
    bool hex = x >= 44 && x <= 254 && in_text_rows && !high_digits;

    // Row offsets and high digits: one hex digit of the offset per 6-pixel cell.
    int digit_x = x - (offsets ? 14 : 2);
    int cell = digit_x / 6;
    int high_bit = 16 + 4 * (high_offset_cells - 1 - cell);  // lowest bit of this high digit
    uint offset_digit = offsets         ? (addr.x >> (4 * (3 - cell))) & 15u
                      : high_bit >= 32  ? (base.y >> (high_bit - 32)) & 15u
                                        : (base.x >> high_bit) & 15u;

    // Characters: 16 cells of 6 pixels with a 2-pixel gap after the eighth.
    int char_x = x - 263;
    int char_cell_x = char_x - 2 * (char_x / 49);  // the gap taken out
    // Hex digits: two per byte, squeezed into groups; labels sit between a byte's digits.
    int hex_x = squeeze(label_line ? x - 41 : x - 44);
    bool hex_gap = hex_x == squeeze(x - 43);

    int byte_in_row = characters ? char_cell_x / 6 : hex_x / 12;
    int gx = offsets || high_digits ? digit_x % 6 : characters ? char_cell_x % 6 : hex_x % 6;
    uint v = window_byte(entry, byte_in_row);
#ifdef QUIRN_COMPARE
    uint v_a = v;
    uint v_b = pair_byte(index_b + byte_in_row);
    if (page == 1) v = v_b;
#endif

    bool drawn = offsets || high_digits;
    if (characters) {
        drawn = char_x != 48 && char_x != 49;
    } else if (hex) {
        drawn = !hex_gap && (!label_line || (hex_x / 6) % 2 == 1);
    }
#ifdef QUIRN_COMPARE
    // A row that starts at the end still shows its offset; one before the
    // second file's start shows none, but its column labels stay.
    drawn = drawn && (row_before_start ? !offsets : !less64(size, addr));
    if (characters || hex) {
        drawn = drawn && (less64(add64(addr, uint(byte_in_row)), size) || (label_line && row_before_start));
    }
#else
    drawn = drawn && !less64(size, addr);  // a row that starts at the end still shows its offset
    if (characters || hex) {
        drawn = drawn && less64(add64(addr, uint(byte_in_row)), size);
    }
#endif

#ifdef QUIRN_COMPARE
    // A byte that differs from its counterpart is marked in both pages, under a selection.
    if (drawn && (characters || hex) && !label_line) {
        bool in_a = less64(add64(addr_a, uint(byte_in_row)), size_a);
        bool in_b = less64(add64(addr_b, uint(byte_in_row)), size_b);
        if (in_a != in_b || (in_a && v_a != v_b)) colour = difference_colour;
    }
#endif
    // The overlay's text takes the whole label line; the prompt and the
    // results are a compare's first page's.
    bool prompt_text = false;
    bool label_text = false;
#ifndef QUIRN_PLAIN
    prompt_text = in_prompt_text(x, y, label_line);
    label_text = overlay.flags.x != 0u && label_line;
#ifndef QUIRN_COMPARE
    // The structure's fields lie under the highlight and the unreadable cells.
    if (overlay.fields.x != 0u && drawn && (characters || hex) && !label_line) {
        colour = field_colour(colour, (entry & 127) * row_bytes + byte_in_row, add64(addr, uint(byte_in_row)));
    }
#endif
#ifdef QUIRN_COMPARE
    prompt_text = prompt_text && page == 0;
    label_text = label_text && page == 0;
#endif
    // The highlight lies under the glyphs of its bytes.
    if (overlay.flags.y != 0u && (characters || hex) && !label_line &&
        in_highlight(PAIR_ADDR, PAIR_SIZE, byte_in_row, drawn, characters, hex && hex_gap, char_x)) {
        colour = highlight_colour;
    }
    if (overlay.flags.w != 0u && drawn && (characters || hex) && !label_line) {
        bool unreadable = window_byte_unreadable((entry & 127) * row_bytes + byte_in_row);
#ifdef QUIRN_COMPARE
        if (page == 1) unreadable = pair_byte_unreadable((index_b + byte_in_row) & 2047);
#endif
        if (unreadable) {
            colour = unreadable_colour;
            drawn = false;
        }
    }
#endif
    // The label line's text and the status line: a glyph code per cell.
    bool status = in_status_line(x, y, rows);
    bool status_label = false;
    if (status || label_text) {
#ifdef QUIRN_COMPARE
        uint code = status ? (page == 1 ? pair_status_code(x) : status_code(x)) : prompt_code(x);
#else
        uint code = status ? status_code(x) : prompt_code(x);
#endif
        drawn = (status || prompt_text) && code != 0u;
        status_label = (code & 128u) != 0u;
        v = code & 127u;
        gx = (x - 2) % 6;
    }

    uint hex_nibble = (hex_x % 12) < 6 ? v >> 4 : v & 15u;
    uint glyph = prompt_text || status  ? v
               : offsets || high_digits ? hex_digit_glyph(offset_digit)
               : label_line             ? hex_digit_glyph(uint(byte_in_row))
               : characters             ? v
                                        : hex_digit_glyph(hex_nibble);
    vec4 ink = status_label ? label_colour
             : prompt_text || status ? prompt_colour
             : offsets     ? ((addr.x & 255u) == 0u ? offset_256_colour : offset_colour)
             : high_digits ? offset_colour
             : label_line  ? label_colour
                           : value_colour(v);

    if (drawn && glyph_ink(glyph, gx, gy)) {
        colour = ink;
    }
#ifdef QUIRN_COMPARE
    if (on_canvas) colour = focus_shade(colour, page);
#endif
#ifndef QUIRN_PLAIN
    if (in_panel(x)) {
        colour = panel_colour(colour, x, y, label_line, row, gy, rows);
    }
#endif
    outColor = colour;
}
