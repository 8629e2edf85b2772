#include "structure/interpreter.h"
#include "structure/type_lookup.h"

#include <algorithm>
#include <cstring>

namespace {

uint64_t align8(uint64_t bits) { return (bits + 7) / 8 * 8; }

std::string hex_of(const uint8_t* p, size_t n) {
    return hex_bytes(std::string(reinterpret_cast<const char*>(p), n), " ");
}

// A struct handed to another as a parameter or by `_parent`: not owned, so
// that no cycle of owners forms.
Value unowned(Value v) {
    if (v.obj) v.obj = std::shared_ptr<StructObj>(std::shared_ptr<StructObj>(), v.obj.get());
    return v;
}

// The most bytes looked through for a terminator or padding in one go.
constexpr uint64_t scan_chunk = 4096;

}  // namespace

StructureEngine::StructureEngine(std::shared_ptr<const Description> desc, std::shared_ptr<ByteSource> file,
                                 StructureLimits limits)
    : desc_(std::move(desc)), file_(std::move(file)), limits_(limits) {
    auto io = std::make_shared<Stream>();
    io->source = file_;
    io->size = file_->size();
    root_ = make_struct(desc_->root.get(), io, 0, nullptr, {}, "");
}

StructureEngine::~StructureEngine() = default;

void StructureEngine::stop_at(const StreamPtr& io, uint64_t offset, std::string message) {
    ParseStop p;
    p.message = std::move(message);
    p.stream = io;
    p.offset = offset;
    throw p;
}

std::shared_ptr<StructObj> StructureEngine::make_struct(const TypeDef* t, const StreamPtr& io, uint64_t start,
                                                        StructObj* parent, std::vector<Value> params,
                                                        const std::string& path) {
    auto o = std::make_shared<StructObj>();
    o->engine = this;
    o->type = t;
    o->io = io;
    o->start = start;
    o->parent = parent;
    o->root = parent ? parent->root : o.get();
    o->params = std::move(params);
    for (auto& p : o->params) p = unowned(std::move(p));
    o->path = path;
    o->depth = parent ? parent->depth + 1 : 0;
    o->seq.resize(t->seq.size());
    o->instances.resize(t->instances.size());
    o->busy.resize(t->instances.size());
    o->bitpos = start * 8;
    if (o->depth > limits_.max_depth)
        stop_at(io, start, "depth limit " + std::to_string(limits_.max_depth) + " reached at " + path);
    return o;
}

void StructObj::parse_through(size_t k) {
    if (k < parsed) return;
    if (stop) throw *stop;
    if (reading) {
        const std::string& id = type->seq[std::min(k, type->seq.size() - 1)].id;
        StructureEngine::stop_at(io, end_pos(), "field '" + id + "' is used before it is read");
    }
    reading = true;
    while (parsed <= k && parsed < seq.size()) {
        const Attr& a = type->seq[parsed];
        Slot& s = seq[parsed];
        try {
            engine->read_attr(*this, a, io, bitpos, child_path(a.id.empty() ? "_unnamed" + std::to_string(parsed) : a.id), s);
        } catch (ParseStop& p) {
            s.state = Slot::State::Failed;
            if (!p.recorded) {
                s.error = p.message;
                p.recorded = true;
            }
            stop = p;
            reading = false;
            throw;
        }
        parsed++;
    }
    reading = false;
}

Slot& StructObj::instance(size_t k) {
    Slot& s = instances[k];
    if (s.state != Slot::State::Unread) return s;
    const Attr& a = type->instances[k];
    if (busy[k]) {
        s.state = Slot::State::Failed;
        s.error = "instance '" + a.id + "' depends on itself";
        return s;
    }
    busy[k] = true;
    try {
        StructureEngine::Ctx ctx;
        ctx.obj = this;
        if (a.if_expr && !engine->eval_bool(a.if_expr, ctx)) {
            s.state = Slot::State::Absent;
        } else if (a.value) {
            Value v = engine->eval(a.value, ctx);
            if (a.enum_def && v.kind == Value::Kind::Int) v.enum_def = a.enum_def;
            s.value = unowned(std::move(v));
            s.has_extent = false;
            s.state = Slot::State::Done;
        } else {
            StreamPtr in = io;
            if (a.io) {
                const Value v = engine->eval(a.io, ctx);
                if (v.kind != Value::Kind::Io) StructureEngine::stop_at(io, 0, a.io.mark.where() + ": io is not a stream");
                in = v.stream;
            }
            const Int128 pos = a.pos ? engine->eval_int(a.pos, ctx) : Int128(0);
            if (pos < 0 || pos > static_cast<Int128>(in->size))
                StructureEngine::stop_at(in, 0, "pos " + std::to_string(static_cast<long long>(pos)) +
                                                     " past the end at " + child_path(a.id));
            uint64_t bp = static_cast<uint64_t>(pos) * 8;
            engine->read_attr(*this, a, in, bp, child_path(a.id), s);
            s.state = s.state == Slot::State::Absent ? s.state : Slot::State::Done;
        }
    } catch (ParseStop& p) {
        s.state = Slot::State::Failed;
        s.error = p.message;
    }
    busy[k] = false;
    return s;
}

void StructureEngine::read_attr(StructObj& obj, const Attr& a, const StreamPtr& io, uint64_t& bitpos,
                                const std::string& path, Slot& s) {
    s.stream = io;
    Ctx ctx;
    ctx.obj = &obj;
    ctx.bitpos = bitpos;
    if (!a.is_instance && a.if_expr && !eval_bool(a.if_expr, ctx)) {
        s.state = Slot::State::Absent;
        return;
    }
    if (a.repeat == Attr::Repeat::None) {
        read_one(obj, a, io, bitpos, std::nullopt, path, s);
        if (s.state != Slot::State::Absent) s.state = Slot::State::Done;
        return;
    }
    auto arr = std::make_shared<ArrayObj>();
    arr->engine = this;
    arr->attr = &a;
    arr->owner = &obj;
    arr->io = io;
    arr->path = path;
    const bool bits = a.type.kind == TypeRef::Kind::BitInt;
    if (!bits) bitpos = align8(bitpos);
    arr->start = bitpos;
    arr->walk_pos = arr->cursor_pos_ = bitpos;
    s.value.kind = Value::Kind::Array;
    s.value.arr = arr;
    s.offset = bitpos / 8;
    if (a.repeat == Attr::Repeat::Expr) {
        const Int128 n = eval_int(a.repeat_expr, ctx);
        if (n < 0) stop_at(io, s.offset, "repeat count " + std::to_string(static_cast<long long>(n)) + " at " + path);
        if (n > (Int128(1) << 62)) stop_at(io, s.offset, "repeat count too large at " + path);
        arr->count = static_cast<uint64_t>(n);
    }
    if (!bits) arr->elem_size = fixed_size(a, false);
    // Elements of one size are addressed, so only a walk is bounded.
    if (arr->count && *arr->count > limits_.max_elements && !arr->elem_size)
        stop_at(io, s.offset, "repeat count " + std::to_string(*arr->count) + " past the element limit " +
                                  std::to_string(limits_.max_elements) + " at " + path + " (--max-elements raises it)");
    if (arr->elem_size && *arr->elem_size > 0 && a.repeat != Attr::Repeat::Until) {
        const uint64_t size = *arr->elem_size;
        const uint64_t room = (io->size - std::min(io->size, bitpos / 8)) / size;
        if (a.repeat == Attr::Repeat::Eos) {
            const uint64_t rest = io->size - std::min(io->size, bitpos / 8);
            arr->count = room + (rest % size ? 1 : 0);
        }
        if (*arr->count <= room) {
            arr->walked = *arr->count;
            arr->complete = true;
            arr->walk_pos = bitpos + *arr->count * size * 8;
        } else {
            // The first element that does not fit stops the read, as it would element by element.
            arr->walked = room;
            arr->walk_pos = bitpos + room * size * 8;
            arr->cursor_index_ = room;
            arr->cursor_pos_ = arr->walk_pos;
            try {
                arr->element(room);
            } catch (ParseStop& p) {
                s.size = arr->walk_pos / 8 - s.offset;
                throw;
            }
        }
        bitpos = arr->walk_pos;
        s.size = bitpos / 8 - s.offset;
        s.state = Slot::State::Done;
        return;
    }
    try {
        arr->size();
    } catch (ParseStop&) {
        s.size = arr->walk_pos / 8 - s.offset;
        throw;
    }
    bitpos = arr->walk_pos;
    if (!bits) bitpos = align8(bitpos);
    s.size = (bitpos + 7) / 8 - s.offset;
    s.state = Slot::State::Done;
}

void StructureEngine::read_one(StructObj& obj, const Attr& a, const StreamPtr& io, uint64_t& bitpos,
                               std::optional<uint64_t> index, const std::string& path, Slot& s, bool in_size) {
    s.stream = io;
    Ctx ctx;
    ctx.obj = &obj;
    ctx.index = index;
    ctx.bitpos = bitpos;
    TypeRef t;
    const TypeRef* tp = &a.type;
    if (a.type.kind == TypeRef::Kind::Switch) {
        const Value on = eval(a.type.switch_on, ctx);
        const TypeRef* chosen = nullptr;
        for (const auto& [key, ref] : a.type.cases) {
            if (!key) {
                if (!chosen) chosen = &ref;
                continue;
            }
            const Value k = eval(key, ctx);
            if (binary("==", on, k, key.mark).i) {
                chosen = &ref;
                break;
            }
        }
        if (!chosen) {
            // No case and no size: nothing is read, and the field stays where it would be.
            if (!a.size && !a.size_eos) {
                bitpos = align8(bitpos);
                s.offset = bitpos / 8;
                s.size = 0;
                return;
            }
            t.kind = TypeRef::Kind::None;
            chosen = &t;
        }
        tp = chosen;
    }
    const TypeRef& type = *tp;
    if (type.kind != TypeRef::Kind::BitInt) bitpos = align8(bitpos);
    const uint64_t pos = bitpos / 8;
    s.offset = pos;
    const uint64_t left = io->size - std::min(io->size, pos);

    auto finish_int = [&](Int128 v) {
        s.value = Value::integer(v, a.enum_def);
        check_valid(obj, a, s, index);
    };
    auto read_exact = [&](uint64_t n, uint8_t* out) {
        if (n > left)
            stop_at(io, pos, "end of stream: " + std::to_string(n) + " bytes wanted, " + std::to_string(left) +
                                 " left at " + path);
        if (!io->read(pos, n, out)) stop_at(io, pos, "cannot be read at " + path);
    };

    // Bytes and text cut by pad-right and a terminator, as far as either is looked for.
    auto cut = [&](const StreamPtr& in, uint64_t n) -> uint64_t {
        uint64_t len = n;
        if (a.pad_right) {
            uint64_t scanned = 0;
            uint8_t buf[scan_chunk];
            while (len > 0 && scanned < limits_.max_expr_bytes) {
                const uint64_t take = std::min<uint64_t>(len, scan_chunk);
                if (!in->read(len - take, take, buf)) break;
                uint64_t j = take;
                while (j > 0 && buf[j - 1] == *a.pad_right) j--;
                len -= take - j;
                scanned += take;
                if (j > 0) break;
            }
        }
        if (a.terminator) {
            uint8_t buf[scan_chunk];
            for (uint64_t at = 0; at < len && at < limits_.max_expr_bytes; at += scan_chunk) {
                const uint64_t take = std::min<uint64_t>(len - at, scan_chunk);
                if (!in->read(at, take, buf)) break;
                if (const void* hit = std::memchr(buf, *a.terminator, take)) {
                    len = at + static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - buf) + (a.include ? 1 : 0);
                    break;
                }
            }
        }
        return len;
    };
    auto text_or_bytes = [&](const StreamPtr& in, uint64_t len) {
        if (type.kind == TypeRef::Kind::Str || type.kind == TypeRef::Kind::StrZ) {
            std::string enc = a.encoding;
            for (const TypeDef* d = obj.type; d && enc.empty(); d = d->parent) enc = d->encoding;
            if (enc.empty()) enc = desc_->root->encoding;
            if (enc.empty()) enc = "UTF-8";
            const uint64_t take = std::min(len, limits_.max_expr_bytes);
            std::string raw(take, '\0');
            if (!in->read(0, take, reinterpret_cast<uint8_t*>(raw.data()))) stop_at(in, 0, "cannot be read at " + path);
            s.value = Value::string(decode_text(raw, enc));
            s.value.length = len;
        } else {
            s.value = Value::bytes_view(in, 0, len);
        }
        check_valid(obj, a, s, index);
    };

    if ((a.size || a.size_eos) && !in_size) {
        Int128 n = a.size ? eval_int(a.size, ctx) : static_cast<Int128>(left);
        if (n < 0) stop_at(io, pos, "size " + std::to_string(static_cast<long long>(n)) + " at " + path);
        if (n > static_cast<Int128>(left))
            stop_at(io, pos, "size " + std::to_string(static_cast<unsigned long long>(n)) + " past the end at " + path);
        const uint64_t size = static_cast<uint64_t>(n);
        s.size = size;
        bitpos = (pos + size) * 8;
        auto sub = std::make_shared<Stream>(*io);
        sub->base = io->base + pos;
        sub->size = size;
        if (!a.process.empty()) {
            if (size > limits_.max_decoded)
                stop_at(io, pos, "process input of " + std::to_string(size) + " bytes past the limit at " + path);
            std::string packed(size, '\0');
            if (!io->read(pos, size, reinterpret_cast<uint8_t*>(packed.data())))
                stop_at(io, pos, "cannot be read at " + path);
            std::vector<uint8_t> out;
            try {
                out = inflate_bytes(packed, limits_.max_decoded);
            } catch (const std::runtime_error& e) {
                stop_at(io, pos, std::string(e.what()) + " at " + path);
            }
            auto decoded = std::make_shared<Stream>();
            decoded->size = out.size();
            decoded->source = std::make_shared<ByteSource>(std::move(out));
            decoded->name = path;
            sub = decoded;
        }
        StreamPtr in = sub;
        switch (type.kind) {
            case TypeRef::Kind::User: {
                uint64_t bp = 0;
                read_user(obj, type, in, bp, index, path, true, s);
                return;
            }
            case TypeRef::Kind::None:
            case TypeRef::Kind::Bytes:
            case TypeRef::Kind::Str:
            case TypeRef::Kind::StrZ:
                text_or_bytes(in, cut(in, in->size));
                return;
            default:
                break;
        }
        // A number with a size: read from the start of its bytes.
        uint64_t bp = 0;
        Slot inner;
        read_one(obj, a, in, bp, index, path, inner, true);
        s.value = inner.value;
        return;
    }

    if (a.has_contents) {
        const uint64_t n = a.contents.size();
        std::vector<uint8_t> got(n);
        if (n > left) {
            std::vector<uint8_t> part(left);
            if (left && !io->read(pos, left, part.data())) stop_at(io, pos, "cannot be read at " + path);
            stop_at(io, pos, "contents " + hex_of(a.contents.data(), n) + " expected, " +
                                 (left ? hex_of(part.data(), left) + " and " : std::string()) + "the end found");
        }
        read_exact(n, got.data());
        if (got != a.contents)
            stop_at(io, pos, "contents " + hex_of(a.contents.data(), n) + " expected, " + hex_of(got.data(), n) +
                                 " found");
        s.size = n;
        bitpos = (pos + n) * 8;
        s.value = Value::bytes_view(io, pos, n);
        return;
    }

    switch (type.kind) {
        case TypeRef::Kind::Int: {
            uint8_t b[8];
            const uint64_t n = static_cast<uint64_t>(type.width);
            read_exact(n, b);
            const bool be = n == 1 || big_endian_of(obj, type, a.mark);
            UInt128 v = 0;
            for (uint64_t i = 0; i < n; i++) v = (v << 8) | b[be ? i : n - 1 - i];
            Int128 x = static_cast<Int128>(v);
            if (type.is_signed && (v >> (n * 8 - 1)) & 1) x -= Int128(1) << (n * 8);
            s.size = n;
            bitpos = (pos + n) * 8;
            finish_int(x);
            return;
        }
        case TypeRef::Kind::Float: {
            uint8_t b[8];
            const uint64_t n = static_cast<uint64_t>(type.width);
            read_exact(n, b);
            const bool be = big_endian_of(obj, type, a.mark);
            uint64_t v = 0;
            for (uint64_t i = 0; i < n; i++) v = (v << 8) | b[be ? i : n - 1 - i];
            double d;
            if (n == 4) {
                float f;
                const uint32_t w = static_cast<uint32_t>(v);
                std::memcpy(&f, &w, 4);
                d = f;
            } else {
                std::memcpy(&d, &v, 8);
            }
            s.size = n;
            bitpos = (pos + n) * 8;
            s.value = Value::real(d);
            check_valid(obj, a, s, index);
            return;
        }
        case TypeRef::Kind::BitInt: {
            bool big = true;
            if (type.big_bits) big = *type.big_bits;
            else {
                for (const TypeDef* d = obj.type; d; d = d->parent) {
                    if (d->big_bits) {
                        big = *d->big_bits;
                        break;
                    }
                }
            }
            const uint64_t n = static_cast<uint64_t>(type.width);
            const uint64_t first = bitpos % 8;
            const uint64_t bytes = (first + n + 7) / 8;
            uint8_t b[9];
            read_exact(bytes, b);
            UInt128 v = 0;
            for (uint64_t k = 0; k < n; k++) {
                const uint64_t at = first + k;
                const uint8_t byte = b[at / 8];
                if (big) {
                    v = (v << 1) | ((byte >> (7 - at % 8)) & 1);
                } else {
                    v |= static_cast<UInt128>((byte >> (at % 8)) & 1) << k;
                }
            }
            s.size = bytes;
            s.bit_start = static_cast<int>(first);
            s.bit_count = static_cast<int>(n);
            bitpos += n;
            if (n == 1 && !a.enum_def) {
                s.value = Value::boolean(v != 0);
                check_valid(obj, a, s, index);
            } else {
                finish_int(static_cast<Int128>(v));
            }
            return;
        }
        case TypeRef::Kind::User:
            read_user(obj, type, io, bitpos, index, path, false, s);
            return;
        case TypeRef::Kind::None:
        case TypeRef::Kind::Bytes:
        case TypeRef::Kind::Str:
        case TypeRef::Kind::StrZ: {
            if (!a.terminator) stop_at(io, pos, a.mark.where() + ": no size for " + path);
            uint64_t len = 0;
            bool found = false;
            uint8_t buf[scan_chunk];
            while (len < left) {
                const uint64_t take = std::min<uint64_t>(left - len, scan_chunk);
                if (!io->read(pos + len, take, buf)) stop_at(io, pos + len, "cannot be read at " + path);
                if (const void* hit = std::memchr(buf, *a.terminator, take)) {
                    len += static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - buf);
                    found = true;
                    break;
                }
                len += take;
            }
            if (!found && a.eos_error)
                stop_at(io, pos, "terminator " + std::to_string(*a.terminator) + " not found before the end at " + path);
            const uint64_t consumed = len + (found && a.consume ? 1 : 0);
            s.size = consumed;
            bitpos = (pos + consumed) * 8;
            auto view = std::make_shared<Stream>(*io);
            view->base = io->base + pos;
            view->size = len + (found && a.include ? 1 : 0);
            text_or_bytes(view, view->size);
            return;
        }
        case TypeRef::Kind::Switch:
            break;
    }
    stop_at(io, pos, a.mark.where() + ": nothing to read at " + path);
}

void StructureEngine::read_user(StructObj& obj, const TypeRef& t, const StreamPtr& io, uint64_t& bitpos,
                                std::optional<uint64_t> index, const std::string& path, bool sized, Slot& s) {
    Ctx ctx;
    ctx.obj = &obj;
    ctx.index = index;
    ctx.bitpos = bitpos;
    std::vector<Value> args;
    for (const auto& e : t.user_args) args.push_back(eval(e, ctx));
    bitpos = align8(bitpos);
    const uint64_t start = bitpos / 8;
    auto child = make_struct(t.user, io, start, &obj, std::move(args), path);
    s.value.kind = Value::Kind::Struct;
    s.value.obj = child;
    if (sized) return;
    if (const auto fixed = fixed_size(t.user)) {
        if (*fixed > io->size - std::min(io->size, start)) {
            // Too short for the whole: read it field by field to the failure.
            try {
                child->parse_through(SIZE_MAX);
            } catch (ParseStop&) {
                s.size = child->end_pos() - start;
                throw;
            }
        }
        s.size = *fixed;
        bitpos = (start + *fixed) * 8;
        return;
    }
    try {
        child->parse_through(SIZE_MAX);
    } catch (ParseStop&) {
        s.size = child->end_pos() - start;
        throw;
    }
    s.size = child->end_pos() - start;
    bitpos = child->end_pos() * 8;
}

bool StructureEngine::big_endian_of(const StructObj& obj, const TypeRef& r, const SourceMark& at) {
    if (r.big_endian) return *r.big_endian;
    for (const TypeDef* t = obj.type; t; t = t->parent) {
        if (t->big_endian) return *t->big_endian;
        if (t->endian_switch) break;
    }
    for (const StructObj* o = &obj; o; o = o->parent) {
        if (o->big_endian) return *o->big_endian;
        if (!o->type->endian_switch) continue;
        Ctx ctx;
        ctx.obj = const_cast<StructObj*>(o);
        const Value on = eval(o->type->endian_switch, ctx);
        std::optional<bool> chosen;
        for (const auto& [key, big] : o->type->endian_cases) {
            if (!key) {
                if (!chosen) chosen = big;
                continue;
            }
            if (binary("==", on, eval(key, ctx), key.mark).i) {
                chosen = big;
                break;
            }
        }
        if (!chosen) stop_at(obj.io, obj.start, at.where() + ": no endian case matches");
        const_cast<StructObj*>(o)->big_endian = chosen;
        return *chosen;
    }
    stop_at(obj.io, obj.start, at.where() + ": no endian for this number (meta/endian)");
}

void StructureEngine::check_valid(StructObj& obj, const Attr& a, const Slot& s, std::optional<uint64_t> index) {
    if (a.valid.empty()) return;
    Ctx ctx;
    ctx.obj = &obj;
    ctx.index = index;
    ctx.underscore = &s.value;
    auto show = [&](const Value& v) -> std::string {
        if (v.kind == Value::Kind::Int) {
            const Int128 x = v.i;
            return x < 0 ? "-" + std::to_string(static_cast<unsigned long long>(-x))
                         : std::to_string(static_cast<unsigned long long>(x));
        }
        if (v.kind == Value::Kind::Str) return "\"" + v.s + "\"";
        if (v.kind == Value::Kind::Bytes) return hex_bytes(materialize(v, a.mark).substr(0, 32), " ");
        if (v.kind == Value::Kind::Bool) return v.i ? "true" : "false";
        return "the value";
    };
    for (const Validation& x : a.valid) {
        bool ok = true;
        std::string want;
        switch (x.kind) {
            case Validation::Kind::Eq: {
                const Value w = eval(x.a, ctx);
                ok = binary("==", s.value, w, x.a.mark).i != 0;
                want = "valid " + show(w) + " expected";
                break;
            }
            case Validation::Kind::Min: {
                const Value w = eval(x.a, ctx);
                ok = binary(">=", s.value, w, x.a.mark).i != 0;
                want = "valid at least " + show(w) + " expected";
                break;
            }
            case Validation::Kind::Max: {
                const Value w = eval(x.a, ctx);
                ok = binary("<=", s.value, w, x.a.mark).i != 0;
                want = "valid at most " + show(w) + " expected";
                break;
            }
            case Validation::Kind::AnyOf: {
                ok = false;
                for (const auto& e : x.any_of) ok = ok || binary("==", s.value, eval(e, ctx), e.mark).i != 0;
                want = "valid: one of " + std::to_string(x.any_of.size()) + " values expected";
                break;
            }
            case Validation::Kind::Expr:
                ok = eval_bool(x.a, ctx);
                want = "valid: " + x.a.text + " expected";
                break;
            case Validation::Kind::Range:
                break;
        }
        if (!ok) stop_at(s.stream, s.offset, want + ", " + show(s.value) + " found");
    }
}

std::optional<uint64_t> StructureEngine::fixed_size(const Attr& a, bool with_repeat) {
    if (a.if_expr || a.type.kind == TypeRef::Kind::Switch || a.type.kind == TypeRef::Kind::BitInt || a.size_eos)
        return std::nullopt;
    std::optional<uint64_t> one;
    auto constant = [](const Expr& e) -> std::optional<uint64_t> {
        if (e.kind == Expr::Kind::Int && e.int_value >= 0 && e.int_value < (Int128(1) << 62))
            return static_cast<uint64_t>(e.int_value);
        return std::nullopt;
    };
    if (a.size) {
        one = constant(*a.size.expr);
    } else if (a.has_contents) {
        one = a.contents.size();
    } else if (a.type.kind == TypeRef::Kind::Int || a.type.kind == TypeRef::Kind::Float) {
        one = static_cast<uint64_t>(a.type.width);
    } else if (a.type.kind == TypeRef::Kind::User) {
        one = fixed_size(a.type.user);
    }
    if (!one || !with_repeat || a.repeat == Attr::Repeat::None) return one;
    if (a.repeat != Attr::Repeat::Expr) return std::nullopt;
    const auto n = constant(*a.repeat_expr.expr);
    if (!n || (*one && *n > (uint64_t{1} << 62) / *one)) return std::nullopt;
    return *one * *n;
}

std::optional<uint64_t> StructureEngine::fixed_size(const TypeDef* t) {
    if (auto it = fixed_.find(t); it != fixed_.end()) return it->second;
    if (fixed_busy_[t]) return std::nullopt;  // a type that holds itself has no fixed size
    fixed_busy_[t] = true;
    std::optional<uint64_t> total = 0;
    for (const Attr& a : t->seq) {
        const auto one = fixed_size(a, true);
        if (!one || *one > (uint64_t{1} << 62)) {
            total.reset();
            break;
        }
        *total += *one;
    }
    fixed_busy_[t] = false;
    fixed_[t] = total;
    return total;
}

// --- arrays

void ArrayObj::read_at(uint64_t i, uint64_t& bitpos, Slot& s) {
    engine->read_one(*owner, *attr, io, bitpos, i, path + "[" + std::to_string(i) + "]", s);
    if (s.state != Slot::State::Absent) s.state = Slot::State::Done;
}

void ArrayObj::walk(uint64_t through) {
    while (!complete && walked <= through) {
        if (stop) throw *stop;
        if (count && walked >= *count) {
            complete = true;
            break;
        }
        uint64_t bp = walk_pos;
        if (attr->repeat == Attr::Repeat::Eos && (bp + 7) / 8 >= io->size) {
            complete = true;
            break;
        }
        if (walked >= engine->limits().max_elements) {
            ParseStop p;
            p.message = "more than " + std::to_string(engine->limits().max_elements) + " elements at " + path +
                        " (--max-elements raises the limit)";
            p.stream = io;
            p.offset = bp / 8;
            stop = p;
            throw p;
        }
        if (walked % checkpoint_every == 0 && checkpoints.size() == walked / checkpoint_every) {
            checkpoints.push_back(bp);
            if (walked % (checkpoint_every * 256) == 0 && walked > 0) {
                if (const auto* cancel = engine->cancel_flag(); cancel && cancel->load(std::memory_order_relaxed)) {
                    // Not kept as the array's end: the walk may be asked for again.
                    ParseStop p;
                    p.message = "the walk of " + path + " was stopped at element " + std::to_string(walked);
                    p.stream = io;
                    p.offset = bp / 8;
                    throw p;
                }
                engine->report_progress(*this);
            }
        }
        Slot s;
        try {
            read_at(walked, bp, s);
        } catch (ParseStop& p) {
            s.state = Slot::State::Failed;
            if (!p.recorded) {
                s.error = p.message;
                p.recorded = true;
            }
            failed = s;
            stop = p;
            throw;
        }
        walked++;
        walk_pos = bp;
        if (attr->repeat == Attr::Repeat::Until) {
            StructureEngine::Ctx ctx;
            ctx.obj = owner;
            ctx.underscore = &s.value;
            ctx.index = walked - 1;
            if (engine->eval_bool(attr->repeat_expr, ctx)) complete = true;
        }
    }
}

uint64_t ArrayObj::size() {
    if (literal_count) return *literal_count;
    walk(UINT64_MAX);
    return walked;
}

uint64_t ArrayObj::end_pos() {
    size();
    return walk_pos;
}

Slot ArrayObj::element(uint64_t i) {
    if (literal_count) {
        Slot s;
        s.has_extent = false;
        s.state = Slot::State::Done;
        s.value = literal.at(i);
        return s;
    }
    if (cached_index_ == i) return cached_;
    Slot s;
    if (elem_size) {
        if (count && i >= *count) StructureEngine::stop_at(io, start / 8, "no element " + std::to_string(i) + " in " + path);
        uint64_t bp = start + i * *elem_size * 8;
        try {
            read_at(i, bp, s);
        } catch (ParseStop& p) {
            if (i == walked && !complete) {
                s.state = Slot::State::Failed;
                if (!p.recorded) {
                    s.error = p.message;
                    p.recorded = true;
                }
                failed = s;
                stop = p;
            }
            throw;
        }
    } else {
        if (i >= walked) walk(i);
        if (i >= walked) {
            if (stop) throw *stop;
            StructureEngine::stop_at(io, start / 8, "no element " + std::to_string(i) + " in " + path);
        }
        uint64_t from = i / checkpoint_every * checkpoint_every;
        uint64_t bp = checkpoints[i / checkpoint_every];
        if (cursor_index_ <= i && cursor_index_ > from) {
            from = cursor_index_;
            bp = cursor_pos_;
        }
        for (uint64_t k = from; k <= i; k++) {
            Slot e;
            read_at(k, bp, e);
            if (k == i) s = e;
        }
        cursor_index_ = i + 1;
        cursor_pos_ = bp;
    }
    cached_ = s;
    cached_index_ = i;
    return s;
}
