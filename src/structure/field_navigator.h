#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class StructureEngine;

// A field as the window shows it: its path, its bytes in the file and its
// value as text ("13", "ihdr (73)", "\"abc\"", "89 50 4e 47").
struct FieldSpan {
    std::string path;
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string value;
};

// One line of the structure panel's tree.
struct TreeLine {
    int depth = 0;
    std::string name;   // "len", "chunks[3]", "... 999 more"
    std::string value;  // empty for types and arrays
    bool has_extent = false;
    uint64_t offset = 0, size = 0;
    bool focused = false;  // the field that holds the offset asked for
};

// A path that names no field: the message says what exists.
struct FieldPathError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The questions the window asks of a file's structure, each answered by
// reading no more than it needs: fields of a fixed size are addressed,
// repeats of variable size are walked through the engine's checkpoints.
// Only fields whose bytes lie in the file itself count (not those of a
// decoded stream). Reads as the engine does: on the thread that owns it.
class FieldNavigator {
public:
    explicit FieldNavigator(StructureEngine& engine) : engine_(engine) {}

    // The deepest field of more than zero bytes that holds `offset`.
    std::optional<FieldSpan> leaf_at(uint64_t offset);
    // The leaf after (or before) the one holding `offset`; from an offset
    // that no leaf holds, the first one after (or last one before) it.
    std::optional<FieldSpan> step(uint64_t offset, bool backward);
    // The leaves with bytes in [first, end), in file order, at most `limit`.
    std::vector<FieldSpan> leaves_in(uint64_t first, uint64_t end, size_t limit);
    // The tree with the ancestors of the leaf at `offset` opened and the
    // rest closed, at most `max_lines` lines around the focused one.
    std::vector<TreeLine> tree(uint64_t offset, size_t max_lines);
    // The field a path such as "chunks[3].body" names; throws
    // FieldPathError ("no field chunks[9]: chunks has 5").
    FieldSpan resolve(const std::string& path);

private:
    StructureEngine& engine_;
};
