#pragma once

#include <malloc.h>
#include <vulkan/vulkan.h>

#include <thread>

// Loading the Vulkan drivers is the largest part of start-up, and it does
// not need the window: a throwaway instance made on a second thread loads
// them while SDL starts and makes the window. They then stay loaded for the viewer's
// own instance. Its failure is no one's business: the viewer's own steps
// report what is missing.
class DriverPreload {
public:
    DriverPreload() = default;
    ~DriverPreload() { release(); }
    DriverPreload(const DriverPreload&) = delete;
    DriverPreload& operator=(const DriverPreload&) = delete;

    void start() {
        thread_ = std::thread([this] {
            VkInstanceCreateInfo info{};
            info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
            if (vkCreateInstance(&info, nullptr, &instance_) != VK_SUCCESS) {
                instance_ = VK_NULL_HANDLE;
            }
        });
    }

    // Waits for the thread and lets the throwaway instance go.
    void release() {
        if (thread_.joinable()) {
            thread_.join();
        }
        if (instance_ != VK_NULL_HANDLE) {
            vkDestroyInstance(instance_, nullptr);
            instance_ = VK_NULL_HANDLE;
            malloc_trim(0);  // what the thread's heap held goes back to the system
        }
    }

private:
    VkInstance instance_ = VK_NULL_HANDLE;
    std::thread thread_;
};
