#include "select/select_rules.h"

#include <algorithm>
#include <cmath>

namespace {

// The page's columns (page.frag): hex digits from x 44 to 254, squeezed into
// groups with gaps between bytes; characters from 263 to 359, 6 pixels a
// cell, with a 2-pixel gap after the eighth.
const int hex_left = 44, hex_right = 254;
const int characters_left = 263, characters_right = 359;

int squeeze(int n) {
    int a = n - n / 107;
    int b = a - a / 53;
    return b - b / 13;
}

bool hex_gap(int x) { return squeeze(x - hex_left) == squeeze(x - hex_left + 1); }

int hex_column(int x) {
    if (!hex_gap(x)) return squeeze(x - hex_left) / 12;
    for (int d = 1;; ++d) {  // gaps are at most 3 pixels wide, and never at the column's ends
        if (!hex_gap(x - d)) return squeeze(x - d - hex_left) / 12;
        if (!hex_gap(x + d)) return squeeze(x + d - hex_left) / 12;
    }
}

int character_column(int x) {
    const int d = x - characters_left;
    if (d == 48) return 7;
    if (d == 49) return 8;
    return (d - 2 * (d / 49)) / 6;
}

int pixel(double v) { return int(std::floor(v)); }

}  // namespace

std::optional<int> column_at(double x) {
    const int px = pixel(x);
    if (px >= hex_left && px <= hex_right) return hex_column(px);
    if (px >= characters_left && px <= characters_right) return character_column(px);
    return std::nullopt;
}

bool in_character_column(double x) { return pixel(x) >= characters_left; }

int beyond_rows(double y, int rows) {
    const int py = pixel(y);
    return py < label_height ? -1 : py > rows_bottom_for(rows) ? 1 : 0;
}

std::optional<uint64_t> byte_at(double x, double y, int rows, uint64_t first_shown, uint64_t file_size) {
    const std::optional<int> column = column_at(x);
    if (!column || beyond_rows(y, rows) != 0) return std::nullopt;
    const uint64_t row = uint64_t(pixel(y) - label_height) / row_height;
    const uint64_t byte = first_shown + row * row_bytes + uint64_t(*column);
    if (byte >= file_size) return std::nullopt;
    return byte;
}

uint64_t drag_byte(double x, double y, int rows, uint64_t first_shown, uint64_t file_size) {
    // Between the columns the pointer counts for the nearer one.
    const int px = std::clamp(pixel(x), hex_left, characters_right);
    const int column = px <= (hex_right + characters_left) / 2 ? hex_column(std::min(px, hex_right))
                                                               : character_column(std::max(px, characters_left));
    const int beyond = beyond_rows(y, rows);
    const int64_t row = beyond < 0 ? -1 : beyond > 0 ? rows : (pixel(y) - label_height) / row_height;
    // Past either end of the file the column stays that of the pointer, in
    // the file's first or last row.
    const int64_t last_row = int64_t((file_size - 1) & ~uint64_t(row_bytes - 1));
    const int64_t row_start = std::clamp<int64_t>(int64_t(first_shown) + row * row_bytes, 0, last_row);
    return std::min(uint64_t(row_start + column), file_size - 1);
}

uint64_t moved_end(uint64_t moving, int64_t delta, uint64_t file_size) {
    const uint64_t last = file_size - 1;
    if (delta < 0) {
        const uint64_t back = uint64_t(-(delta + 1)) + 1;  // -INT64_MIN does not fit
        return back >= moving ? 0 : moving - back;
    }
    return uint64_t(delta) >= last - std::min(moving, last) ? last : moving + uint64_t(delta);
}

int64_t view_showing(int64_t first_shown, uint64_t byte, int rows) {
    const int64_t row = int64_t(byte & ~uint64_t(row_bytes - 1));
    const int64_t last_row_span = int64_t(rows - 1) * row_bytes;
    if (row < first_shown) return row;
    if (row > first_shown + last_row_span) return row - last_row_span;
    return first_shown;
}

Selection cut_to_size(Selection selection, uint64_t file_size) {
    if (!selection.active) return selection;
    if (selection.first() >= file_size) {
        selection.clear();
        return selection;
    }
    selection.anchor = std::min(selection.anchor, file_size - 1);
    selection.moving = std::min(selection.moving, file_size - 1);
    return selection;
}
