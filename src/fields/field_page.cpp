#include "fields/field_page.h"

#include "base/offset_text.h"

#include <algorithm>
#include <cstring>

void pack_field_bands(const std::vector<FieldSpan>& leaves, int first_shade, uint64_t window_first,
                      uint64_t window_size, uint32_t* bands) {
    std::memset(bands, 0, 128 * sizeof(uint32_t));
    window_size = std::min<uint64_t>(window_size, 2048);
    const uint64_t window_end = window_first + window_size;
    int shade = first_shade & 1;
    for (const FieldSpan& leaf : leaves) {
        const uint64_t leaf_end = leaf.offset + leaf.size < leaf.offset ? UINT64_MAX : leaf.offset + leaf.size;
        const uint64_t first = std::max(leaf.offset, window_first);
        const uint64_t end = std::min(leaf_end, window_end);
        for (uint64_t at = first; at < end; ++at) {
            const uint64_t i = at - window_first;
            bands[i / 16] |= uint32_t(1 | shade << 1) << (2 * (i % 16));
        }
        shade ^= 1;
    }
}

namespace {

// Text as the panel's glyphs can show it: printable ASCII, anything else '?'.
std::string panel_text(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
            out += '?';
        } else {
            out += c >= 0x20 && c < 0x7F ? char(c) : '?';
        }
    }
    return out;
}

}  // namespace

std::vector<FieldPanelLine> field_panel_lines(const std::string& format, const std::vector<TreeLine>& tree,
                                              size_t cells) {
    std::vector<FieldPanelLine> lines;
    const std::string heading = "format " + panel_text(format);
    const std::string columns = "at size";
    FieldPanelLine head{heading.substr(0, cells), 0};
    if (heading.size() + 1 + columns.size() <= cells) {
        head.text = heading + std::string(cells - heading.size() - columns.size(), ' ') + columns;
    }
    head.name_cells = head.text.size();
    lines.push_back(head);
    for (const TreeLine& field : tree) {
        const std::string where =
            field.has_extent ? " " + hex_offset(field.offset) + " " + std::to_string(field.size) : std::string();
        std::string left = std::string(field.focused ? ">" : " ") + std::string(size_t(std::min(field.depth, 12)), ' ');
        const size_t name_start = left.size();
        left += panel_text(field.name);
        const size_t name_end = std::min(left.size(), cells);
        if (!field.value.empty()) left += " " + panel_text(field.value);
        // The place keeps its cells; the value gives way, cut behind "...".
        const size_t room = where.size() < cells ? cells - where.size() : 0;
        if (left.size() > room) {
            left = room > name_end + 3 ? left.substr(0, room - 3) + "..." : left.substr(0, std::min(room, name_end));
        }
        std::string text = left + std::string(room > left.size() ? room - left.size() : 0, ' ') + where;
        text = text.substr(0, cells);
        lines.push_back({text, std::max(name_start, std::min(name_end, text.size()))});
    }
    return lines;
}

void pack_field_panel(const std::vector<FieldPanelLine>& lines, size_t cells, size_t max_lines, uint8_t* text) {
    std::memset(text, 0, cells * max_lines);
    for (size_t l = 0; l < lines.size() && l < max_lines; ++l) {
        const std::string& line = lines[l].text;
        for (size_t c = 0; c < line.size() && c < cells; ++c) {
            const uint8_t code = uint8_t(line[c]) & 0x7F;
            text[l * cells + c] = code == ' ' ? code : uint8_t(code | (c < lines[l].name_cells ? 0x80 : 0));
        }
    }
}

std::string field_label_line(const FieldSpan& field) {
    std::string line = field.path;
    if (!field.value.empty()) line += " = " + field.value;
    line += " (" + std::to_string(field.size) + (field.size == 1 ? " byte" : " bytes") + " at " +
            hex_offset(field.offset) + ")";
    return line;
}
