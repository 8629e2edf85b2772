#pragma once

// What finds the signatures' literals: a prefilter of its own where the
// processor has AVX2, or Hyperscan.
enum class LiteralEngine { Prefilter, Hyperscan };
