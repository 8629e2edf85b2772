#include "core/application.h"
#include "core/window_icon.h"
#include "core/window_title.h"

#include <stdexcept>
#include <string>
#include <thread>

Application::Application() = default;

void Application::set_fname(char* path) { fname = path; }

namespace {

// Loading the Vulkan drivers is the largest part of start-up, and it does
// not need the window: a throwaway instance made on a second thread loads
// them while SDL talks to the display server. They then stay loaded for the
// viewer's own instance. Its failure is no one's business: the viewer's own
// steps report what is missing.
class DriverPreload {
public:
    DriverPreload() : thread_([this] {
        VkInstanceCreateInfo info{};
        info.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
        if (vkCreateInstance(&info, nullptr, &instance_) != VK_SUCCESS) {
            instance_ = VK_NULL_HANDLE;
        }
    }) {}
    ~DriverPreload() { release(); }
    DriverPreload(const DriverPreload&) = delete;
    DriverPreload& operator=(const DriverPreload&) = delete;

    void release() {
        if (thread_.joinable()) {
            thread_.join();
        }
        if (instance_ != VK_NULL_HANDLE) {
            vkDestroyInstance(instance_, nullptr);
            instance_ = VK_NULL_HANDLE;
        }
    }

private:
    VkInstance instance_ = VK_NULL_HANDLE;
    std::thread thread_;
};

[[noreturn]] void fail_with_sdl_reason(const char* message) {
    throw std::runtime_error(std::string(message) + " " + SDL_GetError());
}

}  // namespace

void Application::run() {
    DriverPreload preload;
    initWindow();
    initVulkan();
    preload.release();
    // Read before the first frame, so that it already shows the page.
    load_file_window();
    mainLoop();
    cleanup();
}

// The one place that decides when to draw: events are drained in batches,
// and a batch that changed something is followed by one frame. With no
// frame owed, the loop sleeps in the event queue until something happens.
void Application::mainLoop() {
    for (;;) {
        bool quit = false;
        SDL_Event event;
        if (!need_redraw) {
            if (!SDL_WaitEvent(&event)) {
                fail_with_sdl_reason("failed to wait for events!");
            }
            handle_event(event, quit);
        }
        while (SDL_PollEvent(&event)) {
            handle_event(event, quit);
        }
        if (quit) {
            return;
        }
        if (need_redraw) {
            drawFrame();
        }
    }
}

void Application::initWindow() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        fail_with_sdl_reason("failed to start SDL video!");
    }
    // Without a reachable display SDL falls back, unasked, to a driver that
    // draws nowhere; say what is missing rather than what that driver lacks.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!SDL_getenv("SDL_VIDEODRIVER") && driver && std::string(driver) == "offscreen") {
        throw std::runtime_error(
            "failed to start SDL video! No display found: DISPLAY or WAYLAND_DISPLAY must name a running display server");
    }
    const std::string title = window_title(fname);
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, WIDTH,
                              HEIGHT, SDL_WINDOW_VULKAN | SDL_WINDOW_RESIZABLE);
    if (!window) {
        // Also where a video driver without Vulkan support says so.
        fail_with_sdl_reason("failed to create window!");
    }
    set_window_icon(window);
    zoom_to_desktop();
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
