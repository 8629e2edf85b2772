#include "base/offset_text.h"

#include <cstdio>

std::string hex_offset(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string decimal_offset(uint64_t value) { return "#" + std::to_string(value); }
