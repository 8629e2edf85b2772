#pragma once

#include "render/page_geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The per-frame record beside the view block: a text for the label line, a
// range of highlighted bytes, the rows a short window shows, and the
// inspector or help panel's lines, the scrollbar's map and the status
// line. All zero, the page is the plain page with an empty status line. Laid out by std140 rules.
struct OverlayBlock {
    uint32_t flags[4];       // x: the label line shows `text`; y: the highlight is on;
                             // z: the rows shown, 0 for the whole page; w: `unreadable` has a bit set
    uint32_t highlight[4];   // first and end (exclusive) offsets, each as low and high 32 bits
    uint8_t text[64];        // glyph codes, 0 past the end
    uint32_t panel[4];       // x: a panel is shown; y: its cells a line; z: its lines
    uint8_t panel_text[panel_capacity];  // its lines' glyph codes, y a line; bit 7 marks a name
    uint32_t map_flags[4];   // x: the scrollbar shows the map
    uint8_t map[1056];       // a class per track row (the low bits), bit 7 kept for a tick
    uint8_t status_text[64]; // the status line's glyph codes; bit 7 marks a label
    // The second file of a compare, read only by the compare pipeline: its
    // size and window as the view block's chunkmeta has them, except that z
    // is signed (the first shown byte may lie before the file's start).
    uint32_t pair[4];
    uint32_t pair_view[4];   // x, y: the second file's first shown offset, signed 64 bits; z: the focused page
    uint32_t pair_span[4];   // x, y: the pair's span, low and high 32 bits; z, w: the view's first shown offset
    uint8_t pair_data[2048]; // the second file's window
    uint8_t pair_status[64]; // the second page's status line, as status_text
    uint32_t unreadable[64]; // a bit per byte of the file window (bit i % 32 of word i / 32): not read
    uint32_t pair_unreadable[64];  // the same for the second file's window
    // The structure's fields on the page: x: shown; the marked field's first
    // and end (exclusive) offsets, low and high 32 bits; two bits per byte
    // of the file window (bits 2i, 2i + 1 of word i / 16): in a leaf field,
    // and which of two alternating shades it takes.
    uint32_t fields[4];
    uint32_t field_mark[4];
    uint32_t field_bands[128];
};

static_assert(offsetof(OverlayBlock, highlight) == 16);
static_assert(offsetof(OverlayBlock, text) == 32);
static_assert(offsetof(OverlayBlock, panel) == 96);
static_assert(offsetof(OverlayBlock, panel_text) == 112);
static_assert(panel_capacity % 16 == 0 && panel_lines * panel_cells <= panel_capacity);
static_assert(offsetof(OverlayBlock, map_flags) == 112 + panel_capacity);
static_assert(offsetof(OverlayBlock, status_text) == 112 + panel_capacity + 16 + 1056);
static_assert(offsetof(OverlayBlock, pair) == 112 + panel_capacity + 16 + 1056 + 64);
static_assert(offsetof(OverlayBlock, unreadable) == 112 + panel_capacity + 16 + 1056 + 64 + 48 + 2048 + 64);
static_assert(offsetof(OverlayBlock, fields) == 112 + panel_capacity + 16 + 1056 + 64 + 48 + 2048 + 64 + 2 * 256);
static_assert(sizeof(OverlayBlock) == offsetof(OverlayBlock, fields) + 32 + 512);
static_assert(status_cells <= 64);

// Whether the frame of this record needs the page shader's full build: the
// plain build, which draws the first frames, leaves out the label line's
// text, the highlight, unreadable cells, the panel and the scrollbar's map.
bool needs_full_page(const OverlayBlock& block);

// Marks the file window's bytes that could not be read (a bit each, as
// read_file_at sets them; at most 2048 bytes' worth), if any are.
void add_unreadable(OverlayBlock& block, const std::vector<uint8_t>& bits, bool second_file = false);

// Text as the page's glyphs show it, one byte a cell: ASCII as it is, "…"
// as three dots (the glyphs have no ellipsis), any other character as '?'.
std::string glyph_text(const std::string& utf8);

// The record for a label-line text (UTF-8; a character outside ASCII shows
// as '?') and a highlight, either of them absent.
OverlayBlock make_overlay_block(const std::string& line, bool highlight, uint64_t first, uint64_t end,
                                int rows);
