// Both pattern parsers: one byte picks the parser and the case, then the input.
#include "find/search_pattern.h"
#include "fuzz_input.h"

#include <cstdio>

namespace {

void well_formed(const SearchPattern& pattern) {
    REQUIRE(pattern.bytes.size() == pattern.any.size());
    REQUIRE(pattern.valid() == pattern.error.empty());  // an error exactly when it is no pattern
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    const uint64_t choice = in.number(1);
    const std::string input = in.rest();
    const bool text = choice & 1;
    const bool ignore_case = choice & 2;

    const SearchPattern pattern = text ? parse_text_pattern(input, ignore_case) : parse_hex_pattern(input);
    well_formed(pattern);
    if (text) REQUIRE(!pattern.has_wildcards() && pattern.ignore_case == ignore_case);
    if (!pattern.valid()) return 0;

    // Printed back as hexadecimal and as escaped text, the bytes read the same.
    std::string hex, escaped;
    for (size_t i = 0; i < pattern.bytes.size(); ++i) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%02x ", pattern.bytes[i]);
        hex += pattern.any[i] ? "?? " : digits;
        std::snprintf(digits, sizeof digits, "\\x%02X", pattern.bytes[i]);
        escaped += digits;
    }
    const SearchPattern from_hex = parse_hex_pattern(hex);
    well_formed(from_hex);
    REQUIRE(from_hex.bytes == pattern.bytes && from_hex.any == pattern.any);
    const SearchPattern from_text = parse_text_pattern(escaped, false);
    REQUIRE(from_text.valid() && from_text.bytes == pattern.bytes);
    return 0;
}
