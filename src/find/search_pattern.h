#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a search looks for: bytes, some of which may be any byte.
struct SearchPattern {
    std::vector<uint8_t> bytes;
    std::vector<bool> any;      // any[i]: byte i matches every value (`??`)
    bool ignore_case = false;   // ASCII letters match either case
    std::string error;          // why the input is no pattern; empty when it is one

    bool valid() const { return error.empty() && !bytes.empty(); }
    bool has_wildcards() const;
};

// Hexadecimal bytes, spaces optional, `??` for any byte, and double-quoted
// text with escapes: `7f ?? 4c 46`, `"PK" 03 04`.
SearchPattern parse_hex_pattern(const std::string& input);

// The whole input is UTF-8 text, with the escapes \xNN \n \t \0 \\ and \".
SearchPattern parse_text_pattern(const std::string& input, bool ignore_case);
