#include "support/headless_renderer.h"

#include "vk/check.h"

#include <cstring>

HeadlessRenderer::HeadlessRenderer(uint32_t width, uint32_t height, bool pair) : width_(width), height_(height) {
    static char second[] = "";
    if (pair) app_.file_b.path = second;  // only the pipeline's choice reads it
    createDevice();
    app_.createCommandPool();

    // One offscreen image stands in for the swap chain.
    app_.window = nullptr;
    app_.surface = VK_NULL_HANDLE;
    app_.swapChain = VK_NULL_HANDLE;
    app_.swapChainImageFormat = VK_FORMAT_B8G8R8A8_SRGB;
    app_.swapChainExtent = {width, height};
    app_.createImage(width, height, app_.swapChainImageFormat, VK_IMAGE_TILING_OPTIMAL,
                     VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                     VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, target_, targetMemory_);
    app_.swapChainImages = {target_};
    app_.createImageViews();

    app_.createRenderPass();
    app_.createDescriptorSetLayout();
    app_.createGraphicsPipeline();
    app_.createFramebuffers();
    app_.createTextureImage();
    app_.createTextureImageView();
    app_.createTextureSampler();
    app_.createVertexBuffer();
    app_.createIndexBuffer();
    app_.createUniformBuffers();
    app_.createDescriptorPool();
    app_.createDescriptorSets();
    app_.createCommandBuffers();
    app_.createSyncObjects();

    app_.createBuffer(VkDeviceSize(width) * height * 4, VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                      VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT, readback_,
                      readbackMemory_);
    VkFenceCreateInfo fenceInfo{};
    fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
    check(vkCreateFence(app_.device, &fenceInfo, nullptr, &done_), "fence");
    app_.startFullPipeline();
}

HeadlessRenderer::~HeadlessRenderer() {
    app_.waitDeviceIdle();
    vkDestroyFence(app_.device, done_, nullptr);
    vkDestroyBuffer(app_.device, readback_, nullptr);
    vkFreeMemory(app_.device, readbackMemory_, nullptr);
    vkDestroyImage(app_.device, target_, nullptr);
    vkFreeMemory(app_.device, targetMemory_, nullptr);
    app_.cleanup();
}

// The viewer's own instance and device steps, without a window: the surface
// extension only lets the viewer's tear-down run unchanged, and the first
// graphics queue family stands in for presentation.
void HeadlessRenderer::createDevice() {
    app_.createInstanceWith({VK_KHR_SURFACE_EXTENSION_NAME});
    uint32_t count = 1;
    VkPhysicalDevice physical = VK_NULL_HANDLE;
    vkEnumeratePhysicalDevices(app_.instance, &count, &physical);
    if (physical == VK_NULL_HANDLE) {
        throw std::runtime_error("failed to find GPUs with Vulkan support!");
    }
    app_.physicalDevice = physical;

    std::vector<VkQueueFamilyProperties> families(16);
    uint32_t familyCount = uint32_t(families.size());
    vkGetPhysicalDeviceQueueFamilyProperties(physical, &familyCount, families.data());
    QueueFamilyIndices indices;
    for (uint32_t i = 0; i < familyCount && !indices.graphicsFamily; ++i) {
        if (families[i].queueFlags & VK_QUEUE_GRAPHICS_BIT) {
            indices.graphicsFamily = indices.presentFamily = i;
        }
    }
    app_.createDeviceFor(indices);
}

void HeadlessRenderer::render(const UniformBufferObject& ubo, const OverlayBlock& overlay, Build build) {
    const bool full = build == Build::Full || (build == Build::AsViewer && needs_full_page(overlay));
    if (full) app_.useFullPipeline();
    std::memcpy(app_.uniformBuffersMapped[0], &ubo, sizeof ubo);
    std::memcpy(static_cast<char*>(app_.uniformBuffersMapped[0]) + app_.overlayOffset, &overlay, sizeof overlay);
    VkSubmitInfo submitInfo{};
    submitInfo.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
    submitInfo.commandBufferCount = 1;
    submitInfo.pCommandBuffers = full ? &app_.fullCommandBuffers[0] : &app_.commandBuffers[0];
    app_.submitGraphics(submitInfo, done_);
    vkWaitForFences(app_.device, 1, &done_, VK_TRUE, UINT64_MAX);
    vkResetFences(app_.device, 1, &done_);
}

void HeadlessRenderer::copyImageToReadback() {
    VkCommandBuffer commands = app_.beginSingleTimeCommands();
    VkImageMemoryBarrier barrier{};
    barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
    barrier.srcAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    barrier.dstAccessMask = VK_ACCESS_TRANSFER_READ_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_PRESENT_SRC_KHR;
    barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = target_;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdPipelineBarrier(commands, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0,
                         0, nullptr, 0, nullptr, 1, &barrier);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {width_, height_, 1};
    vkCmdCopyImageToBuffer(commands, target_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, readback_, 1, &region);
    app_.endSingleTimeCommands(commands);
}

std::vector<uint8_t> HeadlessRenderer::draw(const UniformBufferObject& ubo, const OverlayBlock& overlay, Build build) {
    render(ubo, overlay, build);
    copyImageToReadback();
    std::vector<uint8_t> pixels(size_t(width_) * height_ * 4);
    void* mapped;
    check(vkMapMemory(app_.device, readbackMemory_, 0, pixels.size(), 0, &mapped), "failed to map buffer memory!");
    std::memcpy(pixels.data(), mapped, pixels.size());
    vkUnmapMemory(app_.device, readbackMemory_);
    return pixels;
}
