#include "status/status_line.h"

#include "base/offset_text.h"
#include "select/goto_range.h"
#include "transfer/transfer_format.h"

#include <algorithm>
#include <cstring>

unsigned percent_into(uint64_t offset, uint64_t size) {
    if (size == 0) return 0;
    // Offsets stay below 2^48, so a hundred times one fits in 64 bits.
    return unsigned(std::min<uint64_t>(offset, size) * 100 / size);
}

std::vector<StatusSegment> view_segments(const StatusFacts& facts) {
    std::vector<StatusSegment> segments;
    if (facts.character_device) {
        segments.push_back({"at", hex_offset(facts.offset)});
        segments.push_back({"", "a character device: no size to show"});
    } else {
        segments.push_back({"at", hex_offset(facts.offset) + " " + std::to_string(percent_into(facts.offset, facts.file_size)) + "%"});
        segments.push_back({"size", hex_offset(facts.file_size) + " " + size_text(facts.file_size)});
    }
    if (facts.selected) {
        segments.push_back({"", facts.nothing_selected.empty() ? range_text(facts.first, facts.end) : facts.nothing_selected});
    }
    if (!facts.charset.empty()) segments.push_back({"charset", facts.charset});
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

void pack_status_line(const std::vector<StatusSegment>& segments, uint8_t* codes, size_t cells) {
    std::memset(codes, 0, cells);
    size_t n = 0;
    auto put = [&](const std::string& text, uint8_t mark) {
        for (size_t i = 0; i < text.size() && n < cells; ++i) {
            const uint8_t c = uint8_t(text[i]);
            if ((c & 0xC0) == 0x80) continue;  // the rest of a multi-byte character
            codes[n++] = c == ' ' ? c : uint8_t((c < 0x80 ? c : '?') | mark);
        }
    };
    for (size_t s = 0; s < segments.size(); ++s) {
        if (s > 0) put("  ", 0);
        put(segments[s].label, 0x80);
        if (!segments[s].label.empty() && !segments[s].value.empty()) put(" ", 0);
        put(segments[s].value, 0);
    }
}
