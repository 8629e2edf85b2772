#pragma once

#include "structure/description.h"

#include <string>

// Type and enum names are looked up from the innermost type outwards, then
// among the ids of the imported descriptions; `a::b` descends from a.
const TypeDef* lookup_type(const Description& d, const TypeDef* from, const std::string& path);
const EnumDef* lookup_enum(const Description& d, const TypeDef* from, const std::string& path);
