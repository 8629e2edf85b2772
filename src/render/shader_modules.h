#pragma once

#include <vector>

// The SPIR-V 1.0 modules compiled from shaders/page.vert and shaders/page.frag
// at build time, as byte lists.
std::vector<char> page_vertex_module();
// The page shader's four builds: a compare's holds the second page's code,
// which one file's leaves out; a plain one only what the plain page draws,
// which a full one adds every overlay's regions to.
std::vector<char> page_fragment_module(bool compare, bool full);
