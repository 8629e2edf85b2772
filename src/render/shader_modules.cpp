#include "render/shader_modules.h"

#include <cstdint>
#include <cstring>

namespace {

const uint32_t vertex_words[] = {
#include "page.vert.inc"
};

const uint32_t fragment_words[] = {
#include "page.frag.inc"
};

const uint32_t compare_fragment_words[] = {
#include "page_compare.frag.inc"
};

template <size_t N>
std::vector<char> as_bytes(const uint32_t (&words)[N]) {
    std::vector<char> bytes(sizeof words);
    std::memcpy(bytes.data(), words, sizeof words);
    return bytes;
}

}  // namespace

std::vector<char> page_vertex_module() { return as_bytes(vertex_words); }
std::vector<char> page_fragment_module() { return as_bytes(fragment_words); }
std::vector<char> page_compare_fragment_module() { return as_bytes(compare_fragment_words); }
