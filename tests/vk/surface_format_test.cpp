#include "core/application.h"

#include <gtest/gtest.h>

namespace {

TEST(SurfaceFormat, TakesSrgbBgraWithSrgbColourSpaceWhereverItStands) {
    const std::vector<VkSurfaceFormatKHR> offered = {
        {VK_FORMAT_B8G8R8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR},
        {VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_DISPLAY_P3_NONLINEAR_EXT},
        {VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR},
    };
    const VkSurfaceFormatKHR chosen = chooseSwapSurfaceFormat(offered);
    EXPECT_EQ(chosen.format, VK_FORMAT_B8G8R8A8_SRGB);
    EXPECT_EQ(chosen.colorSpace, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR);
}

TEST(SurfaceFormat, FallsBackToTheFirstOffered) {
    const std::vector<VkSurfaceFormatKHR> offered = {
        {VK_FORMAT_B8G8R8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR},
        {VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_DISPLAY_P3_NONLINEAR_EXT},
    };
    EXPECT_EQ(chooseSwapSurfaceFormat(offered).format, VK_FORMAT_B8G8R8A8_UNORM);
}

}  // namespace
