#include "core/application.h"
#include "core/window_title.h"

#include <string>

Application::Application() = default;

void Application::set_fname(char* path) { fname = path; }

void Application::run() {
    initWindow();
    initVulkan();
    mainLoop();
    cleanup();
}

void Application::initWindow() {
    SDL_Init(SDL_INIT_VIDEO);
    const std::string title = window_title(fname);
    // A missing window surfaces as the failure of the first Vulkan step that needs it.
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, WIDTH,
                              HEIGHT, SDL_WINDOW_VULKAN | SDL_WINDOW_RESIZABLE);
}

void Application::initVulkan() {
    createInstance();
    setupDebugMessenger();
    createSurface();
    pickPhysicalDevice();
    createLogicalDevice();
    createSwapChain();
    createImageViews();
    createRenderPass();
    createDescriptorSetLayout();
    createGraphicsPipeline();
    createFramebuffers();
    createCommandPool();
    createTextureImage();
    createTextureImageView();
    createTextureSampler();
    createVertexBuffer();
    createIndexBuffer();
    createUniformBuffers();
    createDescriptorPool();
    createDescriptorSets();
    createCommandBuffers();
    createSyncObjects();
}
