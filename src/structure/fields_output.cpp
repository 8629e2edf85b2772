#include "structure/fields_output.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace {

constexpr size_t shown_bytes = 32;
constexpr size_t shown_string_bytes = 1024;

void json_string(std::string& out, const std::string& s) {
    out += '"';
    size_t plain = 0;  // the start of the run of characters that need no escape
    for (size_t i = 0; i < s.size(); i++) {
        const unsigned char u = static_cast<unsigned char>(s[i]);
        if (u != '"' && u != '\\' && u >= 0x20 && u != 0x7f) continue;
        out.append(s, plain, i - plain);
        plain = i + 1;
        if (u == '"' || u == '\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        }
    }
    out.append(s, plain, s.size() - plain);
    out += '"';
}

std::string int_json(Int128 v) {
    const Int128 limit = Int128(1) << 53;
    const bool neg = v < 0;
    UInt128 u = neg ? static_cast<UInt128>(-(v + 1)) + 1 : static_cast<UInt128>(v);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        u /= 10;
    } while (u);
    if (neg) digits.insert(digits.begin(), '-');
    return (v > limit || v < -limit) ? "\"" + digits + "\"" : digits;
}

std::string float_json(double d) {
    if (std::isnan(d)) return "\"nan\"";
    if (std::isinf(d)) return d > 0 ? "\"inf\"" : "\"-inf\"";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

// The first bytes of a byte array, as the output shows them.
std::string first_bytes(const Value& v) {
    if (!v.stream) return v.s.substr(0, shown_bytes);
    const uint64_t n = std::min<uint64_t>(v.length, shown_bytes);
    std::string b(n, '\0');
    if (!v.stream->read(v.pos, n, reinterpret_cast<uint8_t*>(b.data()))) return {};
    return b;
}

// A string cut to its first 1024 bytes of UTF-8, no character cut in two.
std::string cut_text(const std::string& s) {
    std::string t = s.substr(0, shown_string_bytes);
    size_t i = t.size();
    while (i > 0 && (static_cast<unsigned char>(t[i - 1]) & 0xc0) == 0x80) i--;
    if (i > 0) {
        const unsigned char lead = static_cast<unsigned char>(t[i - 1]);
        const size_t need = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
        if (t.size() - (i - 1) < need) t.resize(i - 1);
    }
    if (t.size() >= 3 && t.compare(t.size() - 3, 3, "\xef\xbf\xbd") == 0) t.resize(t.size() - 3);
    return t;
}

void scalar_json(std::string& line, const Value& v, uint64_t field_size) {
    switch (v.kind) {
        case Value::Kind::Int:
            line += ", \"value\": " + int_json(v.i);
            if (v.enum_def) {
                if (auto it = v.enum_def->labels.find(v.i); it != v.enum_def->labels.end()) {
                    line += ", \"enum\": ";
                    json_string(line, it->second);
                }
            }
            break;
        case Value::Kind::Bool: line += v.i ? ", \"value\": true" : ", \"value\": false"; break;
        case Value::Kind::Float: line += ", \"value\": " + float_json(v.f); break;
        case Value::Kind::Str:
            line += ", \"value\": ";
            if (field_size > shown_string_bytes) {
                json_string(line, cut_text(v.s));
                line += ", \"length\": " + std::to_string(field_size);
            } else {
                json_string(line, v.s);
            }
            break;
        case Value::Kind::Bytes:
            line += ", \"value\": \"" + hex_bytes(first_bytes(v), "") + "\", \"length\": " + std::to_string(v.length);
            break;
        default: break;
    }
}

class Printer {
public:
    Printer(std::ostream& out, std::optional<uint64_t> at) : out_(out), at_(at) {}

    FieldsOutcome outcome;

    // Prints a type's fields; false once a seq field failed (nothing may follow).
    bool fields(StructObj& o) {
        for (size_t k = 0; k < o.seq.size(); k++) {
            try {
                o.parse_through(k);
            } catch (ParseStop& p) {
                note(p);
            }
            Slot& s = o.seq[k];
            if (s.state == Slot::State::Absent) continue;
            if (s.state == Slot::State::Unread) return false;
            const Attr& a = o.type->seq[k];
            if (!field(o.child_path(a.id.empty() ? "_unnamed" + std::to_string(k) : a.id), s)) return false;
            if (s.state == Slot::State::Failed) return false;
        }
        for (size_t k = 0; k < o.instances.size(); k++) {
            Slot& s = o.instance(k);
            if (s.state == Slot::State::Absent || (s.state == Slot::State::Done && s.value.kind == Value::Kind::None))
                continue;
            const std::string path = o.child_path(o.type->instances[k].id);
            if (s.state == Slot::State::Failed && s.value.kind == Value::Kind::None) {
                if (s.error.empty()) s.error = "failed";
                fail_instance(path, s);
                continue;
            }
            // An instance's own failure does not stop its neighbours.
            if (!field(path, s) || s.state == Slot::State::Failed) {
                if (outcome.complete) mark("instance " + path + " failed");
                outcome.complete = false;
            }
        }
        return true;
    }

private:
    void note(const ParseStop& p) {
        if (!outcome.complete) return;
        outcome.complete = false;
        char buf[32];
        const uint64_t where = p.stream ? p.stream->base + p.offset : p.offset;
        std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(where));
        outcome.message = "stopped at " + std::string(buf) + ": " + p.message;
    }
    void mark(const std::string& message) {
        if (!outcome.complete) return;
        outcome.complete = false;
        outcome.message = message;
    }
    void fail_instance(const std::string& path, const Slot& s) {
        if (!at_) out_ << field_json(path, s) << "\n";
        mark(s.error);
    }

    bool holds(const Slot& s) const {
        if (!at_) return true;
        if (!s.has_extent || !s.stream || !s.stream->name.empty()) return false;
        const uint64_t begin = s.stream->base + s.offset;
        return *at_ >= begin && *at_ - begin < std::max<uint64_t>(s.size, 1);
    }

    bool field(const std::string& path, Slot& s) {
        if (s.value.kind == Value::Kind::Array && s.has_extent) return array(path, s);
        if (!holds(s)) {
            // A processed field's children are in a stream of their own: none holds a file offset.
            return true;
        }
        out_ << field_json(path, s) << "\n";
        if (s.value.kind == Value::Kind::Struct && s.has_extent && s.value.obj) return fields(*s.value.obj);
        return s.state != Slot::State::Failed;
    }

    bool array(const std::string& path, Slot& s) {
        ArrayObj& arr = *s.value.arr;
        if (!holds(s) && !(s.size == 0 && !at_)) return true;
        out_ << field_json(path, s) << "\n";
        const uint64_t n = arr.complete ? arr.walked : arr.walked;
        uint64_t first = 0;
        if (at_ && arr.elem_size && *arr.elem_size > 0) {
            const uint64_t begin = s.stream->base + arr.start / 8;
            first = std::min(n, (*at_ - begin) / *arr.elem_size);
        } else if (at_ && !arr.checkpoints.empty()) {
            // The last checkpoint at or before the offset: the element holding it is after it.
            const uint64_t local = (*at_ - s.stream->base) * 8;
            size_t lo = 0, hi = arr.checkpoints.size();
            while (hi - lo > 1) {
                const size_t mid = (lo + hi) / 2;
                (arr.checkpoints[mid] <= local ? lo : hi) = mid;
            }
            first = lo * ArrayObj::checkpoint_every;
        }
        for (uint64_t i = first; i < n; i++) {
            Slot e;
            try {
                e = arr.element(i);
            } catch (ParseStop& p) {
                note(p);
                Slot f;
                f.state = Slot::State::Failed;
                f.error = p.message;
                f.stream = p.stream;
                f.offset = p.offset;
                f.has_extent = false;
                if (!at_) out_ << field_json(path + "[" + std::to_string(i) + "]", f) << "\n";
                return false;
            }
            if (at_ && e.stream && e.stream->name.empty() && e.stream->base + e.offset > *at_) break;
            if (!field(path + "[" + std::to_string(i) + "]", e)) return false;
        }
        if (arr.failed) {
            if (arr.stop) note(*arr.stop);
            field(path + "[" + std::to_string(arr.walked) + "]", *arr.failed);
            return false;
        }
        return s.state != Slot::State::Failed;
    }

    std::ostream& out_;
    std::optional<uint64_t> at_;
};

}  // namespace

std::string field_json(const std::string& path, const Slot& s) {
    std::string line;
    line.reserve(160);
    line += "{\"path\": ";
    json_string(line, path);
    const bool extent = s.has_extent && s.stream;
    if (extent) line += ", \"offset\": " + std::to_string(s.stream->base + s.offset);
    if (extent && (s.state != Slot::State::Failed || s.value.kind != Value::Kind::None))
        line += ", \"size\": " + std::to_string(s.size);
    if (extent && s.bit_start >= 0)
        line += ", \"bits\": [" + std::to_string(s.bit_start) + ", " + std::to_string(s.bit_count) + "]";
    if (extent && !s.stream->name.empty()) {
        line += ", \"stream\": ";
        json_string(line, s.stream->name);
    }
    const Value& v = s.value;
    if (v.kind == Value::Kind::Array && v.arr) {
        ArrayObj& arr = *v.arr;
        if (arr.literal_count || !s.has_extent) {
            const uint64_t n = arr.size();
            line += ", \"count\": " + std::to_string(n) + ", \"value\": [";
            for (uint64_t i = 0; i < std::min<uint64_t>(n, shown_bytes); i++) {
                std::string one;
                scalar_json(one, arr.element(i).value, 0);
                const size_t colon = one.find(": ");
                if (i) line += ", ";
                line += colon == std::string::npos ? "null" : one.substr(colon + 2, one.find(", \"", colon) - colon - 2);
            }
            line += "]";
        } else if (arr.complete) {
            line += ", \"count\": " + std::to_string(arr.walked);
        }
    } else if (v.kind != Value::Kind::Struct) {
        scalar_json(line, v, s.size);
    }
    if (s.state == Slot::State::Failed && !s.error.empty()) {
        line += ", \"error\": ";
        json_string(line, s.error);
    }
    line += "}";
    return line;
}

FieldsOutcome write_fields(StructureEngine& engine, std::ostream& out, std::optional<uint64_t> at) {
    Printer p(out, at);
    p.fields(engine.root());
    return p.outcome;
}
