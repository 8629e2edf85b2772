#pragma once

#include <glm/glm.hpp>

#include <cstddef>
#include <cstdint>

// The whole per-frame contract with the shaders, laid out by std140 rules:
// every byte is written on every frame.
struct UniformBufferObject {
    glm::mat4 model;
    glm::mat4 view;
    glm::mat4 proj;
    uint8_t fontdata[4096];
    // x: file size, low 32 bits; y: window base, low 32 bits; z: byte offset
    // of the first shown row from the window base; w: bits 32 to 47 of the
    // file size (low half) and of the window base (high half).
    uint32_t chunkmeta[4];
    uint8_t datachunk[2048];
    float param[4];
};

static_assert(offsetof(UniformBufferObject, view) == 64);
static_assert(offsetof(UniformBufferObject, proj) == 128);
static_assert(offsetof(UniformBufferObject, fontdata) == 192);
static_assert(offsetof(UniformBufferObject, chunkmeta) == 4288);
static_assert(offsetof(UniformBufferObject, datachunk) == 4304);
static_assert(offsetof(UniformBufferObject, param) == 6352);
static_assert(sizeof(UniformBufferObject) == 6368);
