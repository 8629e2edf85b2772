#include "status/status_line.h"

#include "base/offset_text.h"
#include "select/goto_range.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

size_t glyphs(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

}  // namespace

size_t StatusSegment::cells() const {
    return glyphs(label) + (!label.empty() && !value.empty() ? 1 : 0) + glyphs(value);
}

unsigned percent_into(uint64_t offset, uint64_t size) {
    if (size == 0) return 0;
    // Offsets stay below 2^48, so a hundred times one fits in 64 bits.
    return unsigned(std::min<uint64_t>(offset, size) * 100 / size);
}

std::string size_segment_text(uint64_t size) {
    std::string text = "0x" + hex_offset(size) + " = ";
    if (size < 1024) return text + std::to_string(size) + (size == 1 ? " byte" : " bytes");
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    size_t unit = 0;
    uint64_t scale = 1024;
    while (unit + 1 < std::size(units) && size / scale >= 1024) {
        scale <<= 10;
        ++unit;
    }
    const uint64_t whole = size / scale;
    const uint64_t tenths = size % scale / (scale / 1024) * 10 / 1024;
    char number[48];
    std::snprintf(number, sizeof number, "%" PRIu64 ".%" PRIu64 " %s", whole, tenths, units[unit]);
    return text + number;
}

std::vector<StatusSegment> view_segments(const StatusFacts& facts) {
    std::vector<StatusSegment> segments;
    if (facts.character_device) {
        segments.emplace_back("at", hex_offset(facts.offset), StatusRank::Offset);
        segments.emplace_back("", "a character device: no size to show", StatusRank::Size);
    } else {
        // A view whose rows reach the end of the file is at its end.
        const bool at_end = facts.file_size > 0 && facts.shown_bytes > 0 && facts.offset < facts.file_size &&
                            facts.file_size - facts.offset <= facts.shown_bytes;
        const unsigned percent = at_end ? 100 : percent_into(facts.offset, facts.file_size);
        segments.emplace_back("at", hex_offset(facts.offset) + " " + std::to_string(percent) + "%",
                              StatusRank::Offset);
        segments.emplace_back("size", size_segment_text(facts.file_size), StatusRank::Size);
    }
    if (facts.selected) {
        segments.emplace_back("", facts.nothing_selected.empty() ? range_text(facts.first, facts.end) : facts.nothing_selected,
                              StatusRank::Selection);
    }
    if (!facts.charset.empty()) segments.emplace_back("charset", facts.charset);
    return segments;
}

void StatusLine::put(const std::string& owner, std::vector<StatusSegment> segments) {
    const auto at = std::find_if(standing_.begin(), standing_.end(), [&](const auto& s) { return s.first == owner; });
    if (segments.empty()) {
        if (at != standing_.end()) standing_.erase(at);
    } else if (at != standing_.end()) {
        at->second = std::move(segments);
    } else {
        standing_.emplace_back(owner, std::move(segments));
    }
}

std::vector<StatusSegment> StatusLine::segments(const StatusFacts& facts) const {
    std::vector<StatusSegment> all = view_segments(facts);
    for (const auto& [owner, segments] : standing_) all.insert(all.end(), segments.begin(), segments.end());
    return all;
}

std::vector<StatusSegment> fit_segments(const std::vector<StatusSegment>& segments, size_t cells) {
    std::vector<size_t> by_rank(segments.size());
    for (size_t i = 0; i < by_rank.size(); ++i) by_rank[i] = i;
    std::stable_sort(by_rank.begin(), by_rank.end(),
                     [&](size_t a, size_t b) { return segments[a].rank < segments[b].rank; });
    std::vector<bool> kept(segments.size(), false);
    size_t used = 0;
    for (size_t i : by_rank) {
        const size_t needed = segments[i].cells() + (used > 0 ? 2 : 0);
        if (used + needed > cells) continue;
        used += needed;
        kept[i] = true;
    }
    std::vector<StatusSegment> fitting;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (kept[i]) fitting.push_back(segments[i]);
    }
    return fitting;
}

void pack_status_line(const std::vector<StatusSegment>& segments, uint8_t* codes, size_t cells) {
    std::memset(codes, 0, cells);
    const std::vector<StatusSegment> fitting = fit_segments(segments, cells);
    size_t n = 0;
    auto put = [&](const std::string& text, uint8_t mark) {
        for (size_t i = 0; i < text.size() && n < cells; ++i) {
            const uint8_t c = uint8_t(text[i]);
            if ((c & 0xC0) == 0x80) continue;  // the rest of a multi-byte character
            codes[n++] = c == ' ' ? c : uint8_t((c < 0x80 ? c : '?') | mark);
        }
    };
    for (size_t s = 0; s < fitting.size(); ++s) {
        if (s > 0) put("  ", 0);
        put(fitting[s].label, 0x80);
        if (!fitting[s].label.empty() && !fitting[s].value.empty()) put(" ", 0);
        put(fitting[s].value, 0);
    }
}
