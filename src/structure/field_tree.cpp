#include "structure/field_tree.h"

#include <algorithm>

namespace {

std::string join(const std::string& parent, const std::string& id) { return parent.empty() ? id : parent + "." + id; }

}  // namespace

bool FieldRef::in_file(uint64_t& begin, uint64_t& end) const {
    if (!slot.has_extent || !slot.stream || !slot.stream->name.empty()) return false;
    begin = slot.stream->base + slot.offset;
    end = begin + slot.size;
    return true;
}

FieldTree::FieldTree(StructureEngine& engine) : engine_(engine) {}

FieldRef FieldTree::root() const {
    FieldRef r;
    StructObj& o = engine_.root();
    r.slot.state = Slot::State::Done;
    r.slot.stream = o.io;
    r.slot.offset = 0;
    r.slot.size = o.io->size;
    r.slot.value.kind = Value::Kind::Struct;
    r.slot.value.obj = std::shared_ptr<StructObj>(std::shared_ptr<StructObj>(), &o);
    return r;
}

std::vector<FieldRef> FieldTree::children(const FieldRef& parent, uint64_t first, uint64_t count) {
    std::vector<FieldRef> out;
    const Value& v = parent.slot.value;
    if (v.kind == Value::Kind::Struct && v.obj && parent.slot.has_extent) {
        StructObj& o = *v.obj;
        for (size_t k = 0; k < o.seq.size(); k++) {
            try {
                o.parse_through(k);
            } catch (const ParseStop&) {
            }
            const Slot& s = o.seq[k];
            if (s.state == Slot::State::Absent) continue;
            if (s.state == Slot::State::Unread) return out;
            out.push_back({join(parent.path, o.type->seq[k].id), s});
            if (s.state == Slot::State::Failed) return out;
        }
        for (size_t k = 0; k < o.instances.size(); k++) {
            const Slot& s = o.instance(k);
            if (s.state == Slot::State::Absent) continue;
            out.push_back({join(parent.path, o.type->instances[k].id), s});
        }
    } else if (v.kind == Value::Kind::Array && v.arr) {
        ArrayObj& arr = *v.arr;
        for (uint64_t i = first; i < first + count; i++) {
            if (arr.complete && i >= arr.walked) break;
            const std::string path = parent.path + "[" + std::to_string(i) + "]";
            try {
                out.push_back({path, arr.element(i)});
            } catch (const ParseStop& p) {
                if (arr.failed && i == arr.walked) {
                    out.push_back({path, *arr.failed});
                } else if (i < arr.walked || !arr.complete) {
                    Slot f;
                    f.state = Slot::State::Failed;
                    f.has_extent = false;
                    f.error = p.message;
                    out.push_back({path, f});
                }
                break;
            }
        }
    }
    return out;
}

std::optional<FieldRef> FieldTree::resolve(const std::string& path, std::string& error) {
    FieldRef node = root();
    size_t i = 0;
    while (i < path.size()) {
        if (path[i] == '[') {
            const size_t close = path.find(']', i);
            if (close == std::string::npos || node.slot.value.kind != Value::Kind::Array) {
                error = "no field " + path.substr(0, close == std::string::npos ? path.size() : close + 1);
                return std::nullopt;
            }
            const std::string digits = path.substr(i + 1, close - i - 1);
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 19) {
                error = "no field " + path.substr(0, close + 1) + ": an index is a number";
                return std::nullopt;
            }
            const uint64_t index = std::stoull(digits);
            ArrayObj& arr = *node.slot.value.arr;
            uint64_t n = 0;
            try {
                n = arr.size();
            } catch (const ParseStop&) {
                n = arr.walked;
            }
            if (index >= n) {
                error = "no field " + path.substr(0, close + 1) + ": " + (node.path.empty() ? "the array" : node.path) +
                        " has " + std::to_string(n);
                return std::nullopt;
            }
            auto kids = children(node, index, 1);
            if (kids.empty()) {
                error = "no field " + path.substr(0, close + 1);
                return std::nullopt;
            }
            node = kids[0];
            i = close + 1;
            continue;
        }
        if (path[i] == '.') i++;
        size_t end = i;
        while (end < path.size() && path[end] != '.' && path[end] != '[') end++;
        const std::string id = path.substr(i, end - i);
        const std::string want = join(node.path, id);
        std::optional<FieldRef> found;
        if (node.slot.value.kind == Value::Kind::Struct) {
            for (auto& c : children(node)) {
                if (c.path == want) found = c;
            }
        }
        if (!found) {
            std::string names;
            if (node.slot.value.kind == Value::Kind::Struct) {
                for (auto& c : children(node)) {
                    const std::string name = c.path.substr(node.path.empty() ? 0 : node.path.size() + 1);
                    names += (names.empty() ? "" : ", ") + name;
                }
            }
            error = "no field " + want + (names.empty() ? "" : ": " + (node.path.empty() ? std::string("the root") : node.path) +
                                                              " has " + names);
            return std::nullopt;
        }
        node = *found;
        i = end;
    }
    return node;
}

uint64_t FieldTree::element_near(ArrayObj& arr, const Slot& s, uint64_t offset) {
    const uint64_t begin = s.stream->base + arr.start / 8;
    if (offset < begin) return 0;
    if (arr.elem_size && *arr.elem_size > 0) return (offset - begin) / *arr.elem_size;
    const uint64_t local = (offset - s.stream->base) * 8;
    if (arr.checkpoints.empty()) return 0;
    size_t lo = 0, hi = arr.checkpoints.size();
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        (arr.checkpoints[mid] <= local ? lo : hi) = mid;
    }
    return lo * ArrayObj::checkpoint_every;
}

std::vector<FieldRef> FieldTree::path_at(uint64_t offset) {
    std::vector<FieldRef> out;
    FieldRef node = root();
    for (int depth = 0; depth <= engine_.limits().max_depth + 1; depth++) {
        std::vector<FieldRef> kids;
        if (node.slot.value.kind == Value::Kind::Array && node.slot.value.arr && node.slot.stream) {
            ArrayObj& arr = *node.slot.value.arr;
            uint64_t i = element_near(arr, node.slot, offset);
            // Walk forward from the checkpoint (or the addressed element) to the one holding it.
            for (;; i++) {
                auto one = children(node, i, 1);
                if (one.empty()) break;
                uint64_t b, e;
                if (!one[0].in_file(b, e) || b > offset) break;
                if (offset < std::max(e, b + 1)) {
                    kids = one;
                    break;
                }
                if (one[0].slot.state == Slot::State::Failed) break;
            }
        } else if (node.slot.value.kind == Value::Kind::Struct) {
            kids = children(node);
        }
        bool descended = false;
        for (auto& c : kids) {
            uint64_t b, e;
            if (c.in_file(b, e) && offset >= b && offset < std::max(e, b + 1)) {
                out.push_back(c);
                node = c;
                descended = true;
                break;
            }
        }
        if (!descended) break;
    }
    return out;
}

std::optional<FieldRef> FieldTree::first_after(const FieldRef& node, uint64_t offset, int depth) {
    if (depth > engine_.limits().max_depth) return std::nullopt;
    const bool array = node.slot.value.kind == Value::Kind::Array;
    uint64_t first = array ? element_near(*node.slot.value.arr, node.slot, offset) : 0;
    for (;;) {
        auto kids = children(node, first, 64);
        for (auto& c : kids) {
            uint64_t b, e;
            if (!c.in_file(b, e)) continue;
            if (c.is_leaf()) {
                if (b > offset) return c;
            } else if (e > offset || (e == b && b > offset)) {
                if (auto hit = first_after(c, offset, depth + 1)) return hit;
            }
        }
        if (!array || kids.size() < 64) return std::nullopt;
        first += 64;
    }
}

std::optional<FieldRef> FieldTree::last_before(const FieldRef& node, uint64_t offset, int depth) {
    if (depth > engine_.limits().max_depth) return std::nullopt;
    const bool array = node.slot.value.kind == Value::Kind::Array;
    uint64_t last = 0;  // an array's elements before `last` are looked at, backwards
    if (array) {
        // From the checkpoint forward to the first element that starts at or after the offset.
        last = element_near(*node.slot.value.arr, node.slot, offset);
        for (bool more = true; more;) {
            const auto block = children(node, last, 64);
            more = block.size() == 64;
            for (const auto& c : block) {
                uint64_t b, e;
                if (!c.in_file(b, e) || b >= offset) {
                    more = false;
                    break;
                }
                last++;
            }
        }
        last++;
    }
    for (;;) {
        // An array is looked through backwards in blocks from the element at the offset.
        const uint64_t first = array ? (last > 64 ? last - 64 : 0) : 0;
        auto kids = children(node, first, array ? last - first + 1 : 256);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            uint64_t b, e;
            if (!it->in_file(b, e) || b >= offset) continue;
            if (it->is_leaf()) return *it;
            if (auto hit = last_before(*it, offset, depth + 1)) return hit;
        }
        if (!array || first == 0) return std::nullopt;
        last = first;
    }
}

std::optional<FieldRef> FieldTree::next_leaf(uint64_t offset) { return first_after(root(), offset, 0); }

std::optional<FieldRef> FieldTree::previous_leaf(uint64_t offset) { return last_before(root(), offset, 0); }
