#pragma once

#include "core/application.h"
#include "render/view_block.h"

#include <cstdint>
#include <vector>

// Draws the page offscreen with the viewer's own render pass, pipelines,
// shader modules, quad buffers, texture and descriptor sets, on the first
// Vulkan device (the software driver here), and reads the pixels back. As
// the viewer after its first frame, it has the full pipeline built on the
// worker from the start, beside the plain pages it draws.
class HeadlessRenderer {
public:
    // The pipeline that draws: the one the viewer takes for the overlay, or either build.
    enum class Build { AsViewer, Plain, Full };

    // With `pair`, the pipeline is a compare's.
    HeadlessRenderer(uint32_t width, uint32_t height, bool pair = false);
    ~HeadlessRenderer();
    HeadlessRenderer(const HeadlessRenderer&) = delete;
    HeadlessRenderer& operator=(const HeadlessRenderer&) = delete;

    // Pixels in the swap chain's B8G8R8A8_SRGB byte order, row by row.
    std::vector<uint8_t> draw(const UniformBufferObject& ubo, const OverlayBlock& overlay = {},
                              Build build = Build::AsViewer);
    // Draws without reading back, for timing the page alone.
    void render(const UniformBufferObject& ubo, const OverlayBlock& overlay = {}, Build build = Build::AsViewer);

private:
    void createDevice();
    void copyImageToReadback();

    uint32_t width_;
    uint32_t height_;
    Application app_;
    VkImage target_ = VK_NULL_HANDLE;
    VkDeviceMemory targetMemory_ = VK_NULL_HANDLE;
    VkBuffer readback_ = VK_NULL_HANDLE;
    VkDeviceMemory readbackMemory_ = VK_NULL_HANDLE;
    VkFence done_ = VK_NULL_HANDLE;
};
