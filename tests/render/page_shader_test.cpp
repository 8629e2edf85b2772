#include "core/application.h"
#include "core/page_rules.h"
#include "support/headless_renderer.h"
#include "support/page_compare.h"
#include "support/page_model.h"
#include "support/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <thread>

namespace {

const uint64_t KiB = 1024;
const uint64_t GiB = uint64_t{1} << 30;
const uint64_t TiB = uint64_t{1} << 40;

// The view block and overlay (with its status line) the viewer prepares for
// a file shown at `offset`, after the first frame of the run has learned the
// file's size.
struct View {
    UniformBufferObject ubo;
    OverlayBlock overlay;
};

View view_of(TempFile& file, int64_t offset) {
    Application app;
    app.set_fname(file.c_path());
    View view;
    app.fill_view_block(view.ubo);
    app.offset = offset;
    app.fill_view_block(view.ubo);
    view.overlay = app.overlay_block();
    return view;
}

struct PageCase {
    const char* name;
    uint64_t size;
    uint64_t content_at;  // where the test's bytes go in the (sparse) file
    std::vector<uint8_t> content;
    int64_t offset;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

std::vector<PageCase> page_cases() {
    return {
        {"empty_file", 0, 0, {}, 0},
        {"five_bytes", 5, 0, {'q', 0, 0x7f, 0x80, 0xff}, 0},
        {"every_byte_value", 256, 0, every_byte_value(), 0},
        {"thousand_bytes_ends_mid_row", 1000, 0, random_bytes(1000, 1), 0},
        {"exactly_one_page", page_bytes, 0, random_bytes(page_bytes, 2), 0},
        {"multiple_of_16_shows_an_extra_offset_line", 4096, 0, random_bytes(4096, 3), 4096 - screen_step},
        {"end_of_10000_bytes", 10000, 0, random_bytes(10000, 4), 8816},
        {"thumb_minimum_length", min_thumb_size_limit, 0, random_bytes(min_thumb_size_limit, 5), 15712},
        {"thumb_of_a_large_file", 100 * KiB, 50 * KiB, random_bytes(4096, 6), 51200},
        {"first_row_at_0ABC1230", 0x20000000, 0x0ABC1230 - 1024, random_bytes(4096, 7), 0x0ABC1230},
        {"first_row_at_1ABC1230", 0x20000000, 0x1ABC1230 - 1024, random_bytes(4096, 8), 0x1ABC1230},
        {"past_4_GiB_near_the_end", 4 * GiB + 5007, 4 * GiB, random_bytes(5007, 9), end_target(4 * GiB + 5007)},
        {"first_row_past_1_TiB", TiB + GiB + 3, TiB + 0x123450 - 512, random_bytes(4096, 10), int64_t(TiB + 0x123450)},
        {"labels_past_1_TiB_near_the_end", 3 * TiB + 77, 3 * TiB - 4096, random_bytes(4173, 11), int64_t(3 * TiB - 16 * 40)},
        // Files of 2^40 bytes and more show every digit of the offset their size needs.
        {"just_below_2_to_40_at_its_end", TiB - 1, TiB - 4096, random_bytes(4095, 14), end_target(TiB - 1)},
        {"past_2_to_40_at_its_start", TiB + 3, 0, random_bytes(4096, 15), 0},
        {"past_2_to_40_around_2_to_40", TiB + 3, TiB - 2048, random_bytes(2051, 16), int64_t(TiB - 512)},
        {"past_2_to_40_at_its_end", TiB + 3, TiB - 2048, random_bytes(2051, 17), end_target(TiB + 3)},
        {"2_to_44_at_its_start", 16 * TiB, 0, random_bytes(4096, 18), 0},
        {"2_to_44_around_2_to_40", 16 * TiB, TiB - 2048, random_bytes(4096, 19), int64_t(TiB - 256)},
        {"2_to_44_at_its_end", 16 * TiB, 16 * TiB - 4096, random_bytes(4096, 20), end_target(16 * TiB)},
    };
}

class PageShader : public ::testing::TestWithParam<PageCase> {
protected:
    static void SetUpTestSuite() { renderer = std::make_unique<HeadlessRenderer>(WIDTH, HEIGHT); }
    static void TearDownTestSuite() { renderer.reset(); }
    static std::unique_ptr<HeadlessRenderer> renderer;
};

std::unique_ptr<HeadlessRenderer> PageShader::renderer;

// The viewer's state on `file` at `offset`, zoomed, with `rows` shown.
void place(Application& app, TempFile& file, int zoom, int rows, int64_t offset) {
    app.set_fname(file.c_path());
    app.load_file_window();
    app.zoom = zoom;
    app.rows = rows;
    app.offset = offset;
}

// A window that shows `rows` rows, the status line and a part of another
// line, which stays background.
uint32_t window_height(int zoom, int rows) {
    return uint32_t((label_height + row_height * rows + status_height + 7) * zoom);
}

TEST_P(PageShader, DrawsThePageOfTheModel) {
    const PageCase& c = GetParam();
    TempFile file(c.size, c.content_at, c.content);
    const View view = view_of(file, c.offset);
    EXPECT_TRUE(page_matches(c.name, view.ubo, renderer->draw(view.ubo, view.overlay), WIDTH, HEIGHT, true, true,
                             &view.overlay));
}

INSTANTIATE_TEST_SUITE_P(Files, PageShader, ::testing::ValuesIn(page_cases()),
                         [](const ::testing::TestParamInfo<PageCase>& param) { return std::string(param.param.name); });

// The viewer reads the file window before its first frame, which therefore
// already shows the page.
TEST(PageShaderFirstFrame, ShowsThePage) {
    TempFile file(random_bytes(3000, 12));
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    ASSERT_EQ(ubo.chunkmeta[0], 3000u);
    EXPECT_EQ(app.file_reads, 1u);
    HeadlessRenderer renderer(WIDTH, HEIGHT);
    EXPECT_TRUE(page_matches("first_frame", ubo, renderer.draw(ubo), WIDTH, HEIGHT));
}

// The page at zoom 2 and 3, and in windows that fit 1, 10 and 74 rows (with
// a part of the next row's height below them, which stays background).
TEST(PageShaderFit, ZoomsAndRowsThatFit) {
    TempFile file(100 * KiB, 0, random_bytes(100 * KiB, 30));
    const struct { int zoom, rows; } fits[] = {{2, 75}, {3, 75}, {1, 1}, {1, 10}, {1, 74}, {2, 10}};
    for (const auto& fit : fits) {
        Application app;
        place(app, file, fit.zoom, fit.rows, 4096);
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        const OverlayBlock overlay = app.overlay_block();
        const uint32_t width = uint32_t(WIDTH * fit.zoom);
        const uint32_t height = window_height(fit.zoom, fit.rows);
        HeadlessRenderer renderer(width, height);
        const std::string name = "zoom_" + std::to_string(fit.zoom) + "_rows_" + std::to_string(fit.rows);
        EXPECT_TRUE(page_matches(name, ubo, renderer.draw(ubo, overlay), width, height, true, true, &overlay));
    }
}

// A selection across rows, from mid-row to mid-row, is one band: the cells
// and the gaps between selected bytes of a row, in both columns; a band that
// runs to the file's end stops at its last byte.
TEST(PageShaderSelection, ABandFromMidRowToMidRow) {
    TempFile file(random_bytes(1000, 31));
    const UniformBufferObject ubo = view_of(file, 0).ubo;
    HeadlessRenderer renderer(WIDTH, HEIGHT);
    const auto pixel = [](const std::vector<uint8_t>& image, int x, int row) {
        const uint8_t* p = &image[(size_t(label_height + row * row_height + 5) * WIDTH + size_t(x)) * 4];
        return std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]};
    };
    const auto band = to_srgb_bgra({0.35f, 0, 0.35f, 1});
    const OverlayBlock across_rows = make_overlay_block("", true, 0x25, 0x98, page_rows);
    const std::vector<uint8_t> drawn = renderer.draw(ubo, across_rows);
    EXPECT_TRUE(page_matches("selection_across_rows", ubo, drawn, WIDTH, HEIGHT, true, true, &across_rows));
    EXPECT_EQ(pixel(drawn, 56, 4), band) << "the gap after a row's first byte";
    EXPECT_EQ(pixel(drawn, 149, 4), band) << "the gap between the halves of a row";
    EXPECT_EQ(pixel(drawn, 311, 4), band) << "the character column's middle gap";
    EXPECT_NE(pixel(drawn, 311, 9), band) << "after the last byte, the eighth";
    EXPECT_NE(pixel(drawn, 109, 2), band) << "the gap before the first byte";
    const OverlayBlock to_the_end = make_overlay_block("", true, 0x3e2, 0x400, page_rows);
    EXPECT_TRUE(page_matches("selection_to_the_end", ubo, renderer.draw(ubo, to_the_end), WIDTH, HEIGHT, true, true,
                             &to_the_end));
}

// The inspector panel right of the page, for a selection and for the first
// shown byte, at zoom 1 and in a zoomed window of 10 rows; the help panel in
// its place, with the status line naming the character set in use (whose
// glyphs the upper bytes then take).
TEST(PageShaderPanel, DrawsThePanelOfTheModel) {
    TempFile file(100 * KiB, 0, random_bytes(100 * KiB, 31));
    const struct { int zoom, rows; bool selected, help; } cases[] = {
        {1, 75, true, false}, {2, 10, false, false}, {1, 75, true, true}, {2, 20, false, true}};
    for (const auto& c : cases) {
        Application app;
        place(app, file, c.zoom, c.rows, 4096);
        app.inspector.open = true;
        app.help_open = c.help;
        if (c.help) app.charset = c.selected ? Charset::Cp437 : Charset::Latin1;
        if (c.selected) app.selection.set(4100, 4200);
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        const OverlayBlock overlay = app.overlay_block();
        ASSERT_EQ(overlay.panel[0], 1u);
        const uint32_t width = uint32_t((app.page_width() + 5) * c.zoom);
        const uint32_t height = window_height(c.zoom, c.rows);
        HeadlessRenderer renderer(width, height);
        const std::string name = std::string(c.help ? "help" : "panel") + "_zoom_" + std::to_string(c.zoom) +
                                 "_rows_" + std::to_string(c.rows);
        EXPECT_TRUE(page_matches(name, ubo, renderer.draw(ubo, overlay), width, height, true, true, &overlay));
    }
}

// Bytes that could not be read: their cells in both columns empty on a
// background of their own, across rows and under a selection, mid-window;
// the rest of the page as ever.
TEST(PageShaderUnreadable, CellsOfBytesNotReadAreEmpty) {
    TempFile file(random_bytes(8 * KiB, 32));
    Application app;
    place(app, file, 1, page_rows, 4096);
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    const uint64_t first = 4096 + 0x37 - app.chunk_offset, end = first + 0x155;  // window bytes
    for (uint64_t i = first; i < end; ++i) app.live.unreadable[i / 8] |= uint8_t(1u << (i % 8));
    app.selection.set(4096 + 0x20, 4096 + 0x60);
    const OverlayBlock overlay = app.overlay_block();
    ASSERT_EQ(overlay.flags[3], 1u);
    HeadlessRenderer renderer(WIDTH, HEIGHT);
    const std::vector<uint8_t> drawn = renderer.draw(ubo, overlay);
    EXPECT_TRUE(page_matches("unreadable", ubo, drawn, WIDTH, HEIGHT, true, true, &overlay));
    const auto cell = to_srgb_bgra({0.25f, 0.25f, 0.25f, 1});
    for (const int x : {100, 300}) {  // a hex digit's and a character's cell of a byte at row 5
        const uint8_t* p = &drawn[(size_t(label_height + 5 * row_height + 6) * WIDTH + size_t(x)) * 4];
        EXPECT_EQ((std::array<uint8_t, 4>{p[0], p[1], p[2], p[3]}), cell) << x;
    }
}

// The page shader's two builds. Where the viewer takes the plain one (a
// record that needs_full_page calls plain: the status line, a short window,
// a compare's pair and differences), the full one draws every pixel alike;
// each region only the full one draws is one the plain build leaves out, so
// its record must ask for the full one.
TEST(PageShaderBuilds, ThePlainBuildDrawsThePlainPageAndNothingElse) {
    TempFile file(100 * KiB, 0, random_bytes(100 * KiB, 33));
    TempFile second(random_bytes(90 * KiB, 34));
    SDL_Keysym ctrl_m{};
    ctrl_m.sym = SDLK_m;
    ctrl_m.mod = KMOD_LCTRL;
    struct Case {
        const char* name;
        bool pair;
        int rows;
        std::function<void(Application&)> set;  // what the overlay shows, after the frame's read
        bool full;
    };
    const Case cases[] = {
        {"plain_page", false, page_rows, [](Application&) {}, false},
        {"short_window", false, 10, [](Application&) {}, false},
        {"pair_with_differences", true, page_rows, [](Application&) {}, false},
        {"prompt_text", false, page_rows, [](Application& app) { app.open_prompt(FindState::Prompt::Goto, false); },
         true},
        {"selection", false, page_rows, [](Application& app) { app.selection.set(4100, 4200); }, true},
        {"unreadable", false, page_rows,
         [](Application& app) { app.live.unreadable[(4096 + 0x40 - app.chunk_offset) / 8] = 0xFF; }, true},
        {"help_panel", false, page_rows, [](Application& app) { app.help_open = true; }, true},
        {"map", false, page_rows, [&](Application& app) { app.on_map_key(ctrl_m); }, true},
        {"pair_selection", true, page_rows, [](Application& app) { app.selection.set(4100, 4200); }, true},
    };
    for (const Case& c : cases) {
        Application app;
        place(app, file, 1, c.rows, 4096);
        if (c.pair) {
            app.file_b.path = second.c_path();
            app.compare.shift = 5;
            app.load_file_window();
        }
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        c.set(app);
        OverlayBlock overlay = app.overlay_block();
        app.fill_map_record(overlay);
        app.fill_pair_record(overlay);
        EXPECT_EQ(needs_full_page(overlay), c.full) << c.name;

        const uint32_t width = uint32_t(c.pair ? 2 * WIDTH : app.page_width());
        HeadlessRenderer renderer(width, window_height(1, c.rows), c.pair);
        const std::vector<uint8_t> plain = renderer.draw(ubo, overlay, HeadlessRenderer::Build::Plain);
        const std::vector<uint8_t> full = renderer.draw(ubo, overlay, HeadlessRenderer::Build::Full);
        if (c.full) {
            EXPECT_NE(plain, full) << c.name << ": the plain build draws it too";
        } else {
            EXPECT_EQ(plain, full) << c.name;
        }
    }
}

// The quad must reach every pixel of any framebuffer: a pixel left to the
// render pass's clear colour (opaque black) can only be scrollbar track.
TEST(ScreenQuad, CoversEveryPixelOfAnyFramebuffer) {
    TempFile file(random_bytes(100000, 13));
    const UniformBufferObject ubo = view_of(file, 48000).ubo;
    const std::pair<uint32_t, uint32_t> sizes[] = {{WIDTH, HEIGHT}, {500, 1200}, {200, 600}, {1, 1}, {1023, 77}};
    for (const auto& [width, height] : sizes) {
        HeadlessRenderer renderer(width, height);
        const std::vector<uint8_t> pixels = renderer.draw(ubo);
        const std::string name = "framebuffer_" + std::to_string(width) + "x" + std::to_string(height);
        EXPECT_TRUE(page_matches(name, ubo, pixels, width, height));
        size_t cleared = 0;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
                const bool track = x >= 3 && x <= 10 && int(y) >= track_top && int(y) <= rows_bottom;
                if (!track && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255) {
                    ++cleared;
                }
            }
        }
        EXPECT_EQ(cleared, 0u) << name;
    }
}

}  // namespace

// The map of a file of code, zeros, text, a hole and random bytes in the
// track, under the thumb's outline, at full and short heights; Ctrl+M again
// gives back the plain page.
TEST(PageShaderMap, CraftedFileInTheTrack) {
    TempFile file(std::vector<uint8_t>{});
    write_map_regions(file, 256 * KiB);
    SDL_Keysym ctrl_m{};
    ctrl_m.sym = SDLK_m;
    ctrl_m.mod = KMOD_LCTRL;
    const struct { int zoom, rows; } fits[] = {{1, 75}, {1, 10}, {2, 75}};
    for (const auto& fit : fits) {
        Application app;
        place(app, file, fit.zoom, fit.rows, 3 * 256 * KiB);
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        app.on_map_key(ctrl_m);
        OverlayBlock overlay = app.overlay_block();
        app.fill_map_record(overlay);
        while (app.file_map.worker.snapshot().running) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        app.on_map_notice();
        app.fill_map_record(overlay);
        std::set<int> classes(overlay.map, overlay.map + track_length_for(fit.rows));
        EXPECT_EQ(classes, (std::set<int>{0, 1, 2, 3, 4}));

        const uint32_t width = uint32_t(WIDTH * fit.zoom);
        const uint32_t height = window_height(fit.zoom, fit.rows);
        HeadlessRenderer renderer(width, height);
        const std::string name = "map_zoom_" + std::to_string(fit.zoom) + "_rows_" + std::to_string(fit.rows);
        EXPECT_TRUE(page_matches(name, ubo, renderer.draw(ubo, overlay), width, height, true, true, &overlay));

        app.on_map_key(ctrl_m);
        OverlayBlock off = app.overlay_block();
        app.fill_map_record(off);
        OverlayBlock plain = make_overlay_block("", false, 0, 0, fit.rows);
        app.add_status_line(plain);
        EXPECT_EQ(std::memcmp(&off, &plain, sizeof off), 0);
        EXPECT_TRUE(page_matches(name + "_off", ubo, renderer.draw(ubo, off), width, height, true, true, &plain));
    }
}

// A compare's two pages against the model: the second page from the pair
// record, differing bytes marked in both, bytes past the shorter file's end
// empty, a shift of either sign (the second page starting before its file),
// a selection over marks, the focus's frame, and the map of the pair.
TEST(PageShaderCompare, DrawsBothPagesOfTheModel) {
    std::vector<uint8_t> a_bytes = random_bytes(6000, 41);
    TempFile a(a_bytes);
    std::vector<uint8_t> b_bytes(a_bytes.begin(), a_bytes.begin() + 5000);
    for (size_t at : {size_t{0x23}, size_t{0x24}, size_t{0x25}, size_t{0x400}, size_t{0x1300}}) b_bytes[at] ^= 0x5a;
    TempFile b(b_bytes);
    struct Case {
        const char* name;
        int64_t shift, offset;
        bool select;
        int focus;
        bool map;
        bool unreadable;  // a stretch of each file's window that could not be read
    };
    const Case cases[] = {
        {"pair_at_start", 0, 0, false, 0, false, false},
        {"pair_shift_plus_3_selected_unreadable", 3, 0, true, 1, false, true},
        {"pair_shift_minus_40_before_start", -40, 0, false, 0, true, false},  // random bytes moved: all differ
        {"pair_past_the_shorter_end", 0, 0x1300, true, 1, true, false},
    };
    HeadlessRenderer renderer(2 * WIDTH, HEIGHT, true);
    SDL_Keysym ctrl_m{};
    ctrl_m.sym = SDLK_m;
    ctrl_m.mod = KMOD_LCTRL;
    for (const Case& c : cases) {
        Application app;
        app.set_fname(a.c_path());
        app.file_b.path = b.c_path();
        app.compare.shift = c.shift;
        app.compare.focus = c.focus;
        app.load_file_window();
        app.offset = c.offset;
        if (c.select) app.selection.set(uint64_t(c.offset) + 0x1e, uint64_t(c.offset) + 0x47);
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        if (c.unreadable) {
            app.live.unreadable[0x50 / 8] = 0xF0;
            app.file_b.live.unreadable[0x88 / 8] = 0xFF;  // not the first file's stretch: each page its own
        }
        if (c.map) app.on_map_key(ctrl_m);
        OverlayBlock overlay = app.overlay_block();
        app.fill_map_record(overlay);
        if (c.map) {
            while (app.compare.map_worker.snapshot().running) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            app.on_pair_map_notice();
            app.fill_map_record(overlay);
            const std::set<int> classes(overlay.map, overlay.map + track_length_for(page_rows));
            EXPECT_EQ(classes, (c.shift == 0 ? std::set<int>{5, 6} : std::set<int>{6})) << c.name;
        }
        app.fill_pair_record(overlay);
        EXPECT_TRUE(page_matches(c.name, ubo, renderer.draw(ubo, overlay), 2 * WIDTH, HEIGHT, true, true, &overlay,
                                 true));
    }

    // A pair whose span passes 2^48 (`--shift '-$' small big`, big 2^48 - 1
    // bytes), at its end: both thumbs at the bottom, no byte of the first
    // file drawn where it has none. tmpfs takes such a sparse file.
    char folder[] = "/dev/shm/quirn-span-XXXXXX";
    if (!mkdtemp(folder)) GTEST_SKIP() << "no /dev/shm";
    std::string big = std::string(folder) + "/big";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, off_t((uint64_t{1} << 48) - 1)) == 0;
    if (fd >= 0) ::close(fd);
    if (made) {
        Application app;
        app.set_fname(a.c_path());
        app.file_b.path = big.data();
        app.compare.shift = -int64_t(a_bytes.size() - 1);
        app.load_file_window();
        app.offset = INT64_MAX;  // End: the frame clamps it
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
        OverlayBlock overlay = app.overlay_block();
        app.fill_map_record(overlay);
        app.fill_pair_record(overlay);
        EXPECT_GT(app.view_size(), uint64_t{1} << 48);
        EXPECT_TRUE(page_matches("pair_span_past_48_bits_at_the_end", ubo, renderer.draw(ubo, overlay), 2 * WIDTH,
                                 HEIGHT, true, true, &overlay, true));
    }
    ::unlink(big.c_str());
    ::rmdir(folder);
}
