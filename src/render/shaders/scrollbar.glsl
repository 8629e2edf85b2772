// The scrollbar beside the rows: a track, and on it a thumb of at least the
// minimum length whose place stands for the first shown row's in the file.
#ifndef QUIRN_SCROLLBAR_GLSL
#define QUIRN_SCROLLBAR_GLSL

const vec4 track_colour = vec4(0.0, 0.0, 0.0, 1.0);

bool in_scrollbar(int x, bool in_rows) { return x >= 3 && x <= 10 && in_rows; }

vec4 scrollbar_colour(int y, int rows, uvec2 size, uvec2 base) {
    vec4 colour = track_colour;
    if (size != uvec2(0u)) {
        int shortest = min_thumb_for(rows);
        int scale = thumb_scale_for(rows);
        int thumb = (size.y != 0u || size.x > uint(scale / shortest))
                        ? shortest
                        : max(int(uint(scale) / size.x), shortest);
        float s = to_float(size);
        int top = int((to_float(base) / s) * float(track_length_for(rows) - thumb)) + track_top;
        if (top < y && y < top + thumb) {
            float t = float(y - top) / float(thumb);
            colour = vec4(0.5 * t, 0.5 - 0.5 * t, 0.0, 1.0);
        }
    }
    return colour;
}

#endif
