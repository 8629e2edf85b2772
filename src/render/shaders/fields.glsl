// The structure's fields under the bytes: each leaf field a faint shade,
// alternating between neighbours so that their boundaries show, and the
// field at the selection a stronger one. Drawn before the highlight, the
// unreadable cells and the compare's marks, which keep precedence.
#ifndef QUIRN_FIELDS_GLSL
#define QUIRN_FIELDS_GLSL

const vec4 field_shade_colour[2] = vec4[2](vec4(0.05, 0.05, 0.13, 1.0), vec4(0.11, 0.08, 0.02, 1.0));
const vec4 field_mark_colour = vec4(0.05, 0.20, 0.28, 1.0);

// `index` is the byte's place in the file window, `at` its offset.
vec4 field_colour(vec4 colour, int index, uvec2 at) {
    uint word = overlay.field_bands[(index >> 6) & 31][(index >> 4) & 3];
    uint bits = (word >> (2 * (index & 15))) & 3u;
    if ((bits & 1u) == 0u) return colour;
    if (!less64(at, overlay.field_mark.xy) && less64(at, overlay.field_mark.zw)) return field_mark_colour;
    return field_shade_colour[bits >> 1];
}

#endif
