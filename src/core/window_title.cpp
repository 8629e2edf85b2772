#include "core/window_title.h"

#include <cstddef>

namespace {

// Length of the valid UTF-8 sequence at s (at most `left` bytes), or 0.
size_t utf8_sequence_length(const unsigned char* s, size_t left) {
    const unsigned char lead = s[0];
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (left < length || s[1] < low || s[1] > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (s[i] < 0x80 || s[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

namespace {

std::string shown_path(const char* path) {
    const std::string bytes(path);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string title;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = utf8_sequence_length(s + i, bytes.size() - i);
        // Control characters (C0, DEL and C1) would break the title's line.
        const bool control = (length == 1 && (s[i] < 0x20 || s[i] == 0x7F)) ||
                             (length == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0);
        if (length == 0 || control) {
            title += "\xEF\xBF\xBD";
            i += control ? length : 1;
        } else {
            title.append(bytes, i, length);
            i += length;
        }
    }
    return title;
}

}  // namespace

std::string window_title(const char* path, const char* second_path) {
    return shown_path(path) + (second_path ? " | " + shown_path(second_path) : "") + " - quirn";
}
