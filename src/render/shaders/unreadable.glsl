// Bytes that could not be read: no glyph, on a background of their own.
// Only the full build draws them; a frame that has any uses it.
#ifndef QUIRN_UNREADABLE_GLSL
#define QUIRN_UNREADABLE_GLSL

const vec4 unreadable_colour = vec4(0.25, 0.25, 0.25, 1.0);

// Byte `index` of the file window (a bit each, 32 to a word).
bool window_byte_unreadable(int index) {
    uint word = overlay.unreadable[index >> 7][(index >> 5) & 3];
    return ((word >> (index & 31)) & 1u) != 0u;
}

#ifdef QUIRN_COMPARE
bool pair_byte_unreadable(int index) {
    uint word = overlay.pair_unreadable[index >> 7][(index >> 5) & 3];
    return ((word >> (index & 31)) & 1u) != 0u;
}
#endif

#endif
