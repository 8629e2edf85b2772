#include "core/application.h"
#include "vk/check.h"

#include <SDL2/SDL_vulkan.h>

#include <iostream>

void Application::createInstance() {
    VkApplicationInfo appInfo{};
    appInfo.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    appInfo.pApplicationName = "Basic text";
    appInfo.applicationVersion = VK_MAKE_VERSION(1, 0, 0);
    appInfo.pEngineName = "No Engine";
    appInfo.engineVersion = VK_MAKE_VERSION(1, 0, 0);
    appInfo.apiVersion = VK_API_VERSION_1_0;

    const std::vector<const char*> extensions = getRequiredExtensions();

    VkInstanceCreateInfo createInfo{};
    createInfo.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    createInfo.pApplicationInfo = &appInfo;
    createInfo.enabledExtensionCount = uint32_t(extensions.size());
    createInfo.ppEnabledExtensionNames = extensions.data();
    createInfo.enabledLayerCount = 0;

    check(vkCreateInstance(&createInfo, nullptr, &instance), "failed to create instance!");
}

std::vector<const char*> Application::getRequiredExtensions() {
    unsigned int count = 0;
    if (!SDL_Vulkan_GetInstanceExtensions(window, &count, nullptr)) {
        throw std::runtime_error("Can't get Vulkan Instance Extensions");
    }
    std::cout << "Number of extensions: " << count << "\n";
    std::vector<const char*> extensions;
    const size_t base = extensions.size();
    extensions.resize(base + count);
    if (!SDL_Vulkan_GetInstanceExtensions(window, &count, extensions.data() + base)) {
        throw std::runtime_error("Can't get my Vulkan Instance Extensions");
    }
    return extensions;
}

// Validation is switched on from outside, through the loader's environment.
void Application::setupDebugMessenger() {}

void Application::createSurface() {
    if (!SDL_Vulkan_CreateSurface(window, instance, &surface)) {
        throw std::runtime_error("failed to create window surface!");
    }
}
