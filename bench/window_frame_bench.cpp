// The floor under key-to-frame latency: the viewer's own frame (view block,
// submit, the page shader, present into a real window of the viewer's size)
// timed in-process until the present has finished, with no input on the way.
#include "core/application.h"
#include "frame_timing.h"
#include "support/temp_file.h"

#include <cstdlib>

int main(int argc, char** argv) {
    TempFile file(counting_bytes(1 << 20));
    Application app;
    app.set_fname(file.c_path());
    app.initWindow();
    app.initVulkan();
    app.load_file_window();
    int64_t step = 256;
    time_frames("window_frame", argc > 1 ? std::atoi(argv[1]) : 200, [&] {
        app.scroll_one_step(step);  // a new page each time, as a key would give
        step = -step;
        app.drawFrame();
        const std::lock_guard<std::mutex> hold(app.queue_lock);  // the pipeline worker submits too
        vkQueueWaitIdle(app.presentQueue);
    });
    app.cleanup();
}
