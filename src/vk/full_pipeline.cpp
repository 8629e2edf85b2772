#include "core/application.h"
#include "render/overlay_block.h"
#include "render/quad.h"
#include "render/shader_modules.h"
#include "render/view_block.h"
#include "vk/check.h"

#include <cstring>

// The worker reads the handles that stay as they are until the pipelines go
// (device, layouts, quad buffers, texture); whatever a rebuild of the swap
// chain changes it is given by value.
void Application::startFullPipeline() {
    if (fullPipeline != VK_NULL_HANDLE || pipeline_worker.started()) return;
    pipeline_worker.start([this, fragment = page_fragment_module(comparing(), true), pass = renderPass,
                           format = renderPassFormat, overlay_offset = overlayOffset] {
        VkPipeline pipeline = createPagePipeline(fragment, pass);
        try {
            warmPipeline(pipeline, pass, format, overlay_offset);
        } catch (...) {
            vkDestroyPipeline(device, pipeline, nullptr);
            throw;
        }
        return pipeline;
    });
}

void Application::useFullPipeline() {
    if (fullPipeline != VK_NULL_HANDLE) return;
    startFullPipeline();
    fullPipeline = pipeline_worker.take();
    fullCommandBuffers.resize(swapChainFramebuffers.size());
    recordCommandBuffers(fullCommandBuffers, fullPipeline);
}

// The driver compiles a pipeline's shaders for the state of its first draw;
// one draw into a small image of the same format and render pass, with the
// same texture, leaves that compile done for the window's frames. It uses
// objects of its own alone: command pools and descriptor sets are not
// shared between threads.
void Application::warmPipeline(VkPipeline pipeline, VkRenderPass pass, VkFormat format, VkDeviceSize overlay_offset) {
    const uint32_t side = 16;
    VkCommandPool pool = VK_NULL_HANDLE;
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory imageMemory = VK_NULL_HANDLE;
    VkImageView view = VK_NULL_HANDLE;
    VkFramebuffer framebuffer = VK_NULL_HANDLE;
    VkBuffer uniforms = VK_NULL_HANDLE;
    VkDeviceMemory uniformsMemory = VK_NULL_HANDLE;
    VkDescriptorPool descriptors = VK_NULL_HANDLE;
    VkFence done = VK_NULL_HANDLE;
    auto release = [&] {
        vkDestroyFence(device, done, nullptr);
        vkDestroyDescriptorPool(device, descriptors, nullptr);
        vkDestroyBuffer(device, uniforms, nullptr);
        vkFreeMemory(device, uniformsMemory, nullptr);
        vkDestroyFramebuffer(device, framebuffer, nullptr);
        vkDestroyImageView(device, view, nullptr);
        vkDestroyImage(device, image, nullptr);
        vkFreeMemory(device, imageMemory, nullptr);
        vkDestroyCommandPool(device, pool, nullptr);  // frees its command buffer
    };
    try {
        VkCommandPoolCreateInfo poolInfo{};
        poolInfo.sType = VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO;
        poolInfo.queueFamilyIndex = queueFamilies.graphicsFamily.value();
        check(vkCreateCommandPool(device, &poolInfo, nullptr, &pool), "failed to create graphics command pool!");

        createImage(side, side, format, VK_IMAGE_TILING_OPTIMAL, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                    VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, image, imageMemory);
        view = createImageView(image, format);
        VkFramebufferCreateInfo framebufferInfo{};
        framebufferInfo.sType = VK_STRUCTURE_TYPE_FRAMEBUFFER_CREATE_INFO;
        framebufferInfo.renderPass = pass;
        framebufferInfo.attachmentCount = 1;
        framebufferInfo.pAttachments = &view;
        framebufferInfo.width = side;
        framebufferInfo.height = side;
        framebufferInfo.layers = 1;
        check(vkCreateFramebuffer(device, &framebufferInfo, nullptr, &framebuffer), "failed to create framebuffer!");

        // An all-zero view block and overlay: an empty file's plain page.
        const VkDeviceSize size = overlay_offset + sizeof(OverlayBlock);
        createBuffer(size, VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT,
                     VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT, uniforms,
                     uniformsMemory);
        void* mapped;
        check(vkMapMemory(device, uniformsMemory, 0, size, 0, &mapped), "failed to map buffer memory!");
        std::memset(mapped, 0, size_t(size));
        vkUnmapMemory(device, uniformsMemory);

        const VkDescriptorPoolSize poolSizes[2] = {{VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 2},
                                                   {VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1}};
        VkDescriptorPoolCreateInfo descriptorPoolInfo{};
        descriptorPoolInfo.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO;
        descriptorPoolInfo.poolSizeCount = 2;
        descriptorPoolInfo.pPoolSizes = poolSizes;
        descriptorPoolInfo.maxSets = 1;
        check(vkCreateDescriptorPool(device, &descriptorPoolInfo, nullptr, &descriptors),
              "failed to create descriptor pool!");
        VkDescriptorSetAllocateInfo setInfo{};
        setInfo.sType = VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO;
        setInfo.descriptorPool = descriptors;
        setInfo.descriptorSetCount = 1;
        setInfo.pSetLayouts = &descriptorSetLayout;
        VkDescriptorSet set;
        check(vkAllocateDescriptorSets(device, &setInfo, &set), "failed to allocate descriptor sets!");
        const VkDescriptorBufferInfo blockInfo{uniforms, 0, sizeof(UniformBufferObject)};
        const VkDescriptorImageInfo imageInfo{textureSampler, textureImageView, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
        const VkDescriptorBufferInfo overlayInfo{uniforms, overlay_offset, sizeof(OverlayBlock)};
        VkWriteDescriptorSet writes[3]{};
        for (VkWriteDescriptorSet& write : writes) {
            write.sType = VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET;
            write.dstSet = set;
            write.descriptorCount = 1;
            write.descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
        }
        writes[0].dstBinding = 0;
        writes[0].pBufferInfo = &blockInfo;
        writes[1].dstBinding = 1;
        writes[1].descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        writes[1].pImageInfo = &imageInfo;
        writes[2].dstBinding = 2;
        writes[2].pBufferInfo = &overlayInfo;
        vkUpdateDescriptorSets(device, 3, writes, 0, nullptr);

        VkCommandBufferAllocateInfo allocInfo{};
        allocInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
        allocInfo.commandPool = pool;
        allocInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        allocInfo.commandBufferCount = 1;
        VkCommandBuffer commands;
        check(vkAllocateCommandBuffers(device, &allocInfo, &commands), "failed to allocate command buffers!");
        VkCommandBufferBeginInfo beginInfo{};
        beginInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
        beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        check(vkBeginCommandBuffer(commands, &beginInfo), "failed to begin recording command buffer!");
        const VkClearValue clearColor = {{{0.0f, 0.0f, 0.0f, 1.0f}}};
        VkRenderPassBeginInfo renderPassInfo{};
        renderPassInfo.sType = VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO;
        renderPassInfo.renderPass = pass;
        renderPassInfo.framebuffer = framebuffer;
        renderPassInfo.renderArea = {{0, 0}, {side, side}};
        renderPassInfo.clearValueCount = 1;
        renderPassInfo.pClearValues = &clearColor;
        vkCmdBeginRenderPass(commands, &renderPassInfo, VK_SUBPASS_CONTENTS_INLINE);
        vkCmdBindPipeline(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline);
        const VkViewport viewport{0.0f, 0.0f, float(side), float(side), 0.0f, 1.0f};
        const VkRect2D scissor{{0, 0}, {side, side}};
        vkCmdSetViewport(commands, 0, 1, &viewport);
        vkCmdSetScissor(commands, 0, 1, &scissor);
        const VkDeviceSize offsets[] = {0};
        vkCmdBindVertexBuffers(commands, 0, 1, &vertexBuffer, offsets);
        vkCmdBindIndexBuffer(commands, indexBuffer, 0, VK_INDEX_TYPE_UINT16);
        vkCmdBindDescriptorSets(commands, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout, 0, 1, &set, 0, nullptr);
        vkCmdDrawIndexed(commands, uint32_t(indices.size()), 1, 0, 0, 0);
        vkCmdEndRenderPass(commands);
        check(vkEndCommandBuffer(commands), "failed to record command buffer!");

        VkFenceCreateInfo fenceInfo{};
        fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
        check(vkCreateFence(device, &fenceInfo, nullptr, &done), "failed to create synchronization objects for a frame!");
        VkSubmitInfo submitInfo{};
        submitInfo.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
        submitInfo.commandBufferCount = 1;
        submitInfo.pCommandBuffers = &commands;
        submitGraphics(submitInfo, done);
        vkWaitForFences(device, 1, &done, VK_TRUE, UINT64_MAX);
    } catch (...) {
        release();
        throw;
    }
    release();
}

void Application::submitGraphics(const VkSubmitInfo& info, VkFence fence) {
    const std::lock_guard<std::mutex> hold(queue_lock);
    check(vkQueueSubmit(graphicsQueue, 1, &info, fence), "failed to submit draw command buffer!");
}

VkResult Application::present(const VkPresentInfoKHR& info) {
    const std::lock_guard<std::mutex> hold(queue_lock);
    return vkQueuePresentKHR(presentQueue, &info);
}

void Application::waitDeviceIdle() {
    const std::lock_guard<std::mutex> hold(queue_lock);
    vkDeviceWaitIdle(device);
}
