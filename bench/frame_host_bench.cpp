// Processor time of one frame's own work outside the driver: the window
// check, the view block fill and its copy into (mapped) buffer memory.
#include "core/application.h"
#include "render/view_block.h"
#include "support/temp_file.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

struct Viewer {
    explicit Viewer(uint64_t size) : file(size, 0, counting_bytes(1 << 20)) {
        app.set_fname(file.c_path());
        app.fill_view_block(ubo);
        app.fill_view_block(ubo);
    }
    TempFile file;
    Application app;
    UniformBufferObject ubo;
    alignas(64) unsigned char mapped[sizeof(UniformBufferObject)];
};

// One frame's host work at the offsets that `offset_of(frame number)` gives.
template <typename OffsetOf>
void run_frames(benchmark::State& state, OffsetOf offset_of) {
    Viewer viewer(uint64_t(1) << 40);
    int64_t frame = 0;
    for (auto _ : state) {
        viewer.app.offset = offset_of(frame++);
        viewer.app.fill_view_block(viewer.ubo);
        std::memcpy(viewer.mapped, &viewer.ubo, sizeof viewer.ubo);
        benchmark::DoNotOptimize(viewer.mapped);
    }
}

// Scrolling inside the file window: no file access.
void FrameInsideWindow(benchmark::State& state) {
    run_frames(state, [](int64_t frame) { return (frame % 40) * 16; });
}
BENCHMARK(FrameInsideWindow);

// A jump that moves the window: one read of 2048 bytes (page cache warm).
void FrameWithWindowMove(benchmark::State& state) {
    run_frames(state, [](int64_t frame) { return (frame % 2) * 500000; });
}
BENCHMARK(FrameWithWindowMove);

// The baseline: copying the 6368-byte record alone.
void RecordCopyOnly(benchmark::State& state) {
    Viewer viewer(4096);
    for (auto _ : state) {
        std::memcpy(viewer.mapped, &viewer.ubo, sizeof viewer.ubo);
        benchmark::DoNotOptimize(viewer.mapped);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RecordCopyOnly);

}  // namespace

BENCHMARK_MAIN();
