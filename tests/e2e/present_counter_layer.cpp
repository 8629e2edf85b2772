// A test-only Vulkan layer that counts the frames an application presents.
// Enabled from outside through the loader's environment (VK_LAYER_PATH,
// VK_INSTANCE_LAYERS); it writes the running count, as decimal text, to the
// file named by QUIRN_PRESENT_COUNT_FILE after every present, and appends
// each present's CLOCK_MONOTONIC time in seconds to QUIRN_PRESENT_LOG.
#include <vulkan/vk_layer.h>
#include <vulkan/vulkan.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

PFN_vkGetInstanceProcAddr next_instance_proc = nullptr;
PFN_vkGetDeviceProcAddr next_device_proc = nullptr;
PFN_vkQueuePresentKHR next_present = nullptr;
unsigned long presents = 0;

void record_count() {
    const char* path = std::getenv("QUIRN_PRESENT_COUNT_FILE");
    if (!path) {
        return;
    }
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%lu\n", presents);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)!::write(fd, text, size_t(length));
        ::close(fd);
    }
}

void record_time() {
    static const int fd = [] {
        const char* path = std::getenv("QUIRN_PRESENT_LOG");
        return path ? ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    if (fd < 0) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char text[48];
    const int length = std::snprintf(text, sizeof text, "%lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
    (void)!::write(fd, text, size_t(length));
}

template <typename Info, typename Kind>
Info* layer_link(const void* chain, VkStructureType type, Kind function) {
    for (auto* info = static_cast<const VkBaseInStructure*>(chain); info; info = info->pNext) {
        auto* candidate = reinterpret_cast<Info*>(const_cast<VkBaseInStructure*>(info));
        if (info->sType == type && candidate->function == function) {
            return candidate;
        }
    }
    return nullptr;
}

VKAPI_ATTR VkResult VKAPI_CALL CreateInstance(const VkInstanceCreateInfo* info, const VkAllocationCallbacks* allocator,
                                              VkInstance* instance) {
    auto* link = layer_link<VkLayerInstanceCreateInfo>(info->pNext, VK_STRUCTURE_TYPE_LOADER_INSTANCE_CREATE_INFO,
                                                       VK_LAYER_LINK_INFO);
    if (!link) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    next_instance_proc = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;
    auto create = reinterpret_cast<PFN_vkCreateInstance>(next_instance_proc(VK_NULL_HANDLE, "vkCreateInstance"));
    return create(info, allocator, instance);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateDevice(VkPhysicalDevice physical, const VkDeviceCreateInfo* info,
                                            const VkAllocationCallbacks* allocator, VkDevice* device) {
    auto* link = layer_link<VkLayerDeviceCreateInfo>(info->pNext, VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO,
                                                     VK_LAYER_LINK_INFO);
    if (!link) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    PFN_vkGetInstanceProcAddr instance_proc = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    next_device_proc = link->u.pLayerInfo->pfnNextGetDeviceProcAddr;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;
    auto create = reinterpret_cast<PFN_vkCreateDevice>(instance_proc(VK_NULL_HANDLE, "vkCreateDevice"));
    const VkResult result = create(physical, info, allocator, device);
    if (result == VK_SUCCESS) {
        next_present = reinterpret_cast<PFN_vkQueuePresentKHR>(next_device_proc(*device, "vkQueuePresentKHR"));
    }
    return result;
}

VKAPI_ATTR VkResult VKAPI_CALL QueuePresentKHR(VkQueue queue, const VkPresentInfoKHR* info) {
    const VkResult result = next_present(queue, info);
    ++presents;
    record_count();
    record_time();
    return result;
}

}  // namespace

extern "C" {

VK_LAYER_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetDeviceProcAddr(VkDevice device, const char* name);

VK_LAYER_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetInstanceProcAddr(VkInstance instance, const char* name) {
    if (!std::strcmp(name, "vkGetInstanceProcAddr")) return reinterpret_cast<PFN_vkVoidFunction>(vkGetInstanceProcAddr);
    if (!std::strcmp(name, "vkGetDeviceProcAddr")) return reinterpret_cast<PFN_vkVoidFunction>(vkGetDeviceProcAddr);
    if (!std::strcmp(name, "vkCreateInstance")) return reinterpret_cast<PFN_vkVoidFunction>(CreateInstance);
    if (!std::strcmp(name, "vkCreateDevice")) return reinterpret_cast<PFN_vkVoidFunction>(CreateDevice);
    if (!std::strcmp(name, "vkQueuePresentKHR")) return reinterpret_cast<PFN_vkVoidFunction>(QueuePresentKHR);
    return next_instance_proc ? next_instance_proc(instance, name) : nullptr;
}

VK_LAYER_EXPORT VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL vkGetDeviceProcAddr(VkDevice device, const char* name) {
    if (!std::strcmp(name, "vkGetDeviceProcAddr")) return reinterpret_cast<PFN_vkVoidFunction>(vkGetDeviceProcAddr);
    if (!std::strcmp(name, "vkQueuePresentKHR")) return reinterpret_cast<PFN_vkVoidFunction>(QueuePresentKHR);
    return next_device_proc(device, name);
}

}  // extern "C"
