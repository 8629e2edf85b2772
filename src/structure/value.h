#pragma once

#include "structure/byte_source.h"
#include "structure/description.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>


struct StructObj;
struct ArrayObj;

// A value of the description language: what a field holds or an
// expression gives. Byte arrays stay views on their stream: only the bytes
// asked for are read.
struct Value {
    enum class Kind { None, Int, Bool, Float, Str, Bytes, Struct, Array, Io };
    Kind kind = Kind::None;
    Int128 i = 0;
    double f = 0;
    std::string s;                       // Str; Bytes made by an expression
    const EnumDef* enum_def = nullptr;   // an Int that is an enum
    StreamPtr stream;                    // Bytes on a stream; Io
    uint64_t pos = 0, length = 0;        // Bytes on a stream: where and how many
    std::shared_ptr<StructObj> obj;
    std::shared_ptr<ArrayObj> arr;

    static Value integer(Int128 v, const EnumDef* e = nullptr) {
        Value x;
        x.kind = Kind::Int;
        x.i = v;
        x.enum_def = e;
        return x;
    }
    static Value boolean(bool v) {
        Value x;
        x.kind = Kind::Bool;
        x.i = v;
        return x;
    }
    static Value real(double v) {
        Value x;
        x.kind = Kind::Float;
        x.f = v;
        return x;
    }
    static Value string(std::string v) {
        Value x;
        x.kind = Kind::Str;
        x.s = std::move(v);
        return x;
    }
    static Value bytes(std::string v) {
        Value x;
        x.kind = Kind::Bytes;
        x.s = std::move(v);
        x.length = x.s.size();
        return x;
    }
    static Value bytes_view(StreamPtr stream, uint64_t pos, uint64_t length) {
        Value x;
        x.kind = Kind::Bytes;
        x.stream = std::move(stream);
        x.pos = pos;
        x.length = length;
        return x;
    }
};

// A read that cannot go on: where (the stream and offset in it) and why.
struct ParseStop {
    std::string message;
    StreamPtr stream;
    uint64_t offset = 0;
    bool recorded = false;  // already on the failing field's slot
};
