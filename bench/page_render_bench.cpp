// Times the page shader on the Vulkan driver: one page drawn offscreen,
// view block upload and submit included, read-back excluded.
#include "core/application.h"
#include "frame_timing.h"
#include "support/headless_renderer.h"
#include "support/temp_file.h"

#include <cstdlib>

int main(int argc, char** argv) {
    TempFile file(counting_bytes(1 << 20));
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    app.offset = 4096;
    UniformBufferObject ubo;
    app.fill_view_block(ubo);

    HeadlessRenderer renderer(WIDTH, HEIGHT);
    time_frames("page_render", argc > 1 ? std::atoi(argv[1]) : 200, [&] { renderer.render(ubo); });
}
