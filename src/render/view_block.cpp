#include "render/view_block.h"

#include "core/application.h"
#include "render/charsets.h"
#include "render/glyph_table.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cstring>

namespace {

uint32_t low32(uint64_t value) { return uint32_t(value); }
uint32_t bits32to47(uint64_t value) { return uint32_t(value >> 32) & 0xFFFF; }

}  // namespace

void Application::fill_view_block(UniformBufferObject& ubo) {
    std::memset(&ubo, 0, sizeof ubo);

    ubo.model = glm::mat4(1.0f);
    ubo.view = glm::lookAt(glm::vec3(0.0f, 0.0f, 1.0f), glm::vec3(0.0f, 0.0f, 0.0f), glm::vec3(0.0f, -1.0f, 0.0f));
    ubo.proj = glm::ortho(-0.5f, 0.5f, -0.5f, 0.5f, -5.0f, 5.0f);
    ubo.proj[1][1] *= -1;  // Vulkan's y points down

    std::memcpy(ubo.fontdata, fixed6x13.data(), sizeof ubo.fontdata);
    if (charset != Charset::Koi8r) {
        std::memcpy(ubo.fontdata + 2048, upper_glyphs(charset), 2048);
    }

    // The order matters: the file fields describe the window as checked,
    // before a load may learn a new size.
    clamp_view_and_check_window();
    ubo.chunkmeta[0] = low32(file_size);
    ubo.chunkmeta[1] = low32(chunk_offset);
    ubo.chunkmeta[2] = low32(uint64_t(offset) - chunk_offset);
    ubo.chunkmeta[3] = bits32to47(file_size) | (bits32to47(chunk_offset) << 16);
    ubo.param[0] = float(zoom);  // the shader's scale from window to canvas pixels
    ubo.param[1] = float(zoom);
    load_file_window();
    refresh_inspector();
    refresh_identify();
    refresh_structure();

    std::memcpy(ubo.datachunk, chunk.data(), sizeof ubo.datachunk);
}

bool Application::updateUniformBuffer(uint32_t currentImage) {
    UniformBufferObject ubo;
    fill_view_block(ubo);
    OverlayBlock overlay = overlay_block();
    fill_map_record(overlay);
    fill_pair_record(overlay);
    fill_field_record(overlay);
    std::memcpy(uniformBuffersMapped[currentImage], &ubo, sizeof ubo);
    std::memcpy(static_cast<char*>(uniformBuffersMapped[currentImage]) + overlayOffset, &overlay, sizeof overlay);
    return needs_full_page(overlay);
}
