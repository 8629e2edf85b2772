#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The per-frame record beside the view block: a text for the label line, a
// range of highlighted bytes, the rows a short window shows, and the
// scrollbar's map. All zero, the page is the plain page. Laid out by std140
// rules.
struct OverlayBlock {
    uint32_t flags[4];       // x: the label line shows `text`; y: the highlight is on;
                             // z: the rows shown, 0 for the whole page
    uint32_t highlight[4];   // first and end (exclusive) offsets, each as low and high 32 bits
    uint8_t text[64];        // glyph codes, 0 past the end
    uint32_t map_flags[4];   // x: the scrollbar shows the map
    uint8_t map[1056];       // a class per track row (the low bits), bit 7 kept for a tick
};

static_assert(offsetof(OverlayBlock, highlight) == 16);
static_assert(offsetof(OverlayBlock, text) == 32);
static_assert(offsetof(OverlayBlock, map) == 112);
static_assert(sizeof(OverlayBlock) == 1168);

// The record for a label-line text (UTF-8; a character outside ASCII shows
// as '?') and a highlight, either of them absent.
OverlayBlock make_overlay_block(const std::string& line, bool highlight, uint64_t first, uint64_t end,
                                int rows);
