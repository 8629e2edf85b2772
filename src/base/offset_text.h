#pragma once

#include <cstdint>
#include <string>

// Offsets as the page shows them (lower-case hexadecimal) and as decimals
// are written in the go-to prompt.
std::string hex_offset(uint64_t value);
std::string decimal_offset(uint64_t value);
