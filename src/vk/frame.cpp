#include "core/application.h"
#include "core/page_rules.h"
#include "render/quad.h"
#include "vk/check.h"

#include <cstdint>

// Each command buffer is recorded once and only ever resubmitted: every
// change of the page travels in the view block. Each pipeline there is has
// a set of its own, one per swap chain image.
void Application::createCommandBuffers() {
    commandBuffers.resize(swapChainFramebuffers.size());
    imagesInFlight.assign(swapChainFramebuffers.size(), VK_NULL_HANDLE);
    recordCommandBuffers(commandBuffers, graphicsPipeline);
    fullCommandBuffers.clear();
    if (fullPipeline != VK_NULL_HANDLE) {
        fullCommandBuffers.resize(swapChainFramebuffers.size());
        recordCommandBuffers(fullCommandBuffers, fullPipeline);
    }
}

void Application::recordCommandBuffers(std::vector<VkCommandBuffer>& buffers, VkPipeline pipeline) {
    VkCommandBufferAllocateInfo allocInfo{};
    allocInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO;
    allocInfo.commandPool = commandPool;
    allocInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocInfo.commandBufferCount = uint32_t(buffers.size());
    check(vkAllocateCommandBuffers(device, &allocInfo, buffers.data()), "failed to allocate command buffers!");

    const VkViewport viewport{0.0f, 0.0f, float(swapChainExtent.width), float(swapChainExtent.height), 0.0f, 1.0f};
    const VkRect2D scissor{{0, 0}, swapChainExtent};
    for (size_t i = 0; i < buffers.size(); ++i) {
        VkCommandBufferBeginInfo beginInfo{};
        beginInfo.sType = VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO;
        check(vkBeginCommandBuffer(buffers[i], &beginInfo), "failed to begin recording command buffer!");

        const VkClearValue clearColor = {{{0.0f, 0.0f, 0.0f, 1.0f}}};
        VkRenderPassBeginInfo renderPassInfo{};
        renderPassInfo.sType = VK_STRUCTURE_TYPE_RENDER_PASS_BEGIN_INFO;
        renderPassInfo.renderPass = renderPass;
        renderPassInfo.framebuffer = swapChainFramebuffers[i];
        renderPassInfo.renderArea = {{0, 0}, swapChainExtent};
        renderPassInfo.clearValueCount = 1;
        renderPassInfo.pClearValues = &clearColor;

        vkCmdBeginRenderPass(buffers[i], &renderPassInfo, VK_SUBPASS_CONTENTS_INLINE);
        vkCmdBindPipeline(buffers[i], VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline);
        vkCmdSetViewport(buffers[i], 0, 1, &viewport);
        vkCmdSetScissor(buffers[i], 0, 1, &scissor);
        const VkDeviceSize offsets[] = {0};
        vkCmdBindVertexBuffers(buffers[i], 0, 1, &vertexBuffer, offsets);
        vkCmdBindIndexBuffer(buffers[i], indexBuffer, 0, VK_INDEX_TYPE_UINT16);
        vkCmdBindDescriptorSets(buffers[i], VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout, 0, 1,
                                &descriptorSets[i], 0, nullptr);
        vkCmdDrawIndexed(buffers[i], uint32_t(indices.size()), 1, 0, 0, 0);
        vkCmdEndRenderPass(buffers[i]);
        check(vkEndCommandBuffer(buffers[i]), "failed to record command buffer!");
    }
}

void Application::createSyncObjects() {
    imageAvailableSemaphores.resize(MAX_FRAMES_IN_FLIGHT);
    renderFinishedSemaphores.resize(MAX_FRAMES_IN_FLIGHT);
    inFlightFences.resize(MAX_FRAMES_IN_FLIGHT);

    VkSemaphoreCreateInfo semaphoreInfo{};
    semaphoreInfo.sType = VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO;
    VkFenceCreateInfo fenceInfo{};
    fenceInfo.sType = VK_STRUCTURE_TYPE_FENCE_CREATE_INFO;
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;

    const char* message = "failed to create synchronization objects for a frame!";
    for (int i = 0; i < MAX_FRAMES_IN_FLIGHT; ++i) {
        check(vkCreateSemaphore(device, &semaphoreInfo, nullptr, &imageAvailableSemaphores[i]), message);
        check(vkCreateSemaphore(device, &semaphoreInfo, nullptr, &renderFinishedSemaphores[i]), message);
        check(vkCreateFence(device, &fenceInfo, nullptr, &inFlightFences[i]), message);
    }
}

void Application::drawFrame() {
    // Counts the clean presents of the whole run, not of one swap chain or
    // one object: only the run's very first frame owes a second one.
    static uint64_t frame_counter = 0;
    const uint64_t slot = currentFrame;

    vkWaitForFences(device, 1, &inFlightFences[slot], VK_TRUE, UINT64_MAX);

    uint32_t imageIndex;
    VkResult result = vkAcquireNextImageKHR(device, swapChain, UINT64_MAX, imageAvailableSemaphores[slot],
                                            VK_NULL_HANDLE, &imageIndex);
    if (result == VK_ERROR_OUT_OF_DATE_KHR) {
        recreateSwapChain();
        return;
    }
    if (result != VK_SUCCESS && result != VK_SUBOPTIMAL_KHR) {
        throw std::runtime_error("failed to acquire swap chain image!");
    }

    // The image may come back before the other slot's submission that last
    // drew it has finished; its view block and command buffer are still in use.
    if (imagesInFlight[imageIndex] != VK_NULL_HANDLE) {
        vkWaitForFences(device, 1, &imagesInFlight[imageIndex], VK_TRUE, UINT64_MAX);
    }
    imagesInFlight[imageIndex] = inFlightFences[slot];

    // Only the first frame whose overlay needs the full page waits for its pipeline.
    const bool full = updateUniformBuffer(imageIndex);
    if (full) useFullPipeline();

    const VkPipelineStageFlags waitStage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
    VkSubmitInfo submitInfo{};
    submitInfo.sType = VK_STRUCTURE_TYPE_SUBMIT_INFO;
    submitInfo.waitSemaphoreCount = 1;
    submitInfo.pWaitSemaphores = &imageAvailableSemaphores[slot];
    submitInfo.pWaitDstStageMask = &waitStage;
    submitInfo.commandBufferCount = 1;
    submitInfo.pCommandBuffers = full ? &fullCommandBuffers[imageIndex] : &commandBuffers[imageIndex];
    submitInfo.signalSemaphoreCount = 1;
    submitInfo.pSignalSemaphores = &renderFinishedSemaphores[slot];

    vkResetFences(device, 1, &inFlightFences[slot]);
    submitGraphics(submitInfo, inFlightFences[slot]);

    VkPresentInfoKHR presentInfo{};
    presentInfo.sType = VK_STRUCTURE_TYPE_PRESENT_INFO_KHR;
    presentInfo.waitSemaphoreCount = 1;
    presentInfo.pWaitSemaphores = &renderFinishedSemaphores[slot];
    presentInfo.swapchainCount = 1;
    presentInfo.pSwapchains = &swapChain;
    presentInfo.pImageIndices = &imageIndex;
    result = present(presentInfo);

    need_redraw = true;
    if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR || framebufferResized) {
        framebufferResized = false;
        recreateSwapChain();
        return;
    }
    if (result != VK_SUCCESS) {
        throw std::runtime_error("failed to present swap chain image!");
    }

    // The first frame is on the screen: the full page's pipeline is built
    // beside the frames that follow.
    startFullPipeline();
    if (!fields.after_first_present) {
        fields.after_first_present = true;
        refresh_structure();  // its answer asks for a frame if it shows anything
    }
    currentFrame = (currentFrame + 1) % MAX_FRAMES_IN_FLIGHT;
    need_redraw = needs_another_frame(frame_counter++, file_size_changed || file_b.size_changed);
    file_size_changed = false;
    file_b.size_changed = false;
}
