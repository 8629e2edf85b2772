#pragma once

#include <vulkan/vulkan.h>

#include <stdexcept>

// Turns a failed Vulkan call into the runtime error that ends the program
// with its fixed message.
inline void check(VkResult result, const char* message) {
    if (result != VK_SUCCESS) {
        throw std::runtime_error(message);
    }
}
