#include "structure/field_navigator.h"

#include "structure/interpreter.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <functional>

namespace {

// A field met on the way through the tree: its path, the name its parent
// gives it, and the slot the engine read it into.
struct Node {
    std::string path;
    std::string name;
    Slot slot;
};

bool in_file(const Slot& s) {
    return s.has_extent && s.stream && s.stream->name.empty() &&
           (s.state == Slot::State::Done || s.state == Slot::State::Failed);
}
uint64_t first_of(const Slot& s) { return s.stream->base + s.offset; }
uint64_t end_of(const Slot& s) {
    const uint64_t first = first_of(s);
    return s.size > UINT64_MAX - first ? UINT64_MAX : first + s.size;
}
bool holds(const Slot& s, uint64_t offset) { return in_file(s) && offset >= first_of(s) && offset < end_of(s); }

// A struct read from the file's bytes (not a decoded stream's) has children on the page.
StructObj* struct_of(const Slot& s) {
    if (s.value.kind != Value::Kind::Struct || !s.value.obj) return nullptr;
    StructObj* obj = s.value.obj.get();
    return obj->io && obj->io->name.empty() ? obj : nullptr;
}
ArrayObj* array_of(const Slot& s) {
    if (s.value.kind != Value::Kind::Array || !s.value.arr || s.value.arr->literal_count) return nullptr;
    return s.value.arr.get();
}
bool is_leaf(const Slot& s) { return !struct_of(s) && !array_of(s); }

std::string join(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "." + name;
}

// The seq fields read (a failure ends them) and the instances, in that order.
std::vector<Node> struct_children(StructObj& obj) {
    std::vector<Node> children;
    for (size_t k = 0; k < obj.seq.size(); ++k) {
        try {
            obj.parse_through(k);
        } catch (const ParseStop&) {
        }
        Slot s = obj.seq[k];
        if (k >= obj.parsed && s.state != Slot::State::Failed) break;
        if (s.state == Slot::State::Absent) continue;
        if (s.state == Slot::State::Unread) s.state = Slot::State::Done;  // a repeat, read whole
        const std::string& id = obj.type->seq[k].id;
        const std::string name = id.empty() ? "_unnamed" + std::to_string(k) : id;
        children.push_back({join(obj.path, name), name, s});
        if (s.state == Slot::State::Failed) break;
    }
    for (size_t k = 0; k < obj.instances.size(); ++k) {
        const Slot& s = obj.instance(k);
        if (s.state != Slot::State::Done) continue;
        const std::string& id = obj.type->instances[k].id;
        children.push_back({join(obj.path, id), id, s});
    }
    return children;
}

// How many elements are known: all of them once the array is walked, and
// the one whose failure stopped the walk, as far as it was read.
uint64_t known_elements(ArrayObj& arr) {
    if (arr.count && arr.elem_size) return *arr.count;
    return arr.walked + (arr.failed ? 1 : 0);
}

Node element_node(ArrayObj& arr, const Node& parent, uint64_t i) {
    const std::string index = "[" + std::to_string(i) + "]";
    const bool failed = arr.failed && !(arr.count && arr.elem_size) && i == arr.walked;
    return {parent.path + index, parent.name + index, failed ? *arr.failed : arr.element(i)};
}

// The index of the element that holds `offset`, or the first after it.
uint64_t element_index_from(ArrayObj& arr, const Slot& slot, uint64_t offset) {
    const uint64_t n = known_elements(arr);
    const uint64_t first = first_of(slot);
    if (offset <= first || n == 0) return 0;
    if (arr.elem_size && *arr.elem_size > 0) return std::min(n, (offset - first) / *arr.elem_size);
    // The last checkpoint at or before the offset; the element is after it.
    const uint64_t local_bits = (offset - slot.stream->base) * 8;
    size_t lo = 0, hi = arr.checkpoints.size();
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        (arr.checkpoints[mid] <= local_bits ? lo : hi) = mid;
    }
    uint64_t i = uint64_t(lo) * ArrayObj::checkpoint_every;
    for (; i < n; ++i) {
        const Slot e = i == arr.walked && arr.failed ? *arr.failed : arr.element(i);
        if (in_file(e) && end_of(e) > offset) break;
    }
    return i;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text.substr(0, 48)) out += c == '"' ? std::string("\\\"") : std::string(1, c);
    return out + (text.size() > 48 ? "...\"" : "\"");
}

// A leaf's value as one short line.
std::string value_text(const Slot& s) {
    const Value& v = s.value;
    char text[64];
    switch (v.kind) {
        case Value::Kind::Int: {
            const Int128 i = v.i;
            if (i >= 0 && i <= Int128(UINT64_MAX)) {
                std::snprintf(text, sizeof text, "%" PRIu64, uint64_t(i));
            } else if (i < 0 && i >= Int128(INT64_MIN)) {
                std::snprintf(text, sizeof text, "%" PRId64, int64_t(i));
            } else {
                std::snprintf(text, sizeof text, "(out of range)");
            }
            std::string out = text;
            if (v.enum_def) {
                if (auto label = v.enum_def->labels.find(v.i); label != v.enum_def->labels.end()) {
                    out += " " + label->second;
                }
            }
            return out;
        }
        case Value::Kind::Bool: return v.i ? "true" : "false";
        case Value::Kind::Float: std::snprintf(text, sizeof text, "%g", v.f); return text;
        case Value::Kind::Str: return quoted(v.s);
        case Value::Kind::Bytes: {
            const uint64_t shown = std::min<uint64_t>(v.length, 8);
            std::string bytes;
            if (v.stream) {
                bytes.resize(shown);
                if (!v.stream->read(v.pos, shown, reinterpret_cast<uint8_t*>(bytes.data()))) return "-";
            } else {
                bytes = v.s.substr(0, shown);
            }
            return hex_bytes(bytes, " ") + (v.length > shown ? " ..." : "");
        }
        default: return "";
    }
}

FieldSpan span_of(const Node& node) {
    return {node.path, first_of(node.slot), node.slot.size, is_leaf(node.slot) ? value_text(node.slot) : ""};
}

// Calls `visit` on each leaf of `node` with bytes in [first, end), in
// the order of the tree (file order for a seq and an array); stops when
// `visit` says so.
bool each_leaf(const Node& node, uint64_t first, uint64_t end, const std::function<bool(const Node&)>& visit,
               int depth = 0) {
    const Slot& s = node.slot;
    if (!in_file(s) || depth > 64) return true;
    if (is_leaf(s)) {
        if (s.size == 0 || end_of(s) <= first || first_of(s) >= end) return true;
        return visit(node);
    }
    if (ArrayObj* arr = array_of(s)) {
        // An array's own extent leaves out the element whose failure ended it.
        if (first_of(s) >= end) return true;
        const uint64_t n = known_elements(*arr);
        for (uint64_t i = element_index_from(*arr, s, first); i < n; ++i) {
            const Node element = element_node(*arr, node, i);
            if (in_file(element.slot) && first_of(element.slot) >= end) break;
            if (!each_leaf(element, first, end, visit, depth + 1)) return false;
        }
        return true;
    }
    for (const Node& child : struct_children(*struct_of(s))) {
        if (!each_leaf(child, first, end, visit, depth + 1)) return false;
    }
    return true;
}

Node root_node(StructureEngine& engine) {
    Node root;
    root.slot.state = Slot::State::Done;
    StructObj& obj = engine.root();
    root.slot.stream = obj.io;
    root.slot.offset = obj.start;
    root.slot.size = obj.io ? obj.io->size - std::min(obj.io->size, obj.start) : 0;
    root.slot.value.kind = Value::Kind::Struct;
    root.slot.value.obj = std::shared_ptr<StructObj>(&obj, [](StructObj*) {});
    return root;
}

// The fields from the root's children down to the deepest one holding `offset`.
std::vector<Node> chain_to(StructureEngine& engine, uint64_t offset) {
    std::vector<Node> chain;
    Node node = root_node(engine);
    for (int depth = 0; depth < 64; ++depth) {
        std::optional<Node> next;
        if (ArrayObj* arr = array_of(node.slot)) {
            const uint64_t i = element_index_from(*arr, node.slot, offset);
            if (i < known_elements(*arr)) {
                Node element = element_node(*arr, node, i);
                if (holds(element.slot, offset)) next = std::move(element);
            }
        } else if (StructObj* obj = struct_of(node.slot)) {
            for (Node& child : struct_children(*obj)) {
                // An array that failed may hold the offset in the element that failed.
                const ArrayObj* list = array_of(child.slot);
                const bool past_failed_array = list && list->failed && in_file(child.slot) && first_of(child.slot) <= offset;
                if ((holds(child.slot, offset) && child.slot.size > 0) || past_failed_array) {
                    next = std::move(child);
                    break;
                }
            }
        }
        if (!next) break;
        chain.push_back(*next);
        node = std::move(*next);
    }
    return chain;
}

}  // namespace

std::optional<FieldSpan> FieldNavigator::leaf_at(uint64_t offset) {
    const std::vector<Node> chain = chain_to(engine_, offset);
    if (chain.empty() || !is_leaf(chain.back().slot)) {
        return chain.empty() ? std::nullopt : std::optional<FieldSpan>(span_of(chain.back()));
    }
    return span_of(chain.back());
}

std::vector<FieldSpan> FieldNavigator::leaves_in(uint64_t first, uint64_t end, size_t limit) {
    std::vector<FieldSpan> leaves;
    each_leaf(root_node(engine_), first, end, [&](const Node& leaf) {
        leaves.push_back(span_of(leaf));
        return leaves.size() < limit;
    });
    std::stable_sort(leaves.begin(), leaves.end(),
                     [](const FieldSpan& a, const FieldSpan& b) { return a.offset < b.offset; });
    return leaves;
}

std::optional<FieldSpan> FieldNavigator::step(uint64_t offset, bool backward) {
    const std::optional<FieldSpan> here = leaf_at(offset);
    const uint64_t size = engine_.file().size();
    if (!backward) {
        // The first leaf that starts at or after the end of this one.
        uint64_t from = here ? here->offset + here->size : offset + 1;
        while (from < size) {
            const uint64_t end = from + std::min<uint64_t>(size - from, 1 << 16);
            std::optional<FieldSpan> found;
            each_leaf(root_node(engine_), from, end, [&](const Node& leaf) {
                if (first_of(leaf.slot) < from) return true;
                if (!found || first_of(leaf.slot) < found->offset) found = span_of(leaf);
                return true;
            });
            if (found) return found;
            from = end;
        }
        return std::nullopt;
    }
    // The last leaf that ends at or before the start of this one.
    uint64_t to = here ? here->offset : offset;
    while (to > 0) {
        const uint64_t first = to - std::min<uint64_t>(to, 1 << 16);
        std::optional<FieldSpan> found;
        each_leaf(root_node(engine_), first, to, [&](const Node& leaf) {
            if (end_of(leaf.slot) > to) return true;
            if (!found || first_of(leaf.slot) >= found->offset) found = span_of(leaf);
            return true;
        });
        if (found) return found;
        to = first;
    }
    return std::nullopt;
}

std::vector<TreeLine> FieldNavigator::tree(uint64_t offset, size_t max_lines) {
    const std::vector<Node> chain = chain_to(engine_, offset);
    std::vector<TreeLine> lines;
    size_t focus = 0;
    const auto line_of = [&](const Node& node, int depth, bool focused) {
        TreeLine line;
        line.depth = depth;
        line.name = node.name;
        line.has_extent = in_file(node.slot);
        if (line.has_extent) {
            line.offset = first_of(node.slot);
            line.size = node.slot.size;
        }
        if (is_leaf(node.slot)) line.value = value_text(node.slot);
        if (node.slot.state == Slot::State::Failed && !node.slot.error.empty()) line.value = "! " + node.slot.error;
        line.focused = focused;
        return line;
    };
    // Children of one level around the chain's own, with the chain opened.
    const std::function<void(const Node&, size_t, int)> open = [&](const Node& parent, size_t level, int depth) {
        const Node* on_chain = level < chain.size() ? &chain[level] : nullptr;
        const auto add = [&](const Node& child) {
            const bool chained = on_chain && child.path == on_chain->path;
            if (chained && level + 1 == chain.size()) focus = lines.size();
            lines.push_back(line_of(child, depth, chained && level + 1 == chain.size()));
            if (chained) open(child, level + 1, depth + 1);
        };
        if (ArrayObj* arr = array_of(parent.slot)) {
            const uint64_t n = known_elements(*arr);
            const uint64_t middle = on_chain ? element_index_from(*arr, parent.slot, first_of(on_chain->slot)) : 0;
            const uint64_t from = middle > 3 ? middle - 3 : 0;
            const uint64_t to = std::min(n, middle + 4);
            if (from > 0) lines.push_back({depth, "... " + std::to_string(from) + " before", "", false, 0, 0, false});
            for (uint64_t i = from; i < to; ++i) add(element_node(*arr, parent, i));
            if (to < n) lines.push_back({depth, "... " + std::to_string(n - to) + " more", "", false, 0, 0, false});
        } else if (StructObj* obj = struct_of(parent.slot)) {
            for (const Node& child : struct_children(*obj)) add(child);
        }
    };
    open(root_node(engine_), 0, 0);
    if (lines.size() > max_lines) {
        const size_t first = std::min(focus > max_lines / 2 ? focus - max_lines / 2 : 0, lines.size() - max_lines);
        lines = std::vector<TreeLine>(lines.begin() + long(first), lines.begin() + long(first + max_lines));
    }
    return lines;
}

FieldSpan FieldNavigator::resolve(const std::string& path) {
    Node node = root_node(engine_);
    size_t at = 0;
    std::string walked;
    while (at < path.size()) {
        if (path[at] == '[') {
            const size_t close = path.find(']', at);
            ArrayObj* arr = array_of(node.slot);
            if (close == std::string::npos || !arr) throw FieldPathError("no field " + path.substr(0, close + 1) + ": " + (walked.empty() ? "the root" : walked) + " is not a list");
            const std::string digits = path.substr(at + 1, close - at - 1);
            if (digits.empty() || digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string::npos) {
                throw FieldPathError("no field " + path.substr(0, close + 1) + ": an index is a number");
            }
            const uint64_t i = std::stoull(digits);
            const uint64_t n = known_elements(*arr);
            if (i >= n) throw FieldPathError("no field " + path.substr(0, close + 1) + ": " + walked + " has " + std::to_string(n));
            node = element_node(*arr, node, i);
            walked = path.substr(0, close + 1);
            at = close + 1;
            if (at < path.size() && path[at] == '.') ++at;
            continue;
        }
        const size_t stop = path.find_first_of(".[", at);
        const std::string name = path.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
        StructObj* obj = struct_of(node.slot);
        std::optional<Node> found;
        std::string names;
        if (obj) {
            for (Node& child : struct_children(*obj)) {
                if (child.name == name) found = std::move(child);
                else if (names.size() < 60) names += (names.empty() ? "" : ", ") + child.name;
            }
        }
        const std::string so_far = path.substr(0, stop == std::string::npos ? path.size() : stop);
        if (!found) {
            throw FieldPathError("no field " + so_far + ": " + (walked.empty() ? std::string("the file") : walked) +
                                 (names.empty() ? " has no fields" : " has " + names));
        }
        node = std::move(*found);
        walked = so_far;
        at = stop == std::string::npos ? path.size() : stop;
        if (at < path.size() && path[at] == '.') ++at;
    }
    if (walked.empty()) throw FieldPathError("no field: a path names one, as @chunks[3].len");
    if (!in_file(node.slot)) throw FieldPathError(walked + " has no bytes in the file");
    return span_of(node);
}
