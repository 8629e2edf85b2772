// Times the page shader on the Vulkan driver: one page drawn offscreen,
// view block upload and submit included, read-back excluded. With a second
// argument "unreadable", a sector of the shown bytes is marked unreadable.
#include "core/application.h"
#include "frame_timing.h"
#include "support/headless_renderer.h"
#include "support/temp_file.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    TempFile file(counting_bytes(1 << 20));
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    app.offset = 4096;
    UniformBufferObject ubo;
    app.fill_view_block(ubo);

    const bool unreadable = argc > 2 && std::string(argv[2]) == "unreadable";
    if (unreadable) {
        for (uint64_t i = 0; i < 512; ++i) app.live.unreadable[(256 + i) / 8] |= uint8_t(1u << (i % 8));
    }
    const OverlayBlock overlay = app.overlay_block();

    HeadlessRenderer renderer(WIDTH, HEIGHT);
    time_frames(unreadable ? "page_render_unreadable" : "page_render", argc > 1 ? std::atoi(argv[1]) : 200,
                [&] { renderer.render(ubo, overlay); });
}
