#pragma once

#include "render/overlay_block.h"
#include "render/view_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Compares a drawn page (B, G, R, A bytes per pixel) with the page model for
// the same view block, every pixel, allowing 1 per channel for rounding. On
// a mismatch the expected, actual and difference images are written to
// test-output/ under the working folder, and the first wrong pixels are
// reported with their page region.
::testing::AssertionResult page_matches(const std::string& name, const UniformBufferObject& ubo,
                                        const std::vector<uint8_t>& bgra, uint32_t width, uint32_t height,
                                        bool compare_alpha = true, bool save_on_failure = true,
                                        const OverlayBlock* overlay = nullptr, bool pair = false);
