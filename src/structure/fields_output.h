#pragma once

#include "structure/interpreter.h"

#include <iosfwd>
#include <optional>
#include <string>

// How a printing of the tree ended: whole, or stopped with the reason.
struct FieldsOutcome {
    bool complete = true;
    std::string message;  // "stopped at 2f: contents 89 50 4e 47 expected, 00 00 00 00 found"
};

// Prints the tree as JSON Lines, one field a line in pre-order; with `at`,
// only the fields whose bytes hold that file offset.
FieldsOutcome write_fields(StructureEngine& engine, std::ostream& out, std::optional<uint64_t> at = std::nullopt);

// One field's JSON line (without children), as write_fields prints it.
std::string field_json(const std::string& path, const Slot& s);
