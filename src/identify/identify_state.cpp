#include "identify/identify_state.h"

#include "base/offset_text.h"
#include "render/overlay_block.h"

#include <cstdio>

namespace {

const size_t label_cells = 60;  // the label line holds 60 glyphs
const std::string ellipsis = "\u2026";

}  // namespace

std::string cut_to_cells(const std::string& text, size_t cells) {
    if (glyph_text(text).size() <= cells) return text;
    const size_t room = cells - std::min(cells, glyph_text(ellipsis).size());
    // Whole characters, as many as leave room for the ellipsis.
    size_t end = 0, used = 0;
    while (end < text.size()) {
        size_t next = end + 1;
        while (next < text.size() && (uint8_t(text[next]) & 0xC0) == 0x80) ++next;
        const size_t width = glyph_text(text.substr(end, next - end)).size();
        if (used + width > room) break;
        used += width;
        end = next;
    }
    return text.substr(0, end) + ellipsis;
}

std::string type_value(const TypeWorker::State& state) {
    if (state.running) return ellipsis;
    if (state.no_database) return "unknown (no magic database)";
    if (state.unreadable) return "unknown (the file cannot be read here)";
    return state.description.empty() ? "unknown" : state.description;
}

std::string embedded_label(const EmbeddedFile& file) {
    const std::string at = " at " + hex_offset(file.start);
    return cut_to_cells(file.description, label_cells - at.size()) + at;
}

std::vector<StatusSegment> scan_progress(const EmbeddedScanProgress& progress) {
    char text[64];
    std::snprintf(text, sizeof text, "%u%%, %zu found", percent_into(progress.position, progress.file_size),
                  progress.found);
    return {{"scan", text}, {"Esc", "cancels"}};
}

std::vector<StatusSegment> scan_count(size_t files, uint64_t unreadable) {
    std::vector<StatusSegment> segments{{"embedded", std::to_string(files) + (files == 1 ? " file" : " files")}};
    if (unreadable > 0) segments.push_back({"cannot read", hex_offset(unreadable) + " bytes"});
    return segments;
}
