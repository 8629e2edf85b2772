#include "structure/interpreter.h"
#include "structure/type_lookup.h"

#include <cmath>

namespace {

Value unowned_struct(StructObj* o) {
    Value v;
    if (!o) return v;
    v.kind = Value::Kind::Struct;
    v.obj = std::shared_ptr<StructObj>(std::shared_ptr<StructObj>(), o);
    return v;
}

std::string int_text(Int128 x) {
    if (x == 0) return "0";
    const bool neg = x < 0;
    UInt128 u = neg ? static_cast<UInt128>(-(x + 1)) + 1 : static_cast<UInt128>(x);
    std::string s;
    while (u) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        u /= 10;
    }
    return neg ? "-" + s : s;
}

size_t utf8_length(const std::string& s) {
    size_t n = 0;
    for (const unsigned char c : s) n += (c & 0xc0) != 0x80;
    return n;
}

// The byte offset of code point k in s (or its size).
size_t utf8_offset(const std::string& s, size_t k) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); i++) {
        if ((static_cast<unsigned char>(s[i]) & 0xc0) != 0x80) {
            if (n == k) return i;
            n++;
        }
    }
    return s.size();
}

}  // namespace

[[noreturn]] static void fail(const SourceMark& at, const std::string& what) {
    ParseStop p;
    p.message = at.where() + ": " + what;
    throw p;
}

Value StructureEngine::eval(const SourceExpr& e, const Ctx& ctx) { return eval_node(*e.expr, ctx, e.mark); }

Int128 StructureEngine::eval_int(const SourceExpr& e, const Ctx& ctx) {
    const Value v = eval(e, ctx);
    if (v.kind == Value::Kind::Int || v.kind == Value::Kind::Bool) return v.i;
    if (v.kind == Value::Kind::Float) return static_cast<Int128>(v.f);
    fail(e.mark, "'" + e.text + "' is not a number");
}

bool StructureEngine::eval_bool(const SourceExpr& e, const Ctx& ctx) {
    const Value v = eval(e, ctx);
    if (v.kind == Value::Kind::Bool || v.kind == Value::Kind::Int) return v.i != 0;
    fail(e.mark, "'" + e.text + "' is not true or false");
}

std::string StructureEngine::materialize(const Value& v, const SourceMark& at) {
    if (v.kind == Value::Kind::Str) return v.s;
    if (v.kind == Value::Kind::Array && v.arr) {
        std::string out;
        const uint64_t n = v.arr->size();
        if (n > limits_.max_expr_bytes) fail(at, "an array too long to use as bytes");
        for (uint64_t i = 0; i < n; i++) out += static_cast<char>(static_cast<uint8_t>(v.arr->element(i).value.i));
        return out;
    }
    if (v.kind != Value::Kind::Bytes) fail(at, "bytes expected");
    if (!v.stream) return v.s;
    if (v.length > limits_.max_expr_bytes)
        fail(at, "a byte array of " + std::to_string(v.length) + " bytes is too long to use in an expression");
    std::string out(v.length, '\0');
    if (!v.stream->read(v.pos, v.length, reinterpret_cast<uint8_t*>(out.data()))) fail(at, "bytes cannot be read");
    return out;
}

Value StructureEngine::field_of(StructObj& obj, const std::string& n, const SourceMark& at, bool* found) {
    *found = true;
    const TypeDef& t = *obj.type;
    for (size_t k = 0; k < t.seq.size(); k++) {
        if (t.seq[k].id != n) continue;
        obj.parse_through(k);
        const Slot& s = obj.seq[k];
        return s.state == Slot::State::Absent ? Value{} : s.value;
    }
    for (size_t k = 0; k < t.instances.size(); k++) {
        if (t.instances[k].id != n) continue;
        const Slot& s = obj.instance(k);
        if (s.state == Slot::State::Failed) {
            ParseStop p;
            p.message = s.error.empty() ? "instance '" + n + "' failed" : s.error;
            throw p;
        }
        return s.state == Slot::State::Absent ? Value{} : s.value;
    }
    for (size_t k = 0; k < t.params.size(); k++) {
        if (t.params[k].id == n) return obj.params[k];
    }
    *found = false;
    (void)at;
    return {};
}

Value StructureEngine::name(const std::string& n, const Ctx& ctx, const SourceMark& at) {
    StructObj* obj = ctx.obj;
    if (n == "_") {
        if (!ctx.underscore) fail(at, "'_' is only known in repeat-until and valid");
        return *ctx.underscore;
    }
    if (n == "_index") {
        if (!ctx.index) fail(at, "'_index' is only known in a repeat");
        return Value::integer(static_cast<Int128>(*ctx.index));
    }
    if (n == "_io") {
        Value v;
        v.kind = Value::Kind::Io;
        v.stream = obj->io;
        v.pos = ctx.bitpos ? (*ctx.bitpos + 7) / 8 : obj->end_pos();
        return v;
    }
    if (n == "_parent") return unowned_struct(obj->parent);
    if (n == "_root") return unowned_struct(obj->root);
    if (n == "_sizeof") {
        obj->parse_through(SIZE_MAX);
        return Value::integer(static_cast<Int128>(obj->end_pos() - obj->start));
    }
    bool found = false;
    Value v = field_of(*obj, n, at, &found);
    if (!found) fail(at, "unknown name '" + n + "'");
    return v;
}

Value StructureEngine::member(const Value& v, const std::string& n, const Ctx& ctx, const SourceMark& at) {
    switch (v.kind) {
        case Value::Kind::Struct: {
            StructObj& o = *v.obj;
            if (n == "_parent") return unowned_struct(o.parent);
            if (n == "_root") return unowned_struct(o.root);
            if (n == "_io") {
                Value io;
                io.kind = Value::Kind::Io;
                io.stream = o.io;
                io.pos = o.end_pos();
                return io;
            }
            if (n == "_sizeof") {
                o.parse_through(SIZE_MAX);
                return Value::integer(static_cast<Int128>(o.end_pos() - o.start));
            }
            bool found = false;
            Value x = field_of(o, n, at, &found);
            if (!found) fail(at, "no field '" + n + "' in type '" + o.type->name + "'");
            return x;
        }
        case Value::Kind::Io:
            if (n == "size") return Value::integer(static_cast<Int128>(v.stream->size));
            if (n == "pos") return Value::integer(static_cast<Int128>(v.pos));
            if (n == "eof") return Value::boolean(v.pos >= v.stream->size);
            break;
        case Value::Kind::Array: {
            if (n == "size" || n == "length") return Value::integer(static_cast<Int128>(v.arr->size()));
            const uint64_t count = v.arr->size();
            if ((n == "first" || n == "last") && count == 0) fail(at, "." + n + " of an empty array");
            if (n == "first") return v.arr->element(0).value;
            if (n == "last") return v.arr->element(count - 1).value;
            if (n == "min" || n == "max") {
                if (count == 0) fail(at, "." + n + " of an empty array");
                Value best = v.arr->element(0).value;
                for (uint64_t i = 1; i < count; i++) {
                    Value x = v.arr->element(i).value;
                    if (binary(n == "min" ? "<" : ">", x, best, at).i) best = x;
                }
                return best;
            }
            break;
        }
        case Value::Kind::Bytes: {
            if (n == "size" || n == "length") return Value::integer(static_cast<Int128>(v.length));
            const std::string b = materialize(v, at);
            if ((n == "first" || n == "last" || n == "min" || n == "max") && b.empty())
                fail(at, "." + n + " of empty bytes");
            if (n == "first") return Value::integer(static_cast<uint8_t>(b.front()));
            if (n == "last") return Value::integer(static_cast<uint8_t>(b.back()));
            if (n == "min" || n == "max") {
                uint8_t best = static_cast<uint8_t>(b[0]);
                for (const char c : b) {
                    const uint8_t u = static_cast<uint8_t>(c);
                    best = n == "min" ? std::min(best, u) : std::max(best, u);
                }
                return Value::integer(best);
            }
            break;
        }
        case Value::Kind::Str:
            if (n == "length") return Value::integer(static_cast<Int128>(utf8_length(v.s)));
            if (n == "reverse") {
                std::string r;
                for (size_t i = v.s.size(); i > 0;) {
                    size_t j = i - 1;
                    while (j > 0 && (static_cast<unsigned char>(v.s[j]) & 0xc0) == 0x80) j--;
                    r += v.s.substr(j, i - j);
                    i = j;
                }
                return Value::string(r);
            }
            if (n == "to_i") return call(v, Expr{Expr::Kind::Call, 0, 0, "to_i", {}, {}}, ctx, at);
            break;
        case Value::Kind::Int:
            if (n == "to_i") return Value::integer(v.i);
            if (n == "to_s") return Value::string(int_text(v.i));
            break;
        case Value::Kind::Bool:
            if (n == "to_i") return Value::integer(v.i);
            break;
        case Value::Kind::Float:
            if (n == "to_i") return Value::integer(static_cast<Int128>(v.f));
            break;
        case Value::Kind::None:
            fail(at, "." + n + " of a field that was not read");
    }
    fail(at, "no member '" + n + "' here");
}

Value StructureEngine::call(const Value& v, const Expr& e, const Ctx& ctx, const SourceMark& at) {
    std::vector<Value> args;
    for (size_t i = 1; i < e.args.size(); i++) args.push_back(eval_node(*e.args[i], ctx, at));
    auto int_arg = [&](size_t k) -> Int128 {
        if (k >= args.size() || args[k].kind != Value::Kind::Int) fail(at, e.text + ": a number argument expected");
        return args[k].i;
    };
    if (v.kind == Value::Kind::Str) {
        if (e.text == "substring") {
            const Int128 from = int_arg(0), to = int_arg(1);
            const size_t n = utf8_length(v.s);
            if (from < 0 || to < from || to > static_cast<Int128>(n)) fail(at, "substring out of range");
            const size_t a = utf8_offset(v.s, static_cast<size_t>(from)), b = utf8_offset(v.s, static_cast<size_t>(to));
            return Value::string(v.s.substr(a, b - a));
        }
        if (e.text == "to_i") {
            const int radix = args.empty() ? 10 : static_cast<int>(int_arg(0));
            if (radix < 2 || radix > 36) fail(at, "to_i: radix 2 to 36");
            if (v.s.empty()) fail(at, "to_i of an empty string");
            Int128 r = 0;
            size_t i = 0;
            const bool neg = v.s[0] == '-';
            if (neg || v.s[0] == '+') i = 1;
            if (i >= v.s.size()) fail(at, "to_i of '" + v.s + "'");
            for (; i < v.s.size(); i++) {
                const char c = v.s[i];
                int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                        : std::isalpha(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10 : 99;
                if (d >= radix) fail(at, "to_i of '" + v.s + "'");
                r = r * radix + d;
                if (r > (Int128(1) << 100)) fail(at, "to_i: too large");
            }
            return Value::integer(neg ? -r : r);
        }
    }
    if (v.kind == Value::Kind::Bytes && e.text == "to_s") {
        if (args.empty() || args[0].kind != Value::Kind::Str) fail(at, "to_s: an encoding expected");
        return Value::string(decode_text(materialize(v, at), args[0].s));
    }
    if (v.kind == Value::Kind::Int && e.text == "to_s") return Value::string(int_text(v.i));
    if (args.empty()) return member(v, e.text, ctx, at);
    fail(at, "no method '" + e.text + "' here");
}

Value StructureEngine::binary(const std::string& op, const Value& a, const Value& b, const SourceMark& at) {
    using K = Value::Kind;
    const bool ints = a.kind == K::Int && b.kind == K::Int;
    const bool nums = (a.kind == K::Int || a.kind == K::Float) && (b.kind == K::Int || b.kind == K::Float);
    if (op == "and" || op == "or") fail(at, "internal: and/or");
    if (a.kind == K::Bool && b.kind == K::Bool && (op == "==" || op == "!=" || op == "&" || op == "|" || op == "^")) {
        const bool x = a.i != 0, y = b.i != 0;
        if (op == "==") return Value::boolean(x == y);
        if (op == "!=") return Value::boolean(x != y);
        if (op == "&") return Value::boolean(x && y);
        if (op == "|") return Value::boolean(x || y);
        return Value::boolean(x != y);
    }
    if (ints) {
        const Int128 x = a.i, y = b.i;
        const Int128 big = Int128(1) << 120;
        auto checked = [&](Int128 r) {
            if (r > big || r < -big) fail(at, "a number too large in '" + op + "'");
            return Value::integer(r);
        };
        if (op == "+") return checked(x + y);
        if (op == "-") return checked(x - y);
        if (op == "*") {
            if ((x > (Int128(1) << 64) || x < -(Int128(1) << 64)) && y != 0 && y != 1 && y != -1)
                fail(at, "a number too large in '*'");
            if (y > (Int128(1) << 64) || y < -(Int128(1) << 64)) {
                if (x != 0 && x != 1 && x != -1) fail(at, "a number too large in '*'");
            }
            return checked(x * y);
        }
        if (op == "/" || op == "%") {
            if (y == 0) fail(at, "division by zero");
            Int128 q = x / y, r = x % y;
            if (r != 0 && ((r < 0) != (y < 0))) {
                q -= 1;
                r += y;
            }
            return Value::integer(op == "/" ? q : r);
        }
        if (op == "<<") {
            if (y < 0 || y > 63) fail(at, "shift by " + int_text(y));
            return checked(x << static_cast<int>(y));
        }
        if (op == ">>") {
            if (y < 0) fail(at, "shift by " + int_text(y));
            return Value::integer(y > 126 ? (x < 0 ? -1 : 0) : x >> static_cast<int>(y));
        }
        if (op == "&") return Value::integer(x & y);
        if (op == "|") return Value::integer(x | y);
        if (op == "^") return Value::integer(x ^ y);
        if (op == "==") return Value::boolean(x == y);
        if (op == "!=") return Value::boolean(x != y);
        if (op == "<") return Value::boolean(x < y);
        if (op == "<=") return Value::boolean(x <= y);
        if (op == ">") return Value::boolean(x > y);
        if (op == ">=") return Value::boolean(x >= y);
    }
    if (nums) {
        const double x = a.kind == K::Float ? a.f : static_cast<double>(a.i);
        const double y = b.kind == K::Float ? b.f : static_cast<double>(b.i);
        if (op == "+") return Value::real(x + y);
        if (op == "-") return Value::real(x - y);
        if (op == "*") return Value::real(x * y);
        if (op == "/") return Value::real(x / y);
        if (op == "%") return Value::real(std::fmod(x, y));
        if (op == "==") return Value::boolean(x == y);
        if (op == "!=") return Value::boolean(x != y);
        if (op == "<") return Value::boolean(x < y);
        if (op == "<=") return Value::boolean(x <= y);
        if (op == ">") return Value::boolean(x > y);
        if (op == ">=") return Value::boolean(x >= y);
    }
    auto is_bytes = [](const Value& v) { return v.kind == K::Bytes || (v.kind == K::Array && v.arr && v.arr->literal_count); };
    if ((a.kind == K::Str && b.kind == K::Str) || (is_bytes(a) && is_bytes(b))) {
        const std::string x = a.kind == K::Str ? a.s : materialize(a, at);
        const std::string y = b.kind == K::Str ? b.s : materialize(b, at);
        if (op == "+") return a.kind == K::Str ? Value::string(x + y) : Value::bytes(x + y);
        // Compared as unsigned bytes, as the language does.
        const int c = x.compare(y);
        if (op == "==") return Value::boolean(c == 0);
        if (op == "!=") return Value::boolean(c != 0);
        if (op == "<") return Value::boolean(c < 0);
        if (op == "<=") return Value::boolean(c <= 0);
        if (op == ">") return Value::boolean(c > 0);
        if (op == ">=") return Value::boolean(c >= 0);
    }
    if (op == "==" || op == "!=") {
        if (a.kind == K::None || b.kind == K::None) return Value::boolean((a.kind == b.kind) == (op == "=="));
        if (a.kind == K::Struct && b.kind == K::Struct) return Value::boolean((a.obj == b.obj) == (op == "=="));
    }
    fail(at, "'" + op + "' does not apply to these values");
}

Value StructureEngine::eval_node(const Expr& e, const Ctx& ctx, const SourceMark& at) {
    switch (e.kind) {
        case Expr::Kind::Int: return Value::integer(e.int_value);
        case Expr::Kind::Float: return Value::real(e.float_value);
        case Expr::Kind::Str: return Value::string(e.text);
        case Expr::Kind::Bool: return Value::boolean(e.int_value != 0);
        case Expr::Kind::Name: return name(e.text, ctx, at);
        case Expr::Kind::EnumLit: {
            std::string path;
            for (const auto& p : e.enum_path) path += (path.empty() ? "" : "::") + p;
            const EnumDef* d = lookup_enum(*desc_, ctx.obj->type, path);
            if (!d) fail(at, "unknown enum '" + path + "'");
            auto it = d->values.find(e.text);
            if (it == d->values.end()) fail(at, "no '" + e.text + "' in enum '" + path + "'");
            return Value::integer(it->second, d);
        }
        case Expr::Kind::Unary: {
            const Value v = eval_node(*e.args[0], ctx, at);
            if (e.text == "!") {
                if (v.kind != Value::Kind::Bool) fail(at, "'not' of something not true or false");
                return Value::boolean(v.i == 0);
            }
            if (v.kind == Value::Kind::Float && e.text == "-") return Value::real(-v.f);
            if (v.kind == Value::Kind::Float && e.text == "+") return v;
            if (v.kind != Value::Kind::Int) fail(at, "'" + e.text + "' of something not a number");
            if (e.text == "-") return Value::integer(-v.i);
            if (e.text == "~") return Value::integer(~v.i);
            return v;
        }
        case Expr::Kind::Binary: {
            if (e.text == "and" || e.text == "or") {
                const Value a = eval_node(*e.args[0], ctx, at);
                if (a.kind != Value::Kind::Bool) fail(at, "'" + e.text + "' of something not true or false");
                if ((e.text == "and") != (a.i != 0)) return a;
                const Value b = eval_node(*e.args[1], ctx, at);
                if (b.kind != Value::Kind::Bool) fail(at, "'" + e.text + "' of something not true or false");
                return b;
            }
            return binary(e.text, eval_node(*e.args[0], ctx, at), eval_node(*e.args[1], ctx, at), at);
        }
        case Expr::Kind::Ternary: {
            const Value c = eval_node(*e.args[0], ctx, at);
            if (c.kind != Value::Kind::Bool) fail(at, "'?' after something not true or false");
            return eval_node(*e.args[c.i ? 1 : 2], ctx, at);
        }
        case Expr::Kind::Member: return member(eval_node(*e.args[0], ctx, at), e.text, ctx, at);
        case Expr::Kind::Call: return call(eval_node(*e.args[0], ctx, at), e, ctx, at);
        case Expr::Kind::Cast: return eval_node(*e.args[0], ctx, at);
        case Expr::Kind::Index: {
            const Value v = eval_node(*e.args[0], ctx, at);
            const Value i = eval_node(*e.args[1], ctx, at);
            if (i.kind != Value::Kind::Int) fail(at, "an index is a number");
            if (v.kind == Value::Kind::Array) {
                if (i.i < 0 || static_cast<UInt128>(i.i) >= v.arr->size())
                    fail(at, "index " + int_text(i.i) + " past the " + std::to_string(v.arr->size()) + " elements");
                return v.arr->element(static_cast<uint64_t>(i.i)).value;
            }
            if (v.kind == Value::Kind::Bytes) {
                if (i.i < 0 || static_cast<UInt128>(i.i) >= v.length)
                    fail(at, "index " + int_text(i.i) + " past the " + std::to_string(v.length) + " bytes");
                if (!v.stream) return Value::integer(static_cast<uint8_t>(v.s[static_cast<size_t>(i.i)]));
                uint8_t b = 0;
                if (!v.stream->read(v.pos + static_cast<uint64_t>(i.i), 1, &b)) fail(at, "a byte cannot be read");
                return Value::integer(b);
            }
            fail(at, "[] of something not an array");
        }
        case Expr::Kind::ArrayLit: {
            auto arr = std::make_shared<ArrayObj>();
            for (const auto& x : e.args) arr->literal.push_back(eval_node(*x, ctx, at));
            arr->literal_count = arr->literal.size();
            arr->engine = this;
            Value v;
            v.kind = Value::Kind::Array;
            v.arr = arr;
            return v;
        }
        case Expr::Kind::SizeOf: {
            const TypeDef* t = lookup_type(*desc_, ctx.obj->type, e.text);
            if (!t) fail(at, "unknown type '" + e.text + "'");
            const auto n = fixed_size(t);
            if (!n) fail(at, "type '" + e.text + "' has no fixed size");
            return Value::integer(static_cast<Int128>(*n) * (e.int_value ? 8 : 1));
        }
    }
    fail(at, "cannot evaluate");
}
