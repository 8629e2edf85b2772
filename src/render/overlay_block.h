#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The per-frame record beside the view block: a text for the label line, a
// range of highlighted bytes, and the rows a short window shows. All zero,
// the page is the plain page. Laid out by std140 rules.
struct OverlayBlock {
    uint32_t flags[4];       // x: the label line shows `text`; y: the highlight is on;
                             // z: the rows shown, 0 for the whole page
    uint32_t highlight[4];   // first and end (exclusive) offsets, each as low and high 32 bits
    uint8_t text[64];        // glyph codes, 0 past the end
};

static_assert(offsetof(OverlayBlock, highlight) == 16);
static_assert(offsetof(OverlayBlock, text) == 32);
static_assert(sizeof(OverlayBlock) == 96);

// The record for a label-line text (UTF-8; a character outside ASCII shows
// as '?') and a highlight, either of them absent.
OverlayBlock make_overlay_block(const std::string& line, bool highlight, uint64_t first, uint64_t end,
                                int rows);
