#include "core/application.h"
#include "inspect/inspector.h"
#include "render/view_block.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

std::string trimmed(const std::string& text) {
    const size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// The little-endian and big-endian columns of the line named `name`.
std::pair<std::string, std::string> values(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines) {
        if (trimmed(line.substr(0, panel_name_cells)) == name) {
            const size_t be = panel_name_cells + (panel_cells - panel_name_cells - 1) / 2 + 1;
            return {trimmed(line.substr(panel_name_cells, be - panel_name_cells)),
                    line.size() > be ? trimmed(line.substr(be)) : ""};
        }
    }
    ADD_FAILURE() << "no line " << name;
    return {};
}

std::vector<std::string> lines_for(const std::vector<uint8_t>& bytes, uint64_t offset = 0, uint64_t length = 0) {
    const std::vector<std::string> lines = inspector_lines(bytes.data(), bytes.size(), offset, length);
    EXPECT_LE(1 + lines.size() + 1 + 4 + 2, size_t(panel_lines))
        << "room for a compare's file line, and the type and partition lines wrapped to 4 and 2 lines";
    for (const std::string& line : lines) EXPECT_LE(line.size(), size_t(panel_cells)) << line;
    return lines;
}

// The whole text after the name, for a line of one value.
std::string text(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines) {
        if (trimmed(line.substr(0, panel_name_cells)) == name) return trimmed(line.substr(panel_name_cells));
    }
    ADD_FAILURE() << "no line " << name;
    return {};
}

using Values = std::pair<std::string, std::string>;

TEST(Inspector, IntegersInBothOrders) {
    const auto lines = lines_for({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(text(lines, "binary"), "00000001");
    EXPECT_EQ(values(lines, "u8"), Values("1", ""));
    EXPECT_EQ(values(lines, "u16"), Values("513", "258"));
    EXPECT_EQ(values(lines, "u32"), Values("67305985", "16909060"));
    EXPECT_EQ(values(lines, "u64"), Values("9801809732607083009", "72623859790382984"));
    EXPECT_EQ(values(lines, "i64"), Values("-8644934341102468607", "72623859790382984"));
    const auto negative = lines_for({0xff, 0xfe, 0xff, 0xff});
    EXPECT_EQ(values(negative, "u8"), Values("255", ""));
    EXPECT_EQ(values(negative, "i8"), Values("-1", ""));
    EXPECT_EQ(values(negative, "i16"), Values("-257", "-2"));
    EXPECT_EQ(values(negative, "i32"), Values("-257", "-65537"));
    EXPECT_EQ(values(negative, "u32"), Values("4294967039", "4294901759"));
}

TEST(Inspector, FloatsWithInfinityAndNan) {
    EXPECT_EQ(values(lines_for({0x00, 0x3c}), "f16"), Values("1", "3.5763e-06"));
    EXPECT_EQ(values(lines_for({0x00, 0x00, 0x80, 0x3f}), "f32").first, "1");
    EXPECT_EQ(values(lines_for({0x3f, 0x80, 0x00, 0x00}), "f32").second, "1");
    EXPECT_EQ(values(lines_for({0xcd, 0xcc, 0xcc, 0x3d}), "f32").first, "0.1");
    EXPECT_EQ(values(lines_for({0x9a, 0x99, 0x99, 0x99, 0x99, 0x99, 0xb9, 0x3f}), "f64").first, "0.1");
    EXPECT_EQ(values(lines_for({0x00, 0x7c}), "f16").first, "inf");
    EXPECT_EQ(values(lines_for({0x00, 0xfe}), "f16").first, "nan");
    EXPECT_EQ(values(lines_for({0x00, 0x00, 0x80, 0xff}), "f32").first, "-inf");
    EXPECT_EQ(values(lines_for({0x7f, 0xc0, 0x00, 0x00}), "f32").second, "nan");
    EXPECT_EQ(values(lines_for({0, 0, 0, 0, 0, 0, 0xf0, 0x7f}), "f64").first, "inf");
    // The widest doubles are shortened to the column, rounded.
    EXPECT_EQ(values(lines_for({0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xef, 0xff}), "f64").first,
              "-1.797693134862e+308");
}

TEST(Inspector, Leb128Utf8TimesAndGuid) {
    EXPECT_EQ(text(lines_for({0xe5, 0x8e, 0x26, 0xff}), "uleb128"), "624485 (3 bytes)");
    EXPECT_EQ(text(lines_for({0xc0, 0xbb, 0x78}), "sleb128"), "-123456 (3 bytes)");
    EXPECT_EQ(text(lines_for({0x7f}), "sleb128"), "-1 (1 byte)");
    EXPECT_EQ(text(lines_for(std::vector<uint8_t>(16, 0xff)), "uleb128"), "too large");

    EXPECT_EQ(text(lines_for({'A'}), "utf-8"), "U+0041 A");
    EXPECT_EQ(text(lines_for({0xc3, 0xa9}), "utf-8"), "U+00E9");
    EXPECT_EQ(text(lines_for({0xf0, 0x9f, 0x98, 0x80}), "utf-8"), "U+1F600");
    const std::vector<std::vector<uint8_t>> invalid = {{0xff, 0x41}, {0xc3, 0x41}, {0xe0, 0x80, 0x80}, {0xed, 0xa0, 0x80}};
    for (const std::vector<uint8_t>& bad : invalid) {
        EXPECT_EQ(text(lines_for(bad), "utf-8"), "invalid") << int(bad[0]);
    }

    const auto times = lines_for({0xff, 0xff, 0xff, 0x7f, 0, 0, 0, 0});
    EXPECT_EQ(values(times, "unix32"), Values("2038-01-19 03:14:07", "1969-12-31 23:57:51"));
    EXPECT_EQ(values(times, "unix64").first, "2038-01-19 03:14:07");
    EXPECT_EQ(values(times, "unix64").second, "out of range");
    const auto filetime = lines_for({0x00, 0x80, 0x3e, 0xd5, 0xde, 0xb1, 0x9d, 0x01});  // 1970 in 100 ns ticks
    EXPECT_EQ(values(filetime, "filetime").first, "1970-01-01 00:00:00");

    const auto guid = lines_for({0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd,
                                 0xee, 0xff});
    EXPECT_EQ(text(guid, "guid"), "00112233-4455-6677-8899-aabbccddeeff");
}

// Three bytes before the end of the file: what needs more shows "-".
TEST(Inspector, ValuesCutByTheEndShowADash) {
    const auto lines = lines_for({0xe2, 0x82, 0xac}, 0x1234, 0);
    EXPECT_EQ(text(lines, "offset"), "0x1234  4660");
    EXPECT_EQ(text(lines, "length"), "nothing selected");
    EXPECT_EQ(values(lines, "u16"), Values("33506", "57986"));
    EXPECT_EQ(text(lines, "utf-8"), "U+20AC");
    for (const char* name : {"u32", "i32", "u64", "i64", "f32", "f64", "unix32", "unix64", "filetime"}) {
        EXPECT_EQ(values(lines, name), Values("-", "-")) << name;
    }
    EXPECT_EQ(text(lines, "guid"), "-");
    EXPECT_EQ(text(lines, "uleb128"), "-");
    EXPECT_EQ(text(lines_for({0xe2, 0x82}), "utf-8"), "-");
    const auto none = lines_for({});
    EXPECT_EQ(text(none, "binary"), "-");
    EXPECT_EQ(values(none, "u8"), Values("-", ""));
}

TEST(Inspector, SelectionLengthInUnits) {
    const std::pair<uint64_t, const char*> cases[] = {
        {1, "1 byte"},
        {1023, "1023 bytes"},
        {1536, "1536 bytes  1.5 KiB"},
        {(uint64_t{1} << 20) - 1, "1048575 bytes  1023.9 KiB"},
        {uint64_t{3} << 30 | uint64_t{1} << 28, "3489660928 bytes  3.2 GiB"},
        {uint64_t{1} << 48, "281474976710656 bytes  256.0 TiB"},
    };
    for (const auto& [length, expected] : cases) {
        EXPECT_EQ(text(lines_for({0}, 0, length), "length"), expected);
    }
}

// Names take bit 7 in the packed grid, values and blanks do not.
TEST(Inspector, PackedNamesAreMarked) {
    std::vector<uint8_t> grid(size_t(panel_lines) * panel_cells, 0xAA);
    pack_panel_text(lines_for({0x41}), grid.data());
    EXPECT_EQ(grid[0], uint8_t('o' | 0x80));
    EXPECT_EQ(grid[panel_name_cells], uint8_t('0'));
    const size_t heading = 4 * panel_cells + panel_name_cells;
    EXPECT_EQ(grid[heading], uint8_t('l' | 0x80));
    EXPECT_EQ(grid[panel_cells - 1], 0);
}

// A value longer than its column wraps at blanks onto the following lines,
// indented to the value's column, within its lines; a word longer than the
// column is cut where the column ends.
TEST(InspectorPanel, LongValuesWrapIndented) {
    const std::string indent(panel_name_cells, ' ');
    const std::string elf = "ELF 64-bit LSB pie executable, x86-64, version 1 (SYSV), dynamically linked, "
                            "interpreter /lib64/ld-linux-x86-64.so.2, for GNU/Linux 3.2.0, stripped";
    const std::string word(45, 'w');
    struct Case {
        std::string name, value;
        size_t max_lines;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"in:", "partition 2 of 3 (ext4 'root'), 7e00 into it", 2,
         {"in:      partition 2 of 3 (ext4 'root'), 7e00 into", indent + "it"}},
        {"type:", elf, 4,
         {"type:    ELF 64-bit LSB pie executable, x86-64,", indent + "version 1 (SYSV), dynamically linked,",
          indent + "interpreter /lib64/ld-linux-x86-64.so.2,", indent + "for GNU/Linux 3.2.0, stripped"}},
        {"type:", elf, 2,
         {"type:    ELF 64-bit LSB pie executable, x86-64,", indent + "version 1 (SYSV), dynamically linked, ..."}},
        {"type:", word, 3, {"type:    " + word.substr(0, 41), indent + word.substr(41)}},
        {"type:", "", 4, {"type:    "}},
        {"in:", "before partition 1", 2, {"in:      before partition 1"}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = wrap_panel_line(c.name, c.value, c.max_lines);
        EXPECT_EQ(lines, c.expected) << c.value;
        for (const std::string& line : lines) EXPECT_LE(line.size(), size_t(panel_cells)) << line;
    }
    // A wrapped line, nameless as the columns' heading is, keeps the value colour.
    std::vector<uint8_t> grid(size_t(panel_lines) * panel_cells, 0xAA);
    pack_panel_text(wrap_panel_line("type:", elf, 4), grid.data());
    EXPECT_EQ(grid[panel_cells + panel_name_cells], uint8_t('v'));
}

// The panel reads its bytes from the file window when they lie in it, else
// once for each new offset or size, never once per frame.
TEST(InspectorReads, OnlyWhenTheOffsetOrTheSizeChanges) {
    std::vector<uint8_t> content = random_bytes(1 << 20, 41);
    TempFile file(content);
    Application app;
    app.set_fname(file.c_path());
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    app.inspector.open = true;
    const uint64_t window_reads = app.file_reads;
    app.fill_view_block(ubo);
    EXPECT_EQ(app.file_reads, window_reads) << "the first shown bytes lie in the window";
    EXPECT_EQ(0, std::memcmp(app.inspector.bytes, content.data(), 16));

    app.selection.set(700000, 700010);
    for (int frame = 0; frame < 5; ++frame) app.fill_view_block(ubo);
    EXPECT_EQ(app.file_reads, window_reads + 1);
    EXPECT_EQ(0, std::memcmp(app.inspector.bytes, content.data() + 700000, 16));
    const OverlayBlock overlay = app.overlay_block();
    EXPECT_EQ(overlay.panel[0], 1u);
    EXPECT_EQ(overlay.panel_text[panel_name_cells], uint8_t('0'));  // "0xaae60"

    app.selection.set(content.size() - 3, content.size());
    app.fill_view_block(ubo);
    app.fill_view_block(ubo);
    EXPECT_EQ(app.file_reads, window_reads + 2);
    EXPECT_EQ(app.inspector.count, 3u) << "nothing is read past the end";

    app.inspector.open = false;
    app.selection.set(5000, 5001);
    app.fill_view_block(ubo);
    EXPECT_EQ(app.file_reads, window_reads + 2) << "a hidden panel reads nothing";
    EXPECT_EQ(app.overlay_block().panel[0], 0u);
}

}  // namespace
