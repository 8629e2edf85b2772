// A compare: the second file's page right of the first, drawn from the
// overlay's pair record, and the bytes that differ from their counterparts
// marked in both. The page shader is built twice: with QUIRN_COMPARE for a
// compare's pipeline, and without, so that one file's pipeline holds none
// of this code.
#ifndef QUIRN_COMPARE_GLSL
#define QUIRN_COMPARE_GLSL
#ifdef QUIRN_COMPARE

const vec4 difference_colour = vec4(0.3, 0.0, 0.0, 1.0);
const vec4 focus_colour = vec4(0.6, 0.6, 0.3, 1.0);
const vec4 not_compared_colour = vec4(0.6, 0.6, 0.3, 1.0);  // the offsets' colour

// The page without the focus is drawn dimmer, so that the focused one,
// whose frame is lit, is plain to see.
const float unfocused_shade = 0.4;
vec4 focus_shade(vec4 colour, int page) {
    return uint(page) == overlay.pair_view.z ? colour : vec4(colour.rgb * unfocused_shade, colour.a);
}

// Byte i of the second file's window; i may lie before it (a page that
// starts before the file's start), and is then not drawn.
uint pair_byte(int i) { return packed_byte(overlay.pair_data[(i >> 4) & 127], i & 15); }

// A signed 64-bit offset below zero.
bool negative64(uvec2 a) { return (a.y & 0x80000000u) != 0u; }

#endif
#endif
