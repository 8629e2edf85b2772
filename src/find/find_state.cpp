#include "find/find_state.h"

#include "find/goto_target.h"

#include <cstdio>

namespace {

const size_t line_characters = 60;  // the label line holds 60 glyphs

// The input's last characters when it is longer than what fits.
std::string tail(const std::string& text, size_t room) {
    if (text.size() <= room) return text;
    size_t from = text.size() - room;
    while (from < text.size() && (uint8_t(text[from]) & 0xC0) == 0x80) ++from;  // not inside a character
    return "<" + text.substr(from + 1);
}

}  // namespace

std::string hex_offset(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string decimal_offset(uint64_t value) { return "#" + std::to_string(value); }

std::string progress_line(uint64_t position, uint64_t file_size, uint64_t bytes_done, double seconds) {
    char text[96];
    const double percent = file_size ? 100.0 * double(position) / double(file_size) : 100.0;
    const double gigabytes_per_second = seconds > 0 ? double(bytes_done) / seconds / 1e9 : 0.0;
    std::snprintf(text, sizeof text, "searching %s %.0f%% %.1f GB/s  Esc cancels", hex_offset(position).c_str(),
                  percent, gigabytes_per_second);
    return text;
}

SearchPattern FindState::pattern() const {
    return text_mode ? parse_text_pattern(input, ignore_case) : parse_hex_pattern(input);
}

std::string FindState::line(uint64_t file_size, uint64_t shown_offset) const {
    if (prompt == Prompt::None) return status;
    std::string head, after;
    if (prompt == Prompt::Goto) {
        head = "go to: ";
        const GotoTarget target = parse_goto(input, file_size, shown_offset);
        if (target.valid) {
            after = "  = " + hex_offset(target.offset) + " " + decimal_offset(target.offset);
        } else if (!target.error.empty()) {
            after = "  " + target.error;
        }
    } else if (prompt == Prompt::Save) {
        head = "save to: ";
    } else {
        head = text_mode ? (ignore_case ? "find text, any case: \"" : "find text: \"") : "find: ";
        if (backward) head = "back " + head;
        const SearchPattern parsed = pattern();
        if (!parsed.error.empty() && !input.empty()) after = "  " + parsed.error;
    }
    const std::string closing = prompt == Prompt::Search && text_mode ? "\"_" : "_";
    const size_t fixed = head.size() + closing.size() + after.size();
    const size_t room = fixed < line_characters ? line_characters - fixed : 8;
    return (head + tail(input, room) + closing + after).substr(0, 4 * line_characters);
}
