#include "core/application.h"
#include "vk/check.h"

#include <set>
#include <string>

namespace {

const std::vector<const char*> deviceExtensions = {VK_KHR_SWAPCHAIN_EXTENSION_NAME};

}  // namespace

void Application::pickPhysicalDevice() {
    uint32_t count = 0;
    vkEnumeratePhysicalDevices(instance, &count, nullptr);
    if (count == 0) {
        throw std::runtime_error("failed to find GPUs with Vulkan support!");
    }
    std::vector<VkPhysicalDevice> devices(count);
    vkEnumeratePhysicalDevices(instance, &count, devices.data());
    for (VkPhysicalDevice candidate : devices) {
        if (isDeviceSuitable(candidate)) {
            physicalDevice = candidate;
            break;
        }
    }
    if (physicalDevice == VK_NULL_HANDLE) {
        throw std::runtime_error("failed to find a suitable GPU!");
    }
}

bool Application::isDeviceSuitable(VkPhysicalDevice candidate) {
    const QueueFamilyIndices families = findQueueFamilies(candidate);
    const bool extensionsSupported = checkDeviceExtensionSupport(candidate);
    bool swapChainAdequate = false;
    if (extensionsSupported) {
        const SwapChainSupportDetails support = querySwapChainSupport(candidate);
        swapChainAdequate = !support.formats.empty() && !support.presentModes.empty();
    }
    return families.isComplete() && extensionsSupported && swapChainAdequate;
}

QueueFamilyIndices Application::findQueueFamilies(VkPhysicalDevice candidate) {
    QueueFamilyIndices families;
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(candidate, &count, nullptr);
    std::vector<VkQueueFamilyProperties> properties(count);
    vkGetPhysicalDeviceQueueFamilyProperties(candidate, &count, properties.data());
    for (uint32_t i = 0; i < count; ++i) {
        if (properties[i].queueFlags & VK_QUEUE_GRAPHICS_BIT) {
            families.graphicsFamily = i;
        }
        VkBool32 presentSupport = VK_FALSE;
        vkGetPhysicalDeviceSurfaceSupportKHR(candidate, i, surface, &presentSupport);
        if (presentSupport) {
            families.presentFamily = i;
        }
        if (families.isComplete()) {
            break;
        }
    }
    return families;
}

bool Application::checkDeviceExtensionSupport(VkPhysicalDevice candidate) {
    uint32_t count = 0;
    vkEnumerateDeviceExtensionProperties(candidate, nullptr, &count, nullptr);
    std::vector<VkExtensionProperties> available(count);
    vkEnumerateDeviceExtensionProperties(candidate, nullptr, &count, available.data());
    std::set<std::string> required(deviceExtensions.begin(), deviceExtensions.end());
    for (const VkExtensionProperties& extension : available) {
        required.erase(extension.extensionName);
    }
    return required.empty();
}

SwapChainSupportDetails Application::querySwapChainSupport(VkPhysicalDevice candidate) {
    SwapChainSupportDetails details;
    vkGetPhysicalDeviceSurfaceCapabilitiesKHR(candidate, surface, &details.capabilities);
    uint32_t formatCount = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(candidate, surface, &formatCount, nullptr);
    if (formatCount != 0) {
        details.formats.resize(formatCount);
        vkGetPhysicalDeviceSurfaceFormatsKHR(candidate, surface, &formatCount, details.formats.data());
    }
    uint32_t modeCount = 0;
    vkGetPhysicalDeviceSurfacePresentModesKHR(candidate, surface, &modeCount, nullptr);
    if (modeCount != 0) {
        details.presentModes.resize(modeCount);
        vkGetPhysicalDeviceSurfacePresentModesKHR(candidate, surface, &modeCount, details.presentModes.data());
    }
    return details;
}

void Application::createLogicalDevice() { createDeviceFor(findQueueFamilies(physicalDevice)); }

void Application::createDeviceFor(const QueueFamilyIndices& families) {
    queueFamilies = families;
    const std::set<uint32_t> uniqueFamilies = {families.graphicsFamily.value(), families.presentFamily.value()};

    const float priority = 1.0f;
    std::vector<VkDeviceQueueCreateInfo> queueInfos;
    for (uint32_t family : uniqueFamilies) {
        VkDeviceQueueCreateInfo queueInfo{};
        queueInfo.sType = VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO;
        queueInfo.queueFamilyIndex = family;
        queueInfo.queueCount = 1;
        queueInfo.pQueuePriorities = &priority;
        queueInfos.push_back(queueInfo);
    }

    // No optional feature: the sampler is made without anisotropy.
    const VkPhysicalDeviceFeatures features{};

    VkDeviceCreateInfo createInfo{};
    createInfo.sType = VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO;
    createInfo.queueCreateInfoCount = uint32_t(queueInfos.size());
    createInfo.pQueueCreateInfos = queueInfos.data();
    createInfo.enabledLayerCount = 0;
    createInfo.enabledExtensionCount = uint32_t(deviceExtensions.size());
    createInfo.ppEnabledExtensionNames = deviceExtensions.data();
    createInfo.pEnabledFeatures = &features;

    check(vkCreateDevice(physicalDevice, &createInfo, nullptr, &device), "failed to create logical device!");
    vkGetDeviceQueue(device, families.graphicsFamily.value(), 0, &graphicsQueue);
    vkGetDeviceQueue(device, families.presentFamily.value(), 0, &presentQueue);
}
