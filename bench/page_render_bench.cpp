// Times the page shader on the Vulkan driver: one 364 x 1065 page drawn
// offscreen, view block upload and submit included, read-back excluded.
#include "core/application.h"
#include "support/headless_renderer.h"
#include "support/temp_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    TempFile file(counting_bytes(1 << 20));
    Application app;
    app.set_fname(file.c_path());
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    app.offset = 4096;
    app.fill_view_block(ubo);

    HeadlessRenderer renderer(WIDTH, HEIGHT);
    for (int i = 0; i < 10; ++i) {
        renderer.render(ubo);  // warm-up
    }
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        renderer.render(ubo);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("page_render_ms min=%.3f median=%.3f max=%.3f frames=%d\n", ms.front(), ms[ms.size() / 2], ms.back(),
                frames);
}
