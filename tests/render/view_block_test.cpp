#include "render/view_block.h"

#include "core/application.h"
#include "render/glyph_table.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

UniformBufferObject frame(Application& app) {
    UniformBufferObject ubo;
    std::memset(&ubo, 0xAB, sizeof ubo);  // every byte must be written
    app.fill_view_block(ubo);
    return ubo;
}

// Where the quad lands is proven by the offscreen tests, which draw it.
TEST(ViewBlock, CarriesTheGlyphTableAndUnitScale) {
    TempFile file(counting_bytes(5));
    Application app;
    app.set_fname(file.c_path());
    const UniformBufferObject ubo = frame(app);
    EXPECT_EQ(std::memcmp(ubo.fontdata, fixed6x13.data(), 4096), 0);
    EXPECT_EQ(ubo.param[0], 1.0f);
    EXPECT_EQ(ubo.param[1], 1.0f);
    EXPECT_EQ(ubo.param[2], 0.0f);
    EXPECT_EQ(ubo.param[3], 0.0f);
}

// Each character set keeps bytes 0 to 127 and draws the upper half from the
// same font: the glyph a character has in one set it has in another.
TEST(ViewBlock, CharacterSetsShareTheFont) {
    TempFile file(counting_bytes(5));
    Application app;
    app.set_fname(file.c_path());
    const auto glyph = [](const UniformBufferObject& ubo, int code) {
        return std::vector<uint8_t>(ubo.fontdata + 16 * code, ubo.fontdata + 16 * code + 16);
    };
    const UniformBufferObject koi8 = frame(app);
    Charset seen = app.charset;
    for (int step = 0; step < 4; ++step) {
        app.charset = next_charset(app.charset);
        const UniformBufferObject ubo = frame(app);
        EXPECT_EQ(std::memcmp(ubo.fontdata, fixed6x13.data(), 2048), 0) << charset_name(app.charset);
        switch (app.charset) {
            case Charset::Latin1: EXPECT_EQ(glyph(ubo, 0xf7), glyph(koi8, 0x9f)) << "the division sign"; break;
            case Charset::Cp437: EXPECT_EQ(glyph(ubo, 0xc4), glyph(koi8, 0x80)) << "a horizontal line"; break;
            case Charset::Ascii:
                for (int code = 128; code < 256; ++code) EXPECT_EQ(glyph(ubo, code), glyph(koi8, '.')) << code;
                break;
            case Charset::Koi8r: EXPECT_EQ(std::memcmp(ubo.fontdata, koi8.fontdata, 4096), 0); break;
        }
        seen = app.charset;
    }
    EXPECT_EQ(seen, Charset::Koi8r) << "Ctrl+T's cycle comes back";
}

TEST(ViewBlock, FileFieldsDescribeTheWindowAsItWasBeforeTheLoad) {
    TempFile file({'h', 'e', 'l', 'l', 'o'});
    Application app;
    app.set_fname(file.c_path());
    UniformBufferObject first = frame(app);
    EXPECT_EQ(first.chunkmeta[0], 0u);
    UniformBufferObject second = frame(app);
    EXPECT_EQ(second.chunkmeta[0], 5u);
    EXPECT_EQ(second.chunkmeta[1], 0u);
    EXPECT_EQ(second.chunkmeta[2], 0u);
    EXPECT_EQ(second.chunkmeta[3], 0u);
    EXPECT_EQ(std::memcmp(second.datachunk, "hello", 5), 0);
    for (int k = 5; k < 2048; ++k) {
        ASSERT_EQ(second.datachunk[k], 0) << k;
    }
}

TEST(ViewBlock, WindowPositionNearTheEnd) {
    TempFile file(counting_bytes(10000));
    Application app;
    app.set_fname(file.c_path());
    frame(app);
    app.offset = 8816;
    UniformBufferObject ubo = frame(app);
    EXPECT_EQ(ubo.chunkmeta[0], 10000u);
    EXPECT_EQ(ubo.chunkmeta[1], 8736u);
    EXPECT_EQ(ubo.chunkmeta[2], 80u);
    EXPECT_EQ(ubo.chunkmeta[3], 0u);
    EXPECT_EQ(ubo.datachunk[0], 8736 % 251);
}

TEST(ViewBlock, HighBitsOfSizeAndWindowBaseGoToW) {
    const uint64_t size = (uint64_t{1} << 32) + 100;
    TempFile file(size, 0, {0x42});
    Application app;
    app.set_fname(file.c_path());
    frame(app);
    UniformBufferObject ubo = frame(app);
    EXPECT_EQ(ubo.chunkmeta[0], 100u);
    EXPECT_EQ(ubo.chunkmeta[3], 1u) << "bits 32 to 47 of the size in the low half";
    EXPECT_EQ(ubo.datachunk[0], 0x42);

    const uint64_t big = (uint64_t{0xAB} << 32) + 0x56789ABC;
    TempFile huge(big, big - 1, {0x99});
    app.set_fname(huge.c_path());
    app.chunk.clear();
    frame(app);
    app.offset = int64_t(big - 160);
    ubo = frame(app);
    const uint64_t base = big - 160 - 80;
    EXPECT_EQ(ubo.chunkmeta[0], uint32_t(big));
    EXPECT_EQ(ubo.chunkmeta[1], uint32_t(base));
    EXPECT_EQ(ubo.chunkmeta[2], 80u);
    EXPECT_EQ(ubo.chunkmeta[3], 0xABu | (0xABu << 16));
    EXPECT_EQ(ubo.datachunk[80 + 159], 0x99);
}

}  // namespace
