#include "support/png_writer.h"

#include <array>
#include <fstream>

namespace {

uint32_t crc32(const uint8_t* data, size_t length, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(uint8_t(value >> shift));
    }
}

void chunk(std::ofstream& file, const char* type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    std::vector<uint8_t> out;
    put32(out, uint32_t(data.size()));
    out.insert(out.end(), body.begin(), body.end());
    put32(out, crc32(body.data(), body.size()));
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

}  // namespace

void write_png(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
    std::ofstream file(path, std::ios::binary);
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file.write(reinterpret_cast<const char*>(signature), sizeof signature);

    std::vector<uint8_t> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    chunk(file, "IHDR", header);

    // Scanlines with filter byte 0, in stored (uncompressed) deflate blocks.
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + long(y) * width * 4, rgba.begin() + long(y + 1) * width * 4);
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t start = 0; start < raw.size() || start == 0; start += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - start);
        const bool last = start + length >= raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.insert(zlib.end(), {uint8_t(length), uint8_t(length >> 8), uint8_t(~length), uint8_t(~length >> 8)});
        zlib.insert(zlib.end(), raw.begin() + long(start), raw.begin() + long(start + length));
        if (last) break;
    }
    put32(zlib, (b << 16) | a);
    chunk(file, "IDAT", zlib);
    chunk(file, "IEND", {});
}
