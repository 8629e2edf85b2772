// The floor under key-to-frame latency: the viewer's own frame (view block,
// submit, the page shader, present into a real window of the viewer's size)
// timed in-process until the present has finished, with no input on the way.
// With "resize" after the count, each frame is a resize's instead: the window
// changes height, and the frame on the old swap chain, the rebuild and the
// frame on the new one are timed together.
#include "core/application.h"
#include "frame_timing.h"
#include "support/temp_file.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    TempFile file(counting_bytes(1 << 20));
    Application app;
    app.set_fname(file.c_path());
    app.initWindow();
    app.initVulkan();
    app.load_file_window();
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    if (argc > 2 && std::string(argv[2]) == "resize") {
        int height = HEIGHT;
        time_frames("resize_frame", count, [&] {
            height = height == HEIGHT ? HEIGHT - 100 : HEIGHT;
            SDL_SetWindowSize(app.window, WIDTH, height);
            app.framebufferResized = true;  // as the event loop records a resize
            app.drawFrame();
            app.drawFrame();
            const std::lock_guard<std::mutex> hold(app.queue_lock);
            vkQueueWaitIdle(app.presentQueue);
        });
        app.cleanup();
        return 0;
    }
    int64_t step = 256;
    time_frames("window_frame", count, [&] {
        app.scroll_one_step(step);  // a new page each time, as a key would give
        step = -step;
        app.drawFrame();
        const std::lock_guard<std::mutex> hold(app.queue_lock);  // the pipeline worker submits too
        vkQueueWaitIdle(app.presentQueue);
    });
    app.cleanup();
}
