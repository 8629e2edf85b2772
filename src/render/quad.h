#pragma once

#include <vulkan/vulkan.h>

#include <array>
#include <cstdint>
#include <vector>

// One corner of the screen quad, packed as the vertex buffer holds it.
struct Vertex {
    float pos[2];
    float color[3];
    float texCoord[2];

    static VkVertexInputBindingDescription getBindingDescription();
    static std::array<VkVertexInputAttributeDescription, 3> getAttributeDescriptions();
};

static_assert(sizeof(Vertex) == 28);

extern const std::vector<Vertex> vertices;
extern const std::vector<uint16_t> indices;
