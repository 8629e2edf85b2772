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

const uint32_t plain_fragment_words[] = {
#include "page_plain.frag.inc"
};

const uint32_t compare_plain_fragment_words[] = {
#include "page_compare_plain.frag.inc"
};

template <size_t N>
std::vector<char> as_bytes(const uint32_t (&words)[N]) {
    std::vector<char> bytes(sizeof words);
    std::memcpy(bytes.data(), words, sizeof words);
    return bytes;
}

}  // namespace

std::vector<char> page_vertex_module() { return as_bytes(vertex_words); }
std::vector<char> page_fragment_module(bool compare, bool full) {
    if (compare) return full ? as_bytes(compare_fragment_words) : as_bytes(compare_plain_fragment_words);
    return full ? as_bytes(fragment_words) : as_bytes(plain_fragment_words);
}
