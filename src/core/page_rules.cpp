#include "core/page_rules.h"

#include "render/page_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

const uint64_t margin_after_forward = 5 * row_bytes;    // rows kept above the view
const uint64_t margin_after_backward = 45 * row_bytes;

}  // namespace

double thumb_length(uint64_t file_size, int rows) {
    const double length = (double(page_bytes_for(rows)) / double(file_size)) * track_length_for(rows);
    return length < min_thumb_for(rows) ? min_thumb_for(rows) : length;
}

double thumb_top(int64_t offset, uint64_t file_size, int rows) {
    return track_top +
           (double(offset) / double(file_size)) * (track_length_for(rows) - thumb_length(file_size, rows));
}

bool thumb_hit(double x, double y, int64_t offset, uint64_t file_size, int rows) {
    const double top = thumb_top(offset, file_size, rows);
    // The thumb columns are 3 to 10; every edge is outside.
    return x > 2 && x < 11 && y > top && y < top + thumb_length(file_size, rows);
}

int track_press_direction(double x, double y, int64_t offset, uint64_t file_size, int rows) {
    if (file_size == 0 || x <= 2 || x >= 11 || y < track_top || y >= track_top + track_length_for(rows)) return 0;
    const double top = thumb_top(offset, file_size, rows);
    return y <= top ? -1 : y >= top + thumb_length(file_size, rows) ? 1 : 0;
}

int64_t drag_offset(double y, double drag_start_y, int64_t drag_start_offset, uint64_t file_size, int rows) {
    const double travel = track_length_for(rows) - min_thumb_for(rows);
    const double moved = travel > 0 ? (double(file_size) / travel) * (y - drag_start_y) : 0.0;
    // Clamped before the conversion, which is undefined outside the 64-bit range.
    const double unclamped = std::clamp(moved + double(drag_start_offset), -9.0e18, 9.0e18);
    const int64_t target = int64_t(unclamped) / row_bytes * row_bytes;
    return target < 0 ? 0 : target;
}

int64_t end_target(uint64_t file_size, int rows) {
    const uint64_t margin = uint64_t(screen_step_for(rows));
    if (file_size <= margin) {
        return 0;
    }
    return int64_t((file_size - margin) & ~uint64_t{15});
}

int64_t view_for_target(uint64_t target, uint64_t file_size, int rows) {
    return std::min(int64_t(target & ~uint64_t(row_bytes - 1)), end_target(file_size, rows));
}

int64_t clamp_to_file(int64_t offset, uint64_t file_size) {
    if (uint64_t(offset) > file_size) {
        offset = int64_t(file_size & ~uint64_t{15});
    }
    return offset < 0 ? 0 : offset;
}

std::optional<uint64_t> next_window_base(uint64_t view, uint64_t window_base, uint64_t capacity, uint64_t file_size) {
    if (view + page_bytes > window_base + capacity && file_size > capacity) {
        return view < margin_after_forward ? 0 : view - margin_after_forward;
    }
    if (view < window_base) {
        return view < margin_after_backward ? 0 : view - margin_after_backward;
    }
    return std::nullopt;
}

bool needs_another_frame(uint64_t presents_before, bool file_size_changed) {
    return presents_before == 0 || file_size_changed;
}

int zoom_for_dpi(double dpi) {
    const int zoom = int(std::lround(dpi / 96.0));
    return std::clamp(zoom, 1, max_zoom);
}
