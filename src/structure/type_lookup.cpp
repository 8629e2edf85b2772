#include "structure/type_lookup.h"

namespace {

const TypeDef* find_imported(const Description& d, const std::string& id) {
    for (const auto& imp : d.imported) {
        if (imp->id == id) return imp->root.get();
        if (const TypeDef* t = find_imported(*imp, id)) return t;
    }
    return nullptr;
}

}  // namespace

const TypeDef* lookup_type(const Description& d, const TypeDef* from, const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i; (i = path.find("::", start)) != std::string::npos; start = i + 2)
        parts.push_back(path.substr(start, i - start));
    parts.push_back(path.substr(start));
    const TypeDef* first = nullptr;
    for (const TypeDef* t = from; t && !first; t = t->parent) {
        if (auto it = t->types.find(parts[0]); it != t->types.end()) first = it->second.get();
        else if (!t->parent && t->name == parts[0]) first = t;
    }
    if (!first) first = find_imported(d, parts[0]);
    for (size_t i = 1; first && i < parts.size(); i++) {
        auto it = first->types.find(parts[i]);
        first = it == first->types.end() ? nullptr : it->second.get();
    }
    return first;
}

const EnumDef* lookup_enum(const Description& d, const TypeDef* from, const std::string& path) {
    const size_t split = path.rfind("::");
    if (split != std::string::npos) {
        const TypeDef* t = lookup_type(d, from, path.substr(0, split));
        if (!t) return nullptr;
        auto it = t->enums.find(path.substr(split + 2));
        return it == t->enums.end() ? nullptr : &it->second;
    }
    for (const TypeDef* t = from; t; t = t->parent) {
        if (auto it = t->enums.find(path); it != t->enums.end()) return &it->second;
    }
    return nullptr;
}
