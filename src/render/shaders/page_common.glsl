// The page shader's inputs and the small helpers every region uses.
#ifndef QUIRN_PAGE_COMMON_GLSL
#define QUIRN_PAGE_COMMON_GLSL

layout(binding = 0, std140) uniform UniformBufferObject {
    mat4 model;
    mat4 view;
    mat4 proj;
    uvec4 fontdata[256];
    uvec4 chunkmeta;
    uvec4 datachunk[128];
    vec4 param;
} ubo;

layout(binding = 1) uniform sampler2D texSampler;

// Find and go-to: a text in place of the label line, and a range of
// highlighted bytes. All zero, the page is the plain page.
layout(binding = 2, std140) uniform OverlayBlock {
    uvec4 flags;      // x: the label line shows `text`; y: the highlight is on
    uvec4 highlight;  // first (xy) and end (zw) offsets, low and high 32 bits
    uvec4 text[4];    // 64 glyph codes
    uvec4 panel;      // x: a panel is shown; y: its cells a line; z: its lines
    uvec4 panel_text[panel_capacity / 16];  // its glyph codes; bit 7 marks a name
    uvec4 map_flags;  // x: the scrollbar shows the map
    uvec4 map[66];    // a byte per track row: the class in bits 0-2
    uvec4 status_text[4];  // the status line's glyph codes; bit 7 marks a label
    uvec4 pair;       // the second file of a compare: as chunkmeta, z signed
    uvec4 pair_view;  // xy: its first shown offset (signed); z: the focused page
    uvec4 pair_span;  // xy: the span of the pair; zw: the view's first shown offset, whole
    uvec4 pair_data[128];
    uvec4 pair_status[4];  // the second page's status line
    uvec4 unreadable[16];  // a bit per file window byte that could not be read (flags.w: any)
    uvec4 pair_unreadable[16];  // the same for the second file of a compare
    uvec4 fields;      // x: the structure's fields are shown
    uvec4 field_mark;  // the marked field's first (xy) and end (zw) offsets
    uvec4 field_bands[32];  // two bits per file window byte: in a field, its shade
} overlay;

vec4 value_colour(uint v) {
    if (v == 0u) return vec4(0.0, 0.0, 0.9, 1.0);
    if (v < 32u) return vec4(0.0, 0.6, 0.6, 1.0);
    if (v < 128u) return vec4(0.8, 0.8, 0.8, 1.0);
    if (v < 192u) return vec4(1.0, 0.5, 0.0, 1.0);
    return vec4(0.8, 0.8, 0.0, 1.0);
}

// Bit (7 - gx) of row gy of glyph c: the glyph's pixel (gx, gy) is ink.
bool glyph_ink(uint c, int gx, int gy) {
    uint row_bits = ubo.fontdata[c & 255u][gy >> 2] >> (8 * (gy & 3));
    return (row_bits & (0x80u >> gx)) != 0u;
}

uint hex_digit_glyph(uint n) { return n < 10u ? 48u + n : 87u + n; }

// Byte k of a 16-byte list of uvec4, as the view block and overlays pack text and bytes.
uint packed_byte(uvec4 entry, int k) { return (entry[(k >> 2) & 3] >> (8 * (k & 3))) & 0xFFu; }

uint window_byte(int entry, int k) { return packed_byte(ubo.datachunk[entry & 127], k); }

uvec2 add64(uvec2 a, uint b) {
    uint carry;
    uint low = uaddCarry(a.x, b, carry);
    return uvec2(low, a.y + carry);
}

// a < b for 64-bit values
bool less64(uvec2 a, uvec2 b) { return a.y < b.y || (a.y == b.y && a.x < b.x); }

float to_float(uvec2 a) { return float(a.y) * 4294967296.0 + float(a.x); }

#endif
