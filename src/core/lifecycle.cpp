#include "core/application.h"
#include "core/window_icon.h"
#include "core/window_title.h"
#include "transfer/x_errors.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

Application::Application() = default;

void Application::set_fname(char* path) { fname = path; }

namespace {

[[noreturn]] void fail_with_sdl_reason(const char* message) {
    throw std::runtime_error(std::string(message) + " " + SDL_GetError());
}

}  // namespace

void Application::run() {
    // Watched from before the first read, so that no change slips between;
    // read before any window, so that a file that cannot be shown fails at
    // once, a start position is checked against the file's size, and the
    // first frame already shows the page.
    open_standard_input();
    if (!file_a.standard_input) live.watcher.arm(fname);
    if (comparing() && !file_b.standard_input) file_b.live.watcher.arm(file_b.path);
    load_file_window();
    apply_start_position();
    initWindow();
    start_partition_read();  // beside the device's set-up; its notice needs SDL's event queue
    live.watcher.start();
    if (comparing()) file_b.live.watcher.start();
    stdin_reader.start();
    initVulkan();
    driver_preload.release();
    mainLoop();
    cleanup();
}

void Application::stop_workers() {
    live.watcher.stop();
    file_b.live.watcher.stop();
    search_worker.stop();
    file_map.worker.stop();
    compare.worker.stop();
    compare.map_worker.stop();
    identify.partition_worker.stop();
    identify.type_worker.stop();
    identify.scan_worker.stop();
    transfer.worker.stop();
    hash.worker.stop();
    fields.worker.stop();
    stdin_reader.stop();
}

// The one place that decides when to draw: events are drained in batches,
// and a batch that changed something is followed by one frame. With no
// frame owed, the loop sleeps in the event queue until something happens.
void Application::mainLoop() {
    for (;;) {
        bool quit = false;
        SDL_Event event;
        if (!need_redraw) {
            // A wait that fails (SDL's wait can return early under load) is
            // no reason to end: the events are polled, and the wait comes again.
            if (SDL_WaitEvent(&event)) {
                handle_event(event, quit);
            } else {
                SDL_Delay(5);
            }
        }
        while (SDL_PollEvent(&event)) {
            handle_event(event, quit);
        }
        if (quit || quit_requested) {
            return;
        }
        if (need_redraw) {
            drawFrame();
            live.watcher.frame_drawn();
            if (comparing()) file_b.live.watcher.frame_drawn();
        }
    }
}

void Application::initWindow() {
    // With no session bus to talk to, SDL's D-Bus library would fork a
    // helper to launch one; a viewer wants none, and the fork would race
    // the driver loading below.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
    driver_preload.start();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        fail_with_sdl_reason("failed to start SDL video!");
    }
    // In place of SDL's, which hands X errors on to Xlib's, which exits:
    // answering a program that asked for the clipboard and is gone must not
    // end the viewer.
    install_x_error_handler();
    // Without a reachable display SDL falls back, unasked, to a driver that
    // draws nowhere; say what is missing rather than what that driver lacks.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!SDL_getenv("SDL_VIDEODRIVER") && driver && std::string(driver) == "offscreen") {
        throw std::runtime_error(
            "failed to start SDL video! No display found: DISPLAY or WAYLAND_DISPLAY must name a running display server");
    }
    const std::string title = window_title(file_a.name(), comparing() ? file_b.name() : nullptr);
    window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, page_width(),
                              HEIGHT, SDL_WINDOW_VULKAN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (!window) {
        // Also where a video driver without Vulkan support says so.
        fail_with_sdl_reason("failed to create window!");
    }
    set_window_icon(window);
    // Shown once it has the size of the desktop's zoom.
    zoom_to_desktop();
    SDL_ShowWindow(window);
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
