#include "core/application.h"
#include "vk/check.h"

#include <SDL2/SDL_vulkan.h>

#include <iostream>
#include <string>

namespace {

// Used only when validation is built in; the tests switch the layer on from
// outside instead, through the loader's environment.
const std::vector<const char*> validationLayers = {"VK_LAYER_KHRONOS_validation"};

}  // namespace

void Application::createInstance() { createInstanceWith(getRequiredExtensions()); }

void Application::createInstanceWith(const std::vector<const char*>& extensions) {
    VkApplicationInfo appInfo{};
    appInfo.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
    appInfo.pApplicationName = "Basic text";
    appInfo.applicationVersion = VK_MAKE_VERSION(1, 0, 0);
    appInfo.pEngineName = "No Engine";
    appInfo.engineVersion = VK_MAKE_VERSION(1, 0, 0);
    appInfo.apiVersion = VK_API_VERSION_1_0;


    VkInstanceCreateInfo createInfo{};
    createInfo.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
    createInfo.pApplicationInfo = &appInfo;
    createInfo.enabledExtensionCount = uint32_t(extensions.size());
    createInfo.ppEnabledExtensionNames = extensions.data();
    createInfo.enabledLayerCount = 0;
    if (enableValidationLayers) {
        createInfo.enabledLayerCount = uint32_t(validationLayers.size());
        createInfo.ppEnabledLayerNames = validationLayers.data();
    }

    check(vkCreateInstance(&createInfo, nullptr, &instance), "failed to create instance!");
}

std::vector<const char*> Application::getRequiredExtensions() {
    unsigned int count = 0;
    if (!SDL_Vulkan_GetInstanceExtensions(window, &count, nullptr)) {
        // SDL's reason, such as a Vulkan loader that found no driver.
        throw std::runtime_error(std::string("Can't get Vulkan Instance Extensions: ") + SDL_GetError());
    }
    std::cout << "Number of extensions: " << count << "\n";
    // SDL's names are appended after whatever the list already holds: nothing
    // today, but an extension of our own (debug utils) would go first.
    std::vector<const char*> extensions;
    const size_t base = extensions.size();
    extensions.resize(base + count);
    if (!SDL_Vulkan_GetInstanceExtensions(window, &count, extensions.data() + base)) {
        throw std::runtime_error("Can't get my Vulkan Instance Extensions");
    }
    return extensions;
}

// With validation off there is no messenger to set up.
void Application::setupDebugMessenger() {}

void Application::createSurface() {
    if (!SDL_Vulkan_CreateSurface(window, instance, &surface)) {
        throw std::runtime_error("failed to create window surface!");
    }
}
