#include "find/search_pattern.h"

#include <algorithm>
#include <cctype>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends the text from `at` up to an unescaped `stop` (or the end when stop
// is 0); returns the position after it, or npos with `error` set.
size_t append_text(const std::string& in, size_t at, char stop, SearchPattern& pattern) {
    while (at < in.size() && in[at] != stop) {
        char c = in[at++];
        if (c == '\\') {
            if (at >= in.size()) {
                pattern.error = "unfinished escape";
                return std::string::npos;
            }
            const char e = in[at++];
            if (e == 'x') {
                const int high = at < in.size() ? hex_value(in[at]) : -1;
                const int low = at + 1 < in.size() ? hex_value(in[at + 1]) : -1;
                if (high < 0 || low < 0) {
                    pattern.error = "\\x needs two hexadecimal digits";
                    return std::string::npos;
                }
                c = char(high * 16 + low);
                at += 2;
            } else if (e == 'n') {
                c = '\n';
            } else if (e == 't') {
                c = '\t';
            } else if (e == '0') {
                c = '\0';
            } else if (e == '\\' || e == '"') {
                c = e;
            } else {
                pattern.error = std::string("unknown escape \\") + e;
                return std::string::npos;
            }
        }
        pattern.bytes.push_back(uint8_t(c));
        pattern.any.push_back(false);
    }
    if (stop != 0) {
        if (at >= in.size()) {
            pattern.error = "unfinished quote";
            return std::string::npos;
        }
        ++at;
    }
    return at;
}

void require_bytes(SearchPattern& pattern) {
    if (pattern.error.empty() && pattern.bytes.empty()) pattern.error = "empty pattern";
}

}  // namespace

bool SearchPattern::has_wildcards() const { return std::find(any.begin(), any.end(), true) != any.end(); }

SearchPattern parse_hex_pattern(const std::string& in) {
    SearchPattern pattern;
    size_t at = 0;
    while (at < in.size()) {
        const char c = in[at];
        if (c == ' ') {
            ++at;
        } else if (c == '"') {
            at = append_text(in, at + 1, '"', pattern);
            if (at == std::string::npos) return pattern;
        } else if (c == '?') {
            if (at + 1 >= in.size() || in[at + 1] != '?') {
                pattern.error = "?? stands for one byte";
                return pattern;
            }
            pattern.bytes.push_back(0);
            pattern.any.push_back(true);
            at += 2;
        } else if (hex_value(c) >= 0) {
            if (at + 1 >= in.size() || hex_value(in[at + 1]) < 0) {
                pattern.error = "odd number of hexadecimal digits";
                return pattern;
            }
            pattern.bytes.push_back(uint8_t(hex_value(c) * 16 + hex_value(in[at + 1])));
            pattern.any.push_back(false);
            at += 2;
        } else {
            size_t end = at + 1;  // the whole character, not its first byte
            while (end < in.size() && (uint8_t(in[end]) & 0xC0) == 0x80) ++end;
            pattern.error = "unexpected \"" + in.substr(at, end - at) + "\"";
            return pattern;
        }
    }
    require_bytes(pattern);
    return pattern;
}

SearchPattern parse_text_pattern(const std::string& in, bool ignore_case) {
    SearchPattern pattern;
    pattern.ignore_case = ignore_case;
    append_text(in, 0, 0, pattern);
    require_bytes(pattern);
    return pattern;
}
