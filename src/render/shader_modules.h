#pragma once

#include <vector>

// The SPIR-V 1.0 modules compiled from shaders/page.vert and shaders/page.frag
// at build time, as byte lists.
std::vector<char> page_vertex_module();
std::vector<char> page_fragment_module();
// The page shader of a compare: built with the second page's code, which
// one file's module leaves out.
std::vector<char> page_compare_fragment_module();
