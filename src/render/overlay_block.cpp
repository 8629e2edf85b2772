#include "render/overlay_block.h"

#include "render/page_geometry.h"

#include <algorithm>
#include <cstring>

std::string glyph_text(const std::string& utf8) {
    std::string cells;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const uint8_t c = uint8_t(utf8[i]);
        if (c < 0x80) {
            cells += char(c);
        } else if (utf8.compare(i, 3, "\u2026") == 0) {
            cells += "...";
        } else if ((c & 0xC0) != 0x80) {  // the first byte of another character
            cells += '?';
        }
    }
    return cells;
}

OverlayBlock make_overlay_block(const std::string& line, bool highlight, uint64_t first, uint64_t end,
                                int rows) {
    OverlayBlock block;
    std::memset(&block, 0, sizeof block);
    const std::string cells = glyph_text(line);
    std::memcpy(block.text, cells.data(), std::min(cells.size(), sizeof block.text));
    block.flags[0] = line.empty() ? 0 : 1;
    block.flags[2] = rows == page_rows ? 0 : uint32_t(rows);
    if (highlight && end > first) {
        block.flags[1] = 1;
        block.highlight[0] = uint32_t(first);
        block.highlight[1] = uint32_t(first >> 32);
        block.highlight[2] = uint32_t(end);
        block.highlight[3] = uint32_t(end >> 32);
    }
    return block;
}

bool needs_full_page(const OverlayBlock& block) {
    return block.flags[0] != 0 || block.flags[1] != 0 || block.flags[3] != 0 || block.panel[0] != 0 ||
           block.map_flags[0] != 0 || block.fields[0] != 0;
}

void add_unreadable(OverlayBlock& block, const std::vector<uint8_t>& bits, bool second_file) {
    uint32_t* words = second_file ? block.pair_unreadable : block.unreadable;
    const size_t n = std::min(bits.size(), sizeof block.unreadable);
    bool any = false;
    for (size_t i = 0; i < n; ++i) any = any || bits[i] != 0;
    if (!any) return;
    block.flags[3] = 1;
    std::memcpy(words, bits.data(), n);  // little-endian: byte i / 8 is in word i / 32
}
