#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGBA pixels as a PNG.
void write_png(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba);
