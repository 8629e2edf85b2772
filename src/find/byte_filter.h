#pragma once

#include <cstddef>
#include <cstdint>

// The first place in [begin, end) where `needle` (n bytes) starts and ends
// within [begin, end), or nullptr. A vectorised filter on the needle's first
// and last bytes picks the candidates; with AVX2 where the processor has it.
const uint8_t* find_bytes(const uint8_t* begin, const uint8_t* end, const uint8_t* needle, size_t n);
