#pragma once

#include "render/overlay_block.h"
#include "render/view_block.h"

#include <array>
#include <cstdint>
#include <string>

// The page as the viewer should show it, computed on the processor from a
// view block, one pixel at a time, with 64-bit file positions.
struct LinearColour {
    float r, g, b, a;
};

// With an overlay of all zeros (the default) it is the plain page. With
// `pair`, the canvas holds a compare's two pages: the second drawn from the
// overlay's pair record, the bytes that differ marked in both.
LinearColour expected_pixel(const UniformBufferObject& ubo, int x, int y, const OverlayBlock* overlay = nullptr,
                            bool pair = false);

// Linear colour as an 8-bit B8G8R8A8_SRGB pixel (B, G, R, A).
std::array<uint8_t, 4> to_srgb_bgra(const LinearColour& colour);

// The page region a canvas pixel belongs to, for reports.
std::string region_of(int x, int y);
