#pragma once

#include "structure/expr.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where a part of a description was written, for its messages.
struct SourceMark {
    std::string file;  // the description's file name, without folders
    int line = 0, column = 0;  // 1-based
    std::string where() const { return file + ":" + std::to_string(line) + ":" + std::to_string(column); }
};

// An expression with the place it was written.
struct SourceExpr {
    ExprPtr expr;
    SourceMark mark;
    std::string text;
    explicit operator bool() const { return expr != nullptr; }
};

struct EnumDef {
    std::string name;
    __extension__ std::map<Int128, std::string> labels;
    std::map<std::string, Int128> values;
};

struct TypeDef;
struct SwitchCase;

// What an attribute's `type` names: a built-in, a user type (resolved after
// loading), or a switch between types.
struct TypeRef {
    enum class Kind { None, Int, BitInt, Float, Bytes, Str, StrZ, User, Switch };
    Kind kind = Kind::None;  // None: bytes without a type
    int width = 0;           // bytes for Int/Float; bits for BitInt
    bool is_signed = false;
    std::optional<bool> big_endian;  // unset: the type's default
    std::optional<bool> big_bits;    // BitInt: unset means the type's bit-endian
    std::string user_name;           // as written
    const TypeDef* user = nullptr;
    std::vector<SourceExpr> user_args;  // `type: foo(1, bar)`
    // Switch:
    SourceExpr switch_on;
    std::vector<SwitchCase> cases;
    SourceMark mark;
};

struct SwitchCase {
    SourceExpr key;  // empty for `_`
    TypeRef type;
};

struct Validation {
    enum class Kind { Eq, Min, Max, Range, AnyOf, Expr };
    Kind kind = Kind::Eq;
    SourceExpr a, b;
    std::vector<SourceExpr> any_of;
};

// One field of a seq, or an instance.
struct Attr {
    std::string id;
    SourceMark mark;
    TypeRef type;
    std::vector<uint8_t> contents;
    bool has_contents = false;
    SourceExpr size;
    bool size_eos = false;
    SourceExpr if_expr;
    enum class Repeat { None, Eos, Expr, Until };
    Repeat repeat = Repeat::None;
    SourceExpr repeat_expr;  // the count, or the until condition
    std::string encoding;    // empty: the description's
    std::optional<int> terminator;
    bool consume = true, include = false, eos_error = true;
    std::optional<int> pad_right;
    std::string enum_name;
    const EnumDef* enum_def = nullptr;
    std::string process;  // "zlib" or empty
    std::vector<Validation> valid;
    // Instances only:
    bool is_instance = false;
    SourceExpr pos, io, value;
};

struct Param {
    std::string id;
    TypeRef type;
};

struct TypeDef {
    std::string name;
    SourceMark mark;
    const TypeDef* parent = nullptr;
    std::vector<Attr> seq;
    std::vector<Attr> instances;
    std::vector<Param> params;
    std::map<std::string, std::unique_ptr<TypeDef>> types;
    std::map<std::string, EnumDef> enums;
    // meta, inherited by nested types unless they set their own
    std::optional<bool> big_endian;
    SourceExpr endian_switch;
    std::vector<std::pair<SourceExpr, bool>> endian_cases;
    std::optional<bool> big_bits;
    std::string encoding;
};

// A whole description: the top type and the files it imports.
struct Description {
    std::string id, title, file;
    std::vector<std::string> extensions, mime_types;
    std::vector<std::string> imports;
    std::unique_ptr<TypeDef> root;
    std::vector<std::unique_ptr<Description>> imported;
};

// A description that could not be loaded: "png.ksy:41:7: unknown type 'chunkk'".
class DescriptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
