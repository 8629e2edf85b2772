#include "structure/description_loader.h"
#include "structure/interpreter.h"
#include "structure/type_lookup.h"

#include <yaml-cpp/yaml.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// Imports deeper than this are refused, which also ends a cycle of them.
constexpr int max_import_depth = 16;

class Loader {
public:
    Loader(std::string file, std::string dir, std::vector<std::string> folders, int depth)
        : file_(std::move(file)), dir_(std::move(dir)), folders_(std::move(folders)), depth_(depth) {}

    std::unique_ptr<Description> load(const std::string& text) {
        YAML::Node doc;
        try {
            doc = YAML::Load(text);
        } catch (const YAML::Exception& e) {
            throw DescriptionError(file_ + ":" + std::to_string(e.mark.line + 1) + ":" +
                                   std::to_string(e.mark.column + 1) + ": " + e.msg);
        }
        if (!doc.IsMap()) fail(doc, "a description is a map with meta and seq");
        auto d = std::make_unique<Description>();
        d->file = file_;
        d->root = std::make_unique<TypeDef>();
        const YAML::Node meta = doc["meta"];
        if (!meta || !meta.IsMap()) fail(doc, "meta/id missing");
        const YAML::Node id = meta["id"];
        if (!id || !id.IsScalar()) fail(meta, "meta/id missing");
        d->id = id.Scalar();
        d->root->name = d->id;
        if (meta["title"]) d->title = scalar(meta["title"]);
        d->extensions = scalars(meta["file-extension"]);
        if (const YAML::Node xref = meta["xref"]; xref && xref.IsMap()) d->mime_types = scalars(xref["mime"]);
        d->imports = scalars(meta["imports"]);
        read_meta(meta, *d->root);
        read_type(doc, *d->root, true);
        for (const auto& imp : d->imports) d->imported.push_back(load_import(meta["imports"], imp));
        desc_ = d.get();
        resolve(*d->root);
        return d;
    }

private:
    [[noreturn]] void fail(const YAML::Node& n, const std::string& what) const {
        const YAML::Mark m = n.Mark();
        throw DescriptionError(file_ + ":" + std::to_string(m.line + 1) + ":" + std::to_string(m.column + 1) + ": " +
                               what);
    }
    [[noreturn]] void fail(const SourceMark& m, const std::string& what) const {
        throw DescriptionError(m.where() + ": " + what);
    }
    SourceMark mark(const YAML::Node& n) const {
        const YAML::Mark m = n.Mark();
        return {file_, m.line + 1, m.column + 1};
    }
    std::string scalar(const YAML::Node& n) const {
        if (!n.IsScalar()) fail(n, "a single value expected");
        return n.Scalar();
    }
    std::vector<std::string> scalars(const YAML::Node& n) const {
        std::vector<std::string> out;
        if (!n) return out;
        if (n.IsSequence()) {
            for (const auto& e : n) out.push_back(scalar(e));
        } else {
            out.push_back(scalar(n));
        }
        return out;
    }
    bool boolean(const YAML::Node& n) const {
        const std::string s = scalar(n);
        if (s == "true") return true;
        if (s == "false") return false;
        fail(n, "true or false expected, not '" + s + "'");
    }
    SourceExpr expr(const YAML::Node& n) const {
        SourceExpr e;
        e.mark = mark(n);
        e.text = scalar(n);
        try {
            e.expr = parse_expression(e.text);
        } catch (const ExprError& x) {
            SourceMark at = e.mark;
            // A plain scalar starts where its node does; a quoted one a column later.
            at.column += static_cast<int>(x.column) + (n.Tag() == "!" ? 1 : 0);
            fail(at, x.what + " in '" + e.text + "'");
        }
        return e;
    }

    void read_meta(const YAML::Node& meta, TypeDef& t) {
        if (const YAML::Node endian = meta["endian"]) {
            if (endian.IsMap()) {
                t.endian_switch = expr(endian["switch-on"]);
                const YAML::Node cases = endian["cases"];
                if (!cases || !cases.IsMap()) fail(endian, "endian: switch-on needs cases");
                for (const auto& c : cases) {
                    const std::string v = scalar(c.second);
                    if (v != "le" && v != "be") fail(c.second, "endian is le or be, not '" + v + "'");
                    SourceExpr key;
                    if (scalar(c.first) != "_") key = expr(c.first);
                    t.endian_cases.emplace_back(std::move(key), v == "be");
                }
            } else {
                const std::string v = scalar(endian);
                if (v != "le" && v != "be") fail(endian, "endian is le or be, not '" + v + "'");
                t.big_endian = v == "be";
            }
        }
        if (const YAML::Node b = meta["bit-endian"]) {
            const std::string v = scalar(b);
            if (v != "le" && v != "be") fail(b, "bit-endian is le or be, not '" + v + "'");
            t.big_bits = v == "be";
        }
        if (meta["encoding"]) {
            t.encoding = scalar(meta["encoding"]);
            if (!known_encoding(t.encoding)) fail(meta["encoding"], "unknown encoding '" + t.encoding + "'");
        }
    }

    void read_type(const YAML::Node& n, TypeDef& t, bool top) {
        t.mark = mark(n);
        static const std::set<std::string> keys = {"meta", "seq", "types", "instances", "enums", "params", "doc",
                                                   "doc-ref", "-webide-representation", "to-string"};
        for (const auto& kv : n) {
            const std::string k = scalar(kv.first);
            if (!keys.count(k) && k.rfind("-", 0) != 0) fail(kv.first, "unknown key '" + k + "'");
        }
        if (!top) {
            if (const YAML::Node meta = n["meta"]) read_meta(meta, t);
        }
        if (const YAML::Node seq = n["seq"]) {
            if (!seq.IsSequence()) fail(seq, "seq is a list of fields");
            for (const auto& a : seq) t.seq.push_back(read_attr(a, false));
        }
        if (const YAML::Node inst = n["instances"]) {
            if (!inst.IsMap()) fail(inst, "instances is a map of names to fields");
            for (const auto& kv : inst) {
                Attr a = read_attr(kv.second, true);
                a.id = scalar(kv.first);
                a.mark = mark(kv.first);
                t.instances.push_back(std::move(a));
            }
        }
        if (const YAML::Node params = n["params"]) {
            for (const auto& p : params) {
                Param param;
                param.id = scalar(p["id"]);
                if (p["type"]) param.type = parse_type_name(p["type"], scalar(p["type"]));
                t.params.push_back(std::move(param));
            }
        }
        if (const YAML::Node enums = n["enums"]) {
            for (const auto& kv : enums) {
                EnumDef e;
                e.name = scalar(kv.first);
                for (const auto& v : kv.second) {
                    const SourceExpr key = expr(v.first);
                    if (key.expr->kind != Expr::Kind::Int &&
                        !(key.expr->kind == Expr::Kind::Unary && key.expr->text == "-"))
                        fail(v.first, "an enum's key is an integer");
                    Int128 value = key.expr->kind == Expr::Kind::Int ? key.expr->int_value
                                                                        : -key.expr->args[0]->int_value;
                    std::string label = v.second.IsMap() ? scalar(v.second["id"]) : scalar(v.second);
                    e.labels[value] = label;
                    e.values[label] = value;
                }
                t.enums[e.name] = std::move(e);
            }
        }
        if (const YAML::Node types = n["types"]) {
            for (const auto& kv : types) {
                auto sub = std::make_unique<TypeDef>();
                sub->name = scalar(kv.first);
                sub->parent = &t;
                read_type(kv.second, *sub, false);
                t.types[sub->name] = std::move(sub);
            }
        }
    }

    TypeRef parse_type_name(const YAML::Node& n, const std::string& s) {
        TypeRef r;
        r.mark = mark(n);
        std::string name = s;
        auto ends = [&](const char* suffix) {
            const std::string x = suffix;
            if (name.size() > x.size() && name.compare(name.size() - x.size(), x.size(), x) == 0) {
                name.resize(name.size() - x.size());
                return true;
            }
            return false;
        };
        auto digits = [](const std::string& d) {
            return !d.empty() && d.size() < 4 && d.find_first_not_of("0123456789") == std::string::npos;
        };
        if (name == "str") {
            r.kind = TypeRef::Kind::Str;
            return r;
        }
        if (name == "strz") {
            r.kind = TypeRef::Kind::StrZ;
            return r;
        }
        if (name == "bytes") {
            r.kind = TypeRef::Kind::Bytes;
            return r;
        }
        std::string base = name;
        std::optional<bool> be;
        if (ends("be")) be = true;
        else if (ends("le")) be = false;
        if ((name[0] == 'u' || name[0] == 's') && digits(name.substr(1))) {
            const int w = std::stoi(name.substr(1));
            if (w == 1 || w == 2 || w == 4 || w == 8) {
                r.kind = TypeRef::Kind::Int;
                r.width = w;
                r.is_signed = name[0] == 's';
                r.big_endian = be;
                return r;
            }
        }
        if (name[0] == 'f' && (name == "f4" || name == "f8")) {
            r.kind = TypeRef::Kind::Float;
            r.width = name[1] - '0';
            r.big_endian = be;
            return r;
        }
        if (name[0] == 'b' && digits(name.substr(1))) {
            const int w = std::stoi(name.substr(1));
            if (w >= 1 && w <= 64) {
                r.kind = TypeRef::Kind::BitInt;
                r.width = w;
                r.big_bits = be;
                return r;
            }
        }
        name = base;
        r.kind = TypeRef::Kind::User;
        // `name(arg, arg)`: arguments for the type's params.
        if (const size_t open = name.find('('); open != std::string::npos) {
            if (name.back() != ')') fail(n, "a type's arguments end with ')'");
            const std::string inner = name.substr(open + 1, name.size() - open - 2);
            name = name.substr(0, open);
            int depth = 0;
            size_t start = 0;
            for (size_t i = 0; i <= inner.size(); i++) {
                if (i == inner.size() || (inner[i] == ',' && depth == 0)) {
                    SourceExpr e;
                    e.mark = r.mark;
                    e.text = inner.substr(start, i - start);
                    try {
                        e.expr = parse_expression(e.text);
                    } catch (const ExprError& x) {
                        fail(n, x.what + " in '" + e.text + "'");
                    }
                    r.user_args.push_back(std::move(e));
                    start = i + 1;
                } else if (inner[i] == '(' || inner[i] == '[') {
                    depth++;
                } else if (inner[i] == ')' || inner[i] == ']') {
                    depth--;
                }
            }
        }
        r.user_name = name;
        return r;
    }

    Attr read_attr(const YAML::Node& n, bool instance) {
        if (!n.IsMap()) fail(n, "a field is a map");
        Attr a;
        a.is_instance = instance;
        a.mark = mark(n);
        static const std::set<std::string> keys = {
            "id", "type", "size", "size-eos", "if", "repeat", "repeat-expr", "repeat-until", "encoding", "terminator",
            "consume", "include", "eos-error", "pad-right", "enum", "contents", "process", "valid", "doc", "doc-ref",
            "pos", "io", "value", "parent"};
        for (const auto& kv : n) {
            const std::string k = scalar(kv.first);
            if (!keys.count(k) && k.rfind("-", 0) != 0) fail(kv.first, "unknown key '" + k + "'");
        }
        if (!instance) {
            if (n["id"]) a.id = scalar(n["id"]);
        }
        if (const YAML::Node t = n["type"]) {
            if (t.IsMap()) {
                a.type.kind = TypeRef::Kind::Switch;
                a.type.mark = mark(t);
                if (!t["switch-on"]) fail(t, "a switch needs switch-on");
                a.type.switch_on = expr(t["switch-on"]);
                const YAML::Node cases = t["cases"];
                if (!cases || !cases.IsMap()) fail(t, "a switch needs cases");
                for (const auto& c : cases) {
                    SourceExpr key;
                    if (scalar(c.first) != "_") key = expr(c.first);
                    a.type.cases.push_back(SwitchCase{std::move(key), parse_type_name(c.second, scalar(c.second))});
                }
            } else {
                a.type = parse_type_name(t, scalar(t));
            }
        }
        if (const YAML::Node c = n["contents"]) {
            a.has_contents = true;
            auto add = [&](const YAML::Node& e) {
                const std::string s = scalar(e);
                // A number is a byte; anything else is its UTF-8 text.
                if (e.Tag() != "!" && !s.empty() && (std::isdigit(static_cast<unsigned char>(s[0])))) {
                    const long v = std::strtol(s.c_str(), nullptr, 0);
                    if (v < 0 || v > 255) fail(e, "a byte of contents is 0 to 255");
                    a.contents.push_back(static_cast<uint8_t>(v));
                } else {
                    a.contents.insert(a.contents.end(), s.begin(), s.end());
                }
            };
            if (c.IsSequence()) {
                for (const auto& e : c) add(e);
            } else {
                add(c);
            }
        }
        if (n["size"]) a.size = expr(n["size"]);
        if (n["size-eos"]) a.size_eos = boolean(n["size-eos"]);
        if (n["if"]) a.if_expr = expr(n["if"]);
        if (const YAML::Node r = n["repeat"]) {
            const std::string v = scalar(r);
            if (v == "eos") {
                a.repeat = Attr::Repeat::Eos;
            } else if (v == "expr") {
                a.repeat = Attr::Repeat::Expr;
                if (!n["repeat-expr"]) fail(r, "repeat: expr needs repeat-expr");
                a.repeat_expr = expr(n["repeat-expr"]);
            } else if (v == "until") {
                a.repeat = Attr::Repeat::Until;
                if (!n["repeat-until"]) fail(r, "repeat: until needs repeat-until");
                a.repeat_expr = expr(n["repeat-until"]);
            } else {
                fail(r, "repeat is eos, expr or until, not '" + v + "'");
            }
        }
        if (n["encoding"]) {
            a.encoding = scalar(n["encoding"]);
            if (!known_encoding(a.encoding)) fail(n["encoding"], "unknown encoding '" + a.encoding + "'");
        }
        if (n["terminator"]) a.terminator = byte_value(n["terminator"]);
        if (n["pad-right"]) a.pad_right = byte_value(n["pad-right"]);
        if (n["consume"]) a.consume = boolean(n["consume"]);
        if (n["include"]) a.include = boolean(n["include"]);
        if (n["eos-error"]) a.eos_error = boolean(n["eos-error"]);
        if (n["enum"]) a.enum_name = scalar(n["enum"]);
        if (const YAML::Node p = n["process"]) {
            a.process = scalar(p);
            if (a.process != "zlib") fail(p, "unknown process '" + a.process + "'");
        }
        if (const YAML::Node v = n["valid"]) read_valid(v, a);
        if (instance) {
            if (n["pos"]) a.pos = expr(n["pos"]);
            if (n["io"]) a.io = expr(n["io"]);
            if (n["value"]) a.value = expr(n["value"]);
        }
        if (a.type.kind == TypeRef::Kind::StrZ && !a.terminator) a.terminator = 0;
        if (a.type.kind == TypeRef::Kind::None && !a.has_contents && !a.size && !a.size_eos && !a.value &&
            !a.terminator)
            fail(n, "a field without a type needs a size");
        if ((a.type.kind == TypeRef::Kind::Str) && !a.size && !a.size_eos && !a.terminator)
            fail(n, "a str needs a size, size-eos or a terminator");
        return a;
    }

    int byte_value(const YAML::Node& n) const {
        const std::string s = scalar(n);
        char* end = nullptr;
        const long v = std::strtol(s.c_str(), &end, 0);
        if (*end || v < 0 || v > 255) fail(n, "a byte value (0 to 255) expected, not '" + s + "'");
        return static_cast<int>(v);
    }

    void read_valid(const YAML::Node& v, Attr& a) {
        if (!v.IsMap()) {
            Validation x;
            x.kind = Validation::Kind::Eq;
            x.a = expr(v);
            a.valid.push_back(std::move(x));
            return;
        }
        for (const auto& kv : v) {
            const std::string k = scalar(kv.first);
            Validation x;
            if (k == "eq") {
                x.kind = Validation::Kind::Eq;
                x.a = expr(kv.second);
            } else if (k == "min") {
                x.kind = Validation::Kind::Min;
                x.a = expr(kv.second);
            } else if (k == "max") {
                x.kind = Validation::Kind::Max;
                x.a = expr(kv.second);
            } else if (k == "any-of") {
                x.kind = Validation::Kind::AnyOf;
                for (const auto& e : kv.second) x.any_of.push_back(expr(e));
            } else if (k == "expr") {
                x.kind = Validation::Kind::Expr;
                x.a = expr(kv.second);
            } else {
                fail(kv.first, "unknown validation '" + k + "'");
            }
            a.valid.push_back(std::move(x));
        }
    }

    std::unique_ptr<Description> load_import(const YAML::Node& at, const std::string& name) {
        if (depth_ >= max_import_depth) fail(at, "imports nested too deep at '" + name + "'");
        std::vector<std::string> candidates;
        if (!name.empty() && name[0] == '/') {
            for (const auto& f : folders_) candidates.push_back(f + name + ".ksy");
        } else {
            candidates.push_back(dir_ + "/" + name + ".ksy");
            for (const auto& f : folders_) candidates.push_back(f + "/" + name + ".ksy");
        }
        for (const auto& c : candidates) {
            std::ifstream in(c);
            if (!in) continue;
            std::stringstream text;
            text << in.rdbuf();
            const std::filesystem::path p(c);
            Loader sub(p.filename().string(), p.parent_path().string(), folders_, depth_ + 1);
            return sub.load(text.str());
        }
        fail(at, "import '" + name + "' not found");
    }

    const TypeDef* find_type(const TypeDef* from, const std::string& path) const {
        return lookup_type(*desc_, from, path);
    }
    const EnumDef* find_enum(const TypeDef* from, const std::string& path) const {
        return lookup_enum(*desc_, from, path);
    }

    void resolve_ref(const TypeDef& t, TypeRef& r) {
        if (r.kind == TypeRef::Kind::User) {
            r.user = find_type(&t, r.user_name);
            if (!r.user) fail(r.mark, "unknown type '" + r.user_name + "'");
            if (r.user_args.size() != r.user->params.size())
                fail(r.mark, "type '" + r.user_name + "' takes " + std::to_string(r.user->params.size()) +
                                 " arguments, not " + std::to_string(r.user_args.size()));
        } else if (r.kind == TypeRef::Kind::Switch) {
            for (auto& c : r.cases) resolve_ref(t, c.type);
        }
    }

    void resolve(TypeDef& t) {
        for (auto* list : {&t.seq, &t.instances}) {
            for (Attr& a : *list) {
                resolve_ref(t, a.type);
                if (!a.enum_name.empty()) {
                    a.enum_def = find_enum(&t, a.enum_name);
                    if (!a.enum_def) fail(a.mark, "unknown enum '" + a.enum_name + "'");
                }
            }
        }
        for (Param& p : t.params) {
            if (p.type.kind == TypeRef::Kind::User && p.type.user_name != "struct" && p.type.user_name != "io" &&
                p.type.user_name != "any")
                p.type.user = find_type(&t, p.type.user_name);
        }
        for (auto& [name, sub] : t.types) resolve(*sub);
    }

    std::string file_, dir_;
    std::vector<std::string> folders_;
    int depth_;
    const Description* desc_ = nullptr;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw DescriptionError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::unique_ptr<Description> load_description(const std::string& yaml_text, const std::string& file,
                                              const std::vector<std::string>& folders) {
    const std::filesystem::path p(file);
    try {
        return Loader(p.filename().string(), p.parent_path().empty() ? "." : p.parent_path().string(), folders, 0)
            .load(yaml_text);
    } catch (const YAML::Exception& e) {
        // A node of the wrong kind where a map or list was expected.
        throw DescriptionError(p.filename().string() + ":" + std::to_string(e.mark.line + 1) + ":" +
                               std::to_string(e.mark.column + 1) + ": " + e.msg);
    }
}

std::unique_ptr<Description> load_description_file(const std::string& path,
                                                   const std::vector<std::string>& folders) {
    return load_description(read_file(path), path, folders);
}

DescriptionMeta load_description_meta(const std::string& path) {
    DescriptionMeta m;
    try {
        const YAML::Node doc = YAML::LoadFile(path);
        const YAML::Node meta = doc["meta"];
        if (!meta || !meta["id"]) throw DescriptionError(path + ": meta/id missing");
        m.id = meta["id"].as<std::string>();
        auto list = [](const YAML::Node& n, std::vector<std::string>& out) {
            if (!n) return;
            if (n.IsSequence()) {
                for (const auto& e : n) out.push_back(e.as<std::string>());
            } else if (n.IsScalar()) {
                out.push_back(n.Scalar());
            }
        };
        list(meta["file-extension"], m.extensions);
        if (meta["xref"] && meta["xref"].IsMap()) list(meta["xref"]["mime"], m.mime_types);
    } catch (const YAML::Exception& e) {
        throw DescriptionError(path + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg);
    }
    return m;
}
