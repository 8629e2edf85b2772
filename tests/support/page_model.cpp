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
const LinearColour unreadable_cell{0.3f, 0, 0, 1};

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
    uint64_t first_row;  // file offset of the first shown row
    const uint8_t* window;
    unsigned window_row0;  // datachunk row of the first shown row

    uint8_t byte(int row, int k) const { return window[(window_row0 + unsigned(row)) * 16 + unsigned(k)]; }
};

Page page_of(const UniformBufferObject& ubo) {
    const uint64_t size = ubo.chunkmeta[0] | (uint64_t(ubo.chunkmeta[3] & 0xFFFF) << 32);
    const uint64_t base = ubo.chunkmeta[1] | (uint64_t(ubo.chunkmeta[3] >> 16) << 32);
    return {size, base + ubo.chunkmeta[2], ubo.datachunk, ubo.chunkmeta[2] / 16};
}

}  // namespace

LinearColour expected_pixel(const UniformBufferObject& ubo, int x, int y, const OverlayBlock* overlay) {
    const Page page = page_of(ubo);
    const bool label_line = y < label_height;
    const int row = label_line ? 0 : (y - label_height) / row_height;
    const int glyph_row = label_line ? (y - 2) % row_height : (y - label_height) % row_height;
    const uint64_t addr = page.first_row + row_bytes * uint64_t(row);
    const int rows = overlay && overlay->flags[2] ? int(overlay->flags[2]) : page_rows;
    const bool data_band = y >= label_height && y <= rows_bottom_for(rows);

    LinearColour colour = (data_band && (addr / 16) % 2 == 0) ? stripe : transparent;
    const int right = canvas_width - 1;
    const int bottom = canvas_height - 1;
    if (x <= right && y <= bottom && (x == 0 || x == right || y == 0 || y == bottom)) {
        colour.r = 0.2f;
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
            if (overlay->map[track_row] & 128) colour = {1, 1, 1, 1};  // a mark's tick
        }
        if (page.size > 0) {
            const float s = float(page.size);
            const int shortest = min_thumb_for(rows);
            int length = int(float(thumb_scale_for(rows)) / s);
            if (length < shortest) length = shortest;
            const int top = int((float(page.first_row) / s) * float(track_length_for(rows) - length)) + track_top;
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
        const uint8_t code = overlay ? overlay->status_text[(x - 2) / 6] : 0;
        if (code && has_ink(ubo, code & 127, (x - 2) % 6, y - status_top)) {
            colour = code & 128 ? label : prompt;
        }
        return colour;
    }
    if (overlay && overlay->flags[0] && label_line) {
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
        const uint64_t at = addr + uint64_t(k);
        return overlay && overlay->flags[1] && !label_line &&
               at >= join64(overlay->highlight[0], overlay->highlight[1]) &&
               at < join64(overlay->highlight[2], overlay->highlight[3]);
    };
    // The gap before byte k of a row, when bytes k - 1 and k are both highlighted.
    auto gap_highlighted = [&](int k) {
        return addr + uint64_t(k) < page.size && highlighted(k - 1) && highlighted(k);
    };
    // A byte the viewer could not read: no glyph, a background of its own.
    auto unreadable = [&](int k) {
        if (!overlay || !overlay->flags[3] || label_line) return false;
        const unsigned index = ((page.window_row0 + unsigned(row)) & 127) * 16 + unsigned(k);
        return ((overlay->unreadable[index / 32] >> (index % 32)) & 1) != 0;
    };
    if (addr > page.size) {
        return colour;
    }
    // The label line's offset digits: bits 39 to 16, clear of the column labels.
    const int high_cells = 6;
    if (label_line && y >= 2 && x >= 2 && x < 2 + 6 * high_cells) {
        const int cell = (x - 2) / 6;
        const unsigned digit = unsigned(page.first_row >> (16 + 4 * (high_cells - 1 - cell))) & 15;
        if (has_ink(ubo, hex_glyph(digit), (x - 2) % 6, y - 2)) {
            colour = olive;
        }
        return colour;
    }
    if (x >= 14 && x <= 37 && data_band) {
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
        if (addr + uint64_t(k) >= page.size) {
            return colour;
        }
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
        if (addr + uint64_t(k) >= page.size) {
            return colour;
        }
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
