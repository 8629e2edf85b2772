#include "support/page_compare.h"

#include "support/page_model.h"
#include "support/png_writer.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

void save_images(const std::string& name, uint32_t width, uint32_t height, const std::vector<uint8_t>& expected,
                 const std::vector<uint8_t>& actual, const std::vector<uint8_t>& difference) {
    std::filesystem::create_directories("test-output");
    auto to_rgba = [](const std::vector<uint8_t>& bgra) {
        std::vector<uint8_t> rgba(bgra.size());
        for (size_t i = 0; i < bgra.size(); i += 4) {
            rgba[i] = bgra[i + 2];
            rgba[i + 1] = bgra[i + 1];
            rgba[i + 2] = bgra[i];
            rgba[i + 3] = 255;  // opaque, so that transparent background shows
        }
        return rgba;
    };
    write_png("test-output/" + name + "-expected.png", width, height, to_rgba(expected));
    write_png("test-output/" + name + "-actual.png", width, height, to_rgba(actual));
    write_png("test-output/" + name + "-difference.png", width, height, to_rgba(difference));
}

}  // namespace

::testing::AssertionResult page_matches(const std::string& name, const UniformBufferObject& ubo,
                                        const std::vector<uint8_t>& bgra, uint32_t width, uint32_t height,
                                        bool compare_alpha, bool save_on_failure, const OverlayBlock* overlay,
                                        bool pair) {
    std::vector<uint8_t> expected(bgra.size());
    std::vector<uint8_t> difference(bgra.size(), 0);
    size_t wrong = 0;
    std::ostringstream report;
    const int channels = compare_alpha ? 4 : 3;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = (size_t(y) * width + x) * 4;
            const int zoom = int(ubo.param[0]);  // window pixels per canvas pixel
            const auto want = to_srgb_bgra(expected_pixel(ubo, int(x) / zoom, int(y) / zoom, overlay, pair));
            bool bad = false;
            for (int c = 0; c < 4; ++c) {
                expected[at + size_t(c)] = want[size_t(c)];
                if (c < channels && std::abs(int(want[size_t(c)]) - int(bgra[at + size_t(c)])) > 1) {
                    bad = true;
                }
            }
            if (bad) {
                difference[at + 2] = 255;
                if (wrong < 8) {
                    report << "\n  (" << x << ", " << y << ") in " << region_of(int(x), int(y)) << ": expected BGRA "
                           << int(want[0]) << "," << int(want[1]) << "," << int(want[2]) << "," << int(want[3])
                           << " got " << int(bgra[at]) << "," << int(bgra[at + 1]) << "," << int(bgra[at + 2]) << ","
                           << int(bgra[at + 3]);
                }
                ++wrong;
            } else {
                difference[at] = difference[at + 1] = difference[at + 2] = bgra[at + 1] / 4;
            }
        }
    }
    if (wrong == 0) {
        return ::testing::AssertionSuccess();
    }
    if (save_on_failure) {
        save_images(name, width, height, expected, bgra, difference);
    }
    return ::testing::AssertionFailure() << name << ": " << wrong << " of " << size_t(width) * height
                                         << " pixels differ (images in "
                                         << std::filesystem::absolute("test-output").string() << ")" << report.str();
}
