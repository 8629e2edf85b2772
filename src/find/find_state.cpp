#include "find/find_state.h"

#include "select/goto_range.h"

#include <cctype>
#include <cstdio>

namespace {

const size_t line_characters = label_line_cells;
const size_t min_input_room = 7;  // the input's last characters a prompt always shows
static_assert(2 + min_input_room + 2 + 2 + prompt_message_cells <= label_line_cells);

bool continuation(char c) { return (uint8_t(c) & 0xC0) == 0x80; }

// Glyphs on the label line: one per character, whatever its length in bytes.
size_t glyphs(const std::string& text) {
    size_t count = 0;
    for (char c : text) count += !continuation(c);
    return count;
}

// The text's first `room` characters.
std::string head_of(const std::string& text, size_t room) {
    size_t end = 0;
    for (size_t count = 0; end < text.size(); ++end) {
        if (!continuation(text[end]) && count++ == room) break;
    }
    return text.substr(0, end);
}

// The input's last characters, behind a "<", when it is longer than `room`.
std::string tail(const std::string& text, size_t room) {
    const size_t count = glyphs(text);
    if (count <= room) return text;
    size_t from = 0;
    for (size_t skip = count - (room - 1); from < text.size(); ++from) {
        if (!continuation(text[from]) && skip-- == 0) break;
    }
    return "<" + text.substr(from);
}

// Hexadecimal input holding a character that is none of its own, outside
// a quoted text: most likely text typed in the wrong mode.
bool typed_as_text(const std::string& input) {
    bool quoted = false;
    for (size_t i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if (quoted) {
            if (c == '\\') ++i;
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (!std::isxdigit(uint8_t(c)) && c != ' ' && c != '?') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string fit_label_line(const std::string& text) { return tail(text, line_characters); }

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
    // Each prompt has a short head (the key that opens it) for a line that
    // is too long with the whole one.
    std::string head, short_head, after;
    if (prompt == Prompt::Goto) {
        head = "go to: ";
        short_head = ":";
        const GotoRange target = parse_goto_range(input, file_size, shown_offset, partitions);
        if (target.valid) {
            after = "  = " + (target.is_range ? range_text(target.first, target.end)
                                              : hex_offset(target.first) + " " + decimal_offset(target.first));
        } else if (!target.error.empty()) {
            after = "  " + target.error;
        }
    } else if (prompt == Prompt::Save) {
        head = "save " + hex_offset(save_first) + ".." + hex_offset(save_end - 1) + " to: ";
        short_head = "save to: ";
    } else {
        head = text_mode ? (ignore_case ? "find text, any case: \"" : "find text: \"") : "find: ";
        if (backward) head = "back " + head;
        short_head = std::string(backward ? "?" : "/") + (text_mode ? "\"" : "");
        const SearchPattern parsed = pattern();
        // Spaces alone are no hexadecimal input yet, as in the go-to prompt.
        const bool blank = text_mode ? input.empty() : input.find_first_not_of(' ') == std::string::npos;
        const bool not_hex = !text_mode && !parsed.error.empty() && typed_as_text(input);
        if (!parsed.error.empty() && !blank) after = "  " + (not_hex ? "not hexadecimal: Tab searches it as text" : parsed.error);
    }
    const std::string closing = prompt == Prompt::Search && text_mode ? "\"_" : "_";
    const auto compose = [&](const std::string& lead) {
        const size_t fixed = glyphs(lead) + glyphs(closing) + glyphs(after);
        const size_t room = fixed + min_input_room < line_characters ? line_characters - fixed : min_input_room;
        return lead + tail(input, room) + closing + after;
    };
    // The input gives way first, down to its last few characters, then the
    // head; only a message longer than the rest of the line loses its end.
    std::string whole = compose(head);
    if (glyphs(whole) > line_characters) whole = compose(short_head);
    return head_of(whole, line_characters);
}
