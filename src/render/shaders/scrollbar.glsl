// The scrollbar beside the rows: a track, and on it a thumb of at least the
// minimum length whose place stands for the first shown row's in the file.
// With the map on, the track shows what each slice of the file holds, and
// the thumb is an outline over it.
#ifndef QUIRN_SCROLLBAR_GLSL
#define QUIRN_SCROLLBAR_GLSL

const vec4 track_colour = vec4(0.0, 0.0, 0.0, 1.0);

bool in_scrollbar(int x, bool in_rows) { return x >= 3 && x <= 10 && in_rows; }

#ifndef QUIRN_PLAIN
const vec4 mark_tick_colour = vec4(1.0, 1.0, 1.0, 1.0);

// Classes: 1 zeros, 2 text, 3 dense, 4 binary; a hole (0) is the track.
// Bit 7 is a mark's tick.
vec4 map_colour(int i) {
    uint row = packed_byte(overlay.map[i >> 4], i & 15);
    uint c = row & 7u;
    return (row & 128u) != 0u ? mark_tick_colour
         : c == 1u ? value_colour(0u)     // as a zero byte
         : c == 2u ? value_colour(65u)    // as printable ASCII
         : c == 3u ? value_colour(128u)   // as the high bytes
         : c == 4u ? value_colour(1u)     // as the control codes
#ifdef QUIRN_COMPARE
         // A compare's map: the same bytes, differing bytes, not compared yet.
         : c == 5u ? label_colour
         : c == 6u ? difference_colour
         : c == 7u ? not_compared_colour
#endif
                   : track_colour;
}
#endif

vec4 scrollbar_colour(int x, int y, int rows, uvec2 size, uvec2 base) {
#ifdef QUIRN_PLAIN
    // The plain page's track has no map: the full build draws it.
    const bool map = false;
    vec4 colour = track_colour;
#else
    bool map = overlay.map_flags.x != 0u;
    int i = y - track_top;
    vec4 colour = map && i < track_length_for(rows) ? map_colour(i) : track_colour;
#endif
    if (size != uvec2(0u)) {
        int shortest = min_thumb_for(rows);
        int scale = thumb_scale_for(rows);
        int thumb = (size.y != 0u || size.x > uint(scale / shortest))
                        ? shortest
                        : max(int(uint(scale) / size.x), shortest);
        float s = to_float(size);
        int top = int((to_float(base) / s) * float(track_length_for(rows) - thumb)) + track_top;
        bool outline = !map || x <= 4 || x >= 9 || y <= top + 2 || y >= top + thumb - 2;
        if (top < y && y < top + thumb && outline) {
            float t = float(y - top) / float(thumb);
            colour = vec4(0.5 * t, 0.5 - 0.5 * t, 0.0, 1.0);
        }
    }
    return colour;
}

#endif
