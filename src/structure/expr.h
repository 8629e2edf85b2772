#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// A parsed expression of the description language. Names are kept as
// written; the interpreter resolves them against the struct being read.
struct Expr {
    enum class Kind {
        Int, Float, Str, Bool, Name, EnumLit, Unary, Binary, Ternary, Member, Call, Index, ArrayLit, Cast, SizeOf
    };
    Kind kind = Kind::Int;
    Int128 int_value = 0;
    double float_value = 0;
    std::string text;  // a name, an operator, a member, a string literal, a type for a cast or sizeof
    std::vector<std::string> enum_path;  // EnumLit: the enum's path, `text` holds the label
    std::vector<std::unique_ptr<Expr>> args;  // operands, the object first for Member/Call/Index/Cast
};
using ExprPtr = std::unique_ptr<Expr>;

// A refused expression, with the column (0-based) in the expression text.
struct ExprError {
    size_t column;
    std::string what;
};

// Parses one expression; throws ExprError.
ExprPtr parse_expression(const std::string& text);
