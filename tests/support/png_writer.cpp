#include "support/png_writer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

void write_png(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
    stbi_write_png(path.c_str(), int(width), int(height), 4, rgba.data(), int(width * 4));
}
