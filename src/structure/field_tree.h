#pragma once

#include "structure/interpreter.h"

#include <optional>
#include <string>
#include <vector>

// A field as a view of the tree shows it: its path and what was read. The
// slot holds its struct or array, so that its children can be asked for.
struct FieldRef {
    std::string path;  // "chunks[3].len"; "" for the root
    Slot slot;
    bool is_leaf() const {
        return slot.value.kind != Value::Kind::Struct && slot.value.kind != Value::Kind::Array;
    }
    // Where its bytes lie in the file; false for value instances and fields
    // of a decoded stream.
    bool in_file(uint64_t& begin, uint64_t& end) const;
};

// The tree of fields, opened node by node: nothing is read before it is
// asked for, and an array of variable-size elements is walked only as far
// as the question needs.
class FieldTree {
public:
    explicit FieldTree(StructureEngine& engine);

    FieldRef root() const;
    // The children of a field: a type's seq fields then its instances; an
    // array's elements from `first`, at most `count`. A field that failed
    // ends the list, with its error on it.
    std::vector<FieldRef> children(const FieldRef& parent, uint64_t first = 0, uint64_t count = 256);
    // The field a path names ("chunks[3].body"); empty with `error` saying
    // what exists ("no field chunks[9]: chunks has 5").
    std::optional<FieldRef> resolve(const std::string& path, std::string& error);
    // The fields that hold a file offset, from the outermost to the leaf.
    std::vector<FieldRef> path_at(uint64_t offset);
    // The first leaf that starts after `offset`, and the last that starts before it.
    std::optional<FieldRef> next_leaf(uint64_t offset);
    std::optional<FieldRef> previous_leaf(uint64_t offset);

private:
    // The index of the array element holding (or the first after) a file offset.
    uint64_t element_near(ArrayObj& arr, const Slot& s, uint64_t offset);
    std::optional<FieldRef> first_after(const FieldRef& node, uint64_t offset, int depth);
    std::optional<FieldRef> last_before(const FieldRef& node, uint64_t offset, int depth);

    StructureEngine& engine_;
};
