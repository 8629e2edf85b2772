#include "support/page_model.h"

#include "render/page_geometry.h"

#include <cmath>

namespace {

const LinearColour transparent{0, 0, 0, 0};
const LinearColour stripe{0, 0.012f, 0, 1};
const LinearColour opaque_black{0, 0, 0, 1};
const LinearColour olive{0.6f, 0.6f, 0.3f, 1};
const LinearColour green{0, 0.5f, 0, 1};
const LinearColour label{0, 0.4f, 0, 1};
const LinearColour prompt{0.9f, 0.9f, 0.9f, 1};
const LinearColour highlight{0.35f, 0, 0.35f, 1};
const LinearColour difference{0.3f, 0, 0, 1};
const LinearColour unreadable_cell{0.25f, 0.25f, 0.25f, 1};
const LinearColour field_shades[2] = {{0.05f, 0.05f, 0.13f, 1}, {0.11f, 0.08f, 0.02f, 1}};
const LinearColour field_mark{0.05f, 0.20f, 0.28f, 1};

uint64_t join64(uint32_t low, uint32_t high) { return low | (uint64_t(high) << 32); }

LinearColour colour_of_value(uint8_t v) {
    if (v == 0) return {0, 0, 0.9f, 1};
    if (v <= 31) return {0, 0.6f, 0.6f, 1};
    if (v <= 127) return {0.8f, 0.8f, 0.8f, 1};
    if (v <= 191) return {1, 0.5f, 0, 1};
    return {0.8f, 0.8f, 0, 1};
}

// From the view block's glyph table, as the shader reads it: the upper half
// is the character set's.
bool has_ink(const UniformBufferObject& ubo, int code, int gx, int gy) {
    return (ubo.fontdata[size_t(code * 16 + gy)] >> (7 - gx)) & 1;
}

int hex_glyph(unsigned digit) { return digit < 10 ? '0' + int(digit) : 'a' + int(digit) - 10; }

int squeezed(int n) {
    int a = n - n / 107;
    int b = a - a / 53;
    return b - b / 13;
}

struct Page {
    uint64_t size;
    int64_t first_row;  // file offset of the first shown row; a compare's second page may start before 0
    const uint8_t* window;
    int64_t first_index;  // of the first shown byte in the window

    uint8_t byte(int row, int k) const { return window[(first_index + row * 16 + k) & 2047]; }
    bool has(int64_t at) const { return at >= 0 && uint64_t(at) < size; }
};

Page page_of(const UniformBufferObject& ubo) {
    const uint64_t size = ubo.chunkmeta[0] | (uint64_t(ubo.chunkmeta[3] & 0xFFFF) << 32);
    const uint64_t base = ubo.chunkmeta[1] | (uint64_t(ubo.chunkmeta[3] >> 16) << 32);
    return {size, int64_t(base + ubo.chunkmeta[2]), ubo.datachunk, ubo.chunkmeta[2]};
}

Page second_page_of(const OverlayBlock& overlay) {
    const uint64_t size = overlay.pair[0] | (uint64_t(overlay.pair[3] & 0xFFFF) << 32);
    return {size, int64_t(overlay.pair_view[0] | (uint64_t(overlay.pair_view[1]) << 32)), overlay.pair_data,
            int32_t(overlay.pair[2])};
}

}  // namespace

namespace {

LinearColour unshaded_pixel(const UniformBufferObject& ubo, int x, int y, const OverlayBlock* overlay, bool pair) {
    Page first_page = page_of(ubo);
    // A compare's view comes whole in the pair record.
    if (pair) first_page.first_row = int64_t(overlay->pair_span[2] | (uint64_t(overlay->pair_span[3]) << 32));
    const Page second_page = pair ? second_page_of(*overlay) : first_page;
    int side = 0;
    if (pair && x >= canvas_width) {
        side = x < 2 * canvas_width ? 1 : 0;
        x -= canvas_width;
    }
    const Page& page = side == 1 ? second_page : first_page;
    // The scrollbar and the selection are the pair's: in the first file's offsets, over the span.
    const uint64_t span = pair ? (overlay->pair_span[0] | (uint64_t(overlay->pair_span[1]) << 32)) : page.size;
    const bool label_line = y < label_height;
    const int row = label_line ? 0 : (y - label_height) / row_height;
    const int glyph_row = label_line ? (y - 2) % row_height : (y - label_height) % row_height;
    const int64_t addr = page.first_row + row_bytes * int64_t(row);
    const int64_t pair_addr = first_page.first_row + row_bytes * int64_t(row);
    auto differs = [&](int k) {
        const bool in_a = first_page.has(pair_addr + k), in_b = second_page.has(second_page.first_row + row * 16 + k);
        return in_a != in_b || (in_a && first_page.byte(row, k) != second_page.byte(row, k));
    };
    const int rows = overlay && overlay->flags[2] ? int(overlay->flags[2]) : page_rows;
    const bool data_band = y >= label_height && y <= rows_bottom_for(rows);

    LinearColour colour = (data_band && (uint64_t(addr) & 16) == 0) ? stripe : transparent;
    const int right = canvas_width - 1;
    const int bottom = canvas_height - 1;
    if (x <= right && y <= bottom && (x == 0 || x == right || y == 0 || y == bottom)) {
        colour.r = 0.2f;
        if (pair && unsigned(side) == overlay->pair_view[2]) colour = olive;  // the focused page's frame
    }
    // The inspector's or the help panel: a grid of glyph codes, bit 7 for a name.
    const int cells = overlay ? int(overlay->panel[1]) : 0;
    if (overlay && overlay->panel[0] && x >= canvas_width && x < canvas_width + panel_width_for(cells)) {
        const int px = x - canvas_width - panel_margin;
        const int line = label_line ? 0 : row + 1;
        if (px < 0 || px / 6 >= cells || line >= int(overlay->panel[2]) || y < 2 || y > rows_bottom_for(rows)) {
            return colour;
        }
        const uint8_t code = overlay->panel_text[line * cells + px / 6];
        if (code && has_ink(ubo, code & 127, px % 6, glyph_row)) {
            colour = code & 128 ? label : prompt;
        }
        return colour;
    }
    if (x >= 3 && x <= 10 && data_band) {
        // The map: a class per track row in the value colours, holes as the track.
        const bool map = overlay && overlay->map_flags[0];
        const int track_row = y - track_top;
        colour = opaque_black;
        if (map && track_row < track_length_for(rows)) {
            const uint8_t values[5] = {0, 0, 'A', 0x80, 1};  // a byte of each class's colour
            const int c = overlay->map[track_row] & 7;
            if (c >= 1 && c <= 4) colour = colour_of_value(values[c]);
            if (pair && c >= 5) colour = c == 5 ? label : c == 6 ? difference : olive;  // same, differing, not yet
            if (overlay->map[track_row] & 128) colour = {1, 1, 1, 1};  // a mark's tick
        }
        if (span > 0) {
            const float s = float(span);
            const int shortest = min_thumb_for(rows);
            int length = int(float(thumb_scale_for(rows)) / s);
            if (length < shortest) length = shortest;
            const int top =
                int((float(first_page.first_row) / s) * float(track_length_for(rows) - length)) + track_top;
            const bool outline = !map || x <= 4 || x >= 9 || y <= top + 2 || y >= top + length - 2;
            if (top < y && y < top + length && outline) {
                const float t = float(y - top) / float(length);
                colour = {0.5f * t, 0.5f - 0.5f * t, 0, 1};
            }
        }
    }
    // The status line below the rows: a glyph code per cell, bit 7 for a label.
    const int status_top = status_top_for(rows);
    if (y >= status_top && y < status_top + status_height && x >= 2 && x < 2 + 6 * status_cells) {
        const uint8_t* codes = side == 1 ? overlay->pair_status : overlay ? overlay->status_text : nullptr;
        const uint8_t code = codes ? codes[(x - 2) / 6] : 0;
        if (code && has_ink(ubo, code & 127, (x - 2) % 6, y - status_top)) {
            colour = code & 128 ? label : prompt;
        }
        return colour;
    }
    if (overlay && overlay->flags[0] && label_line && side == 0) {
        if (y >= 2 && x >= 2 && x < 2 + 6 * 60) {
            const int code = overlay->text[(x - 2) / 6];
            if (code && has_ink(ubo, code, (x - 2) % 6, y - 2)) {
                colour = prompt;
            }
        }
        return colour;
    }
    // The highlighted bytes' cells, under their glyphs.
    auto highlighted = [&](int k) {
        const uint64_t at = uint64_t(pair_addr + k);
        return overlay && overlay->flags[1] && !label_line &&
               at >= join64(overlay->highlight[0], overlay->highlight[1]) &&
               at < join64(overlay->highlight[2], overlay->highlight[3]);
    };
    // The gap before byte k of a row, when bytes k - 1 and k are both highlighted.
    auto gap_highlighted = [&](int k) {
        return uint64_t(pair_addr + k) < span && highlighted(k - 1) && highlighted(k);
    };
    // A byte of a leaf field: one of two shades, or the mark of the field at the selection.
    auto field_shade = [&](int k, LinearColour& cell) {
        if (!overlay || !overlay->fields[0] || label_line || side == 1) return;
        const unsigned index = unsigned(page.first_index + row * 16 + k) & 2047;
        const unsigned bits = (overlay->field_bands[index / 16] >> (2 * (index % 16))) & 3;
        if (!(bits & 1)) return;
        const uint64_t at = uint64_t(pair_addr + k);
        const bool marked = at >= join64(overlay->field_mark[0], overlay->field_mark[1]) &&
                            at < join64(overlay->field_mark[2], overlay->field_mark[3]);
        cell = marked ? field_mark : field_shades[bits >> 1];
    };
    // A byte the viewer could not read: no glyph, a background of its own.
    auto unreadable = [&](int k) {
        if (!overlay || !overlay->flags[3] || label_line) return false;
        const unsigned index = unsigned(page.first_index + row * 16 + k) & 2047;
        const uint32_t* words = side == 1 ? overlay->pair_unreadable : overlay->unreadable;
        return ((words[index / 32] >> (index % 32)) & 1) != 0;
    };
    // A row past the end shows nothing; one before the second file's start shows its bytes only.
    const bool before_start = addr < 0;
    if (!before_start && uint64_t(addr) > page.size) {
        return colour;
    }
    const uint64_t shown_first_row = page.first_row < 0 ? 0 : uint64_t(page.first_row);
    // The label line's offset digits: bits 39 to 16, clear of the column labels.
    const int high_cells = 6;
    if (label_line && y >= 2 && x >= 2 && x < 2 + 6 * high_cells) {
        const int cell = (x - 2) / 6;
        const unsigned digit = unsigned(shown_first_row >> (16 + 4 * (high_cells - 1 - cell))) & 15;
        if (has_ink(ubo, hex_glyph(digit), (x - 2) % 6, y - 2)) {
            colour = olive;
        }
        return colour;
    }
    if (x >= 14 && x <= 37 && data_band) {
        if (before_start) return colour;
        const int cell = (x - 14) / 6;
        const unsigned digit = unsigned(addr >> (4 * (3 - cell))) & 15;
        if (has_ink(ubo, hex_glyph(digit), (x - 14) % 6, glyph_row)) {
            colour = addr % 256 == 0 ? green : olive;
        }
        return colour;
    }
    if (x >= 263 && x <= 359 && y >= 2 && y <= rows_bottom_for(rows)) {
        const int d = x - 263;
        const int e = d - 2 * (d / 49);
        const int k = e / 6;
        if (d == 48 || d == 49) {
            return gap_highlighted(8) ? highlight : colour;
        }
        if (!page.has(addr + k) && !(label_line && before_start)) {
            return colour;
        }
        field_shade(k, colour);
        if (pair && !label_line && differs(k)) colour = difference;
        if (highlighted(k)) colour = highlight;
        if (unreadable(k)) return unreadable_cell;
        const int glyph = label_line ? hex_glyph(unsigned(k)) : page.byte(row, k);
        if (has_ink(ubo, glyph, e % 6, glyph_row)) {
            colour = label_line ? label : colour_of_value(page.byte(row, k));
        }
        return colour;
    }
    if (x >= 44 && x <= 254 && y >= 2 && y <= rows_bottom_for(rows)) {
        const int p = squeezed(label_line ? x - 41 : x - 44);
        const int k = p / 12;
        if (p == squeezed(x - 43)) {
            return gap_highlighted(k) ? highlight : colour;
        }
        if (!page.has(addr + k) && !(label_line && before_start)) {
            return colour;
        }
        field_shade(k, colour);
        if (pair && !label_line && differs(k)) colour = difference;
        if (highlighted(k)) colour = highlight;
        if (unreadable(k)) return unreadable_cell;
        if (label_line) {
            if ((p / 6) % 2 == 1 && has_ink(ubo, hex_glyph(unsigned(k)), p % 6, glyph_row)) {
                colour = label;
            }
            return colour;
        }
        const uint8_t v = page.byte(row, k);
        const unsigned digit = p % 12 < 6 ? v >> 4 : v & 15;
        if (has_ink(ubo, hex_glyph(digit), p % 6, glyph_row)) {
            colour = colour_of_value(v);
        }
        return colour;
    }
    return colour;
}

}  // namespace

LinearColour expected_pixel(const UniformBufferObject& ubo, int x, int y, const OverlayBlock* overlay, bool pair) {
    LinearColour colour = unshaded_pixel(ubo, x, y, overlay, pair);
    // A compare's page without the focus is dimmed (compare.glsl's
    // unfocused_shade), the panel is not.
    const int side = x >= canvas_width && x < 2 * canvas_width ? 1 : 0;
    const bool on_page = x < 2 * canvas_width && y < canvas_height;
    if (pair && on_page && unsigned(side) != overlay->pair_view[2]) {
        colour.r *= 0.4f;
        colour.g *= 0.4f;
        colour.b *= 0.4f;
    }
    return colour;
}

std::array<uint8_t, 4> to_srgb_bgra(const LinearColour& colour) {
    auto encode = [](float c) {
        const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(double(c), 1.0 / 2.4) - 0.055;
        return uint8_t(std::lround(v * 255.0));
    };
    return {encode(colour.b), encode(colour.g), encode(colour.r), uint8_t(std::lround(colour.a * 255.0f))};
}

std::string region_of(int x, int y) {
    if (x >= canvas_width && x < canvas_width + panel_width_for(help_cells)) return "panel, if shown";
    if (x >= canvas_width || y >= canvas_height) return "outside the canvas";
    if (x == 0 || x == canvas_width - 1 || y == 0 || y == canvas_height - 1) return "border";
    if (y >= status_top_for(page_rows)) return "status line";
    if (x >= 3 && x <= 10 && y >= label_height) return "scrollbar";
    if (y < label_height) {
        if (x >= 44 && x <= 254) return "hex column labels";
        if (x >= 263 && x <= 359) return "character column labels";
        return "high offset digits";
    }
    if (x >= 14 && x <= 37) return "row offsets";
    if (x >= 44 && x <= 254) return "hex column";
    if (x >= 263 && x <= 359) return "character column";
    return "background";
}
