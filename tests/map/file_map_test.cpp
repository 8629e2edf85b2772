#include "core/application.h"
#include "map/map_classifier.h"
#include "map/map_scan.h"
#include "map/map_slices.h"
#include "map/map_worker.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const uint64_t MiB = uint64_t{1} << 20;

SliceClass class_of_bytes(const std::vector<uint8_t>& bytes) {
    ByteHistogram histogram;
    histogram.add(bytes.data(), bytes.size());
    return classify(histogram);
}

// `count` bytes of each of `symbols` values from `first` on: log2(symbols) bits a byte.
std::vector<uint8_t> uniform_bytes(int symbols, int count, int first) {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < count; ++k) {
        for (int v = 0; v < symbols; ++v) bytes.push_back(uint8_t(first + v));
    }
    return bytes;
}

MapWorker::State finished(MapWorker& worker) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (worker.snapshot().running && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return worker.snapshot();
}

const char* region_name(MapRegion region) {
    static const char* names[] = {"code", "zeros", "text", "hole", "random"};
    return names[int(region)];
}

SliceClass class_of(MapRegion region) {
    static const SliceClass classes[] = {SliceClass::Binary, SliceClass::Zeros, SliceClass::Text, SliceClass::Hole,
                                         SliceClass::Dense};
    return classes[int(region)];
}

// Every slice that lies inside one region has that region's class.
void expect_regions(const std::vector<uint8_t>& classes, uint64_t region, int length) {
    const uint64_t size = map_regions * region;
    ASSERT_EQ(classes.size(), size_t(length));
    int checked = 0;
    for (int i = 0; i < length; ++i) {
        const uint64_t first = slice_first(i, size, length);
        const uint64_t last = slice_end(i, size, length) - 1;
        if (first / region != last / region) continue;
        const MapRegion r = MapRegion(first / region);
        EXPECT_EQ(int(classes[size_t(i)]), int(class_of(r))) << "slice " << i << " in the " << region_name(r);
        ++checked;
    }
    EXPECT_GT(checked, length - map_regions);
}

}  // namespace

// Each class at the edge where it starts or stops.
TEST(MapClassifier, EdgesOfEachClass) {
    EXPECT_EQ(class_of_bytes({}), SliceClass::Hole);
    EXPECT_EQ(class_of_bytes(std::vector<uint8_t>(4096, 0)), SliceClass::Zeros);
    std::vector<uint8_t> one_set(4096, 0);
    one_set[4095] = 1;
    EXPECT_EQ(class_of_bytes(one_set), SliceClass::Binary);

    // 90% printable (tab, line feed and carriage return count; DEL does not).
    std::vector<uint8_t> text(1000, 'a');
    text[0] = '\t';
    text[1] = '\n';
    text[2] = '\r';
    std::fill(text.begin() + 900, text.end(), 0x7f);
    EXPECT_EQ(class_of_bytes(text), SliceClass::Text);
    text[899] = 0x1f;
    EXPECT_EQ(class_of_bytes(text), SliceClass::Binary);
    text[899] = '~';
    text[898] = 0x80;
    EXPECT_EQ(class_of_bytes(text), SliceClass::Binary);

    // 7.2 bits a byte lies between 146 symbols (7.19) and 148 (7.21), small-sample correction included.
    EXPECT_EQ(class_of_bytes(uniform_bytes(146, 256, 0x80 - 73)), SliceClass::Binary);
    EXPECT_EQ(class_of_bytes(uniform_bytes(148, 256, 0x80 - 74)), SliceClass::Dense);
    EXPECT_NEAR(entropy_estimate([] {
                    ByteHistogram h;
                    const auto bytes = uniform_bytes(256, 4, 0);
                    h.add(bytes.data(), bytes.size());
                    return h;
                }()),
                8.0 + 255 / (2 * 1024 * std::log(2.0)), 1e-9);
    // 4096 random bytes, one sample of the first pass, read as dense; machine code does not.
    EXPECT_EQ(class_of_bytes(random_bytes(4096, 1)), SliceClass::Dense);
    EXPECT_EQ(class_of_bytes(machine_code_bytes(4096, 2)), SliceClass::Binary);
    EXPECT_EQ(class_of_bytes(text_bytes(4096)), SliceClass::Text);
}

// Every byte lies in the slices the arithmetic says, every slice holds a
// byte, and slices tile the file in order.
TEST(MapSlices, EveryByteInItsSlices) {
    const uint64_t sizes[] = {1, 5, 1047, 1048, 1049, 3000, 1u << 20, (uint64_t{1} << 40) + 12345};
    for (const int length : {12, 1048}) {
        for (const uint64_t size : sizes) {
            uint64_t expected_first = 0;
            for (int i = 0; i < length; ++i) {
                const uint64_t first = slice_first(i, size, length);
                const uint64_t end = slice_end(i, size, length);
                ASSERT_LT(first, end);
                ASSERT_LE(end, size);
                ASSERT_TRUE(first == expected_first || (size < uint64_t(length) && first + 1 == end))
                    << size << " " << i;
                expected_first = std::max(expected_first, end);
                for (const uint64_t x : {first, end - 1}) {
                    ASSERT_LE(first_slice_with(x, size, length), i) << size << " " << x;
                    ASSERT_GE(last_slice_with(x, size, length), i) << size << " " << x;
                }
            }
            EXPECT_EQ(expected_first, size);
            const uint64_t x = size / 3;
            EXPECT_LT(x, slice_end(first_slice_with(x, size, length), size, length));
            EXPECT_GE(x, slice_first(last_slice_with(x, size, length), size, length));
        }
    }
}

// The worker's map of the crafted file, exact (read whole) and sampled (a
// small budget); and a terabyte with data in three places, from its holes.
TEST(MapWorker, MapsEachRegionOfACraftedFile) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    const uint64_t region = 4 * MiB;
    TempFile file(std::vector<uint8_t>{});
    write_map_regions(file, region);
    MapWorker worker;
    for (const int length : {1048, 96}) {
        worker.start(file.path(), map_regions * region, length);
        const MapWorker::State exact = finished(worker);
        EXPECT_TRUE(exact.progress.complete);
        EXPECT_EQ(exact.progress.bytes_read, 4 * region);
        expect_regions(exact.progress.classes, region, length);

        MapLimits limits;
        limits.budget = 6 * MiB;  // the first pass and part of the second
        worker.start(file.path(), map_regions * region, length, limits);
        const MapWorker::State sampled = finished(worker);
        EXPECT_TRUE(sampled.progress.complete);
        EXPECT_LE(sampled.progress.bytes_read, limits.budget);
        EXPECT_GE(sampled.progress.passes, 1);
        expect_regions(sampled.progress.classes, region, length);
    }

    const uint64_t TiB = uint64_t{1} << 40;
    TempFile sparse(TiB, 0, text_bytes(MiB));
    sparse.write_at(TiB / 2, random_bytes(MiB, 3));
    sparse.write_at(TiB - MiB, std::vector<uint8_t>(MiB, 0));
    worker.start(sparse.path(), TiB, 1048);
    const MapWorker::State state = finished(worker);
    EXPECT_TRUE(state.progress.complete);
    EXPECT_EQ(state.progress.bytes_read, 3 * MiB);
    std::vector<uint8_t> expected(1048, uint8_t(SliceClass::Hole));
    expected[0] = uint8_t(SliceClass::Text);
    expected[524] = uint8_t(SliceClass::Dense);
    expected[1047] = uint8_t(SliceClass::Zeros);
    EXPECT_EQ(state.progress.classes, expected);
    SDL_Quit();
}

// A file that grows while it is mapped keeps the map of the size it was
// given; one that shrinks ends the map early with what was read, and reads
// nothing past the new end. Held, the worker waits between reads.
TEST(MapWorker, FilesThatGrowOrShrinkWhileMapped) {
    const uint64_t region = MiB;
    for (const bool grow : {true, false}) {
        TempFile file(std::vector<uint8_t>{});
        write_map_regions(file, region);
        MapWorker worker;
        worker.hold(true);
        worker.start(file.path(), map_regions * region, 1048);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(worker.snapshot().running);
        EXPECT_EQ(worker.snapshot().progress.bytes_read, 0u);
        if (grow) {
            file.write_at(map_regions * region, std::vector<uint8_t>(region, 'x'));
        } else {
            file.resize(region / 2);
        }
        worker.hold(false);
        const MapWorker::State state = finished(worker);
        EXPECT_TRUE(state.progress.complete);
        if (grow) {
            EXPECT_EQ(state.progress.bytes_read, 4 * region);
            expect_regions(state.progress.classes, region, 1048);
        } else {
            EXPECT_LE(state.progress.bytes_read, region / 2);
        }
    }
}

// The viewer's side: nothing is made again while the file and the track
// stay; a new size seen by the page's read, or a shorter track, starts the
// map again, which waits while a search runs.
TEST(MapCommands, RestartsOnANewSizeOrTrackLength) {
    TempFile file(text_bytes(100000));
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    SDL_Keysym ctrl_m{};
    ctrl_m.sym = SDLK_m;
    ctrl_m.mod = KMOD_LCTRL;
    ASSERT_TRUE(app.on_map_key(ctrl_m));
    auto settle = [&] {
        OverlayBlock overlay{};
        app.fill_map_record(overlay);
        finished(app.file_map.worker);
        app.on_map_notice();
        app.fill_map_record(overlay);
        return overlay;
    };
    const OverlayBlock first = settle();
    EXPECT_EQ(first.map_flags[0], 1u);
    EXPECT_EQ(first.map[0], uint8_t(SliceClass::Text));
    EXPECT_EQ(first.map[track_length - 1], uint8_t(SliceClass::Text));
    const uint64_t generation = app.file_map.generation;
    settle();
    EXPECT_EQ(app.file_map.generation, generation);

    file.write_at(100000, std::vector<uint8_t>(100000, 0));
    app.chunk.clear();
    app.load_file_window();
    const OverlayBlock grown = settle();
    EXPECT_NE(app.file_map.generation, generation);
    EXPECT_EQ(grown.map[0], uint8_t(SliceClass::Text));
    EXPECT_EQ(grown.map[track_length - 1], uint8_t(SliceClass::Zeros));

    // A search keeps the disk: the new map waits for its end.
    app.rows = 10;
    app.find.searching = true;
    OverlayBlock during_search{};
    app.fill_map_record(during_search);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(app.file_map.worker.snapshot().running);
    EXPECT_EQ(app.file_map.worker.snapshot().progress.bytes_read, 0u);
    app.find.searching = false;
    const OverlayBlock shorter = settle();
    EXPECT_EQ(app.file_map.length, track_length_for(10));
    EXPECT_EQ(shorter.map[track_length_for(10) - 1], uint8_t(SliceClass::Zeros));
    EXPECT_EQ(shorter.map[track_length_for(10)], 0u);

    ASSERT_TRUE(app.on_map_key(ctrl_m));
    const OverlayBlock off = settle();
    EXPECT_EQ(off.map_flags[0], 0u);
    EXPECT_EQ(off.map[0], 0u);
}
