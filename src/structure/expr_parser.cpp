#include "structure/expr.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct Token {
    enum class Kind { End, Int, Float, Str, Name, Op };
    Kind kind = Kind::End;
    std::string text;
    Int128 int_value = 0;
    double float_value = 0;
    size_t column = 0;
};

class Lexer {
public:
    explicit Lexer(const std::string& s) : s_(s) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) i_++;
            Token t;
            t.column = i_;
            if (i_ >= s_.size()) {
                out.push_back(t);
                return out;
            }
            const char c = s_[i_];
            if (std::isdigit(static_cast<unsigned char>(c))) {
                number(t);
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t j = i_;
                while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_')) j++;
                t.kind = Token::Kind::Name;
                t.text = s_.substr(i_, j - i_);
                i_ = j;
            } else if (c == '"' || c == '\'') {
                string(t, c);
            } else {
                static const char* ops[] = {"<<", ">>", "<=", ">=", "==", "!=", "::", "&&", "||", "+", "-", "*",
                                            "/",  "%",  "<",  ">",  "&",  "|",  "^",  "~",  "!",  "?", ":", "(",
                                            ")",  "[",  "]",  ".",  ","};
                bool found = false;
                for (const char* op : ops) {
                    const std::string o = op;
                    if (s_.compare(i_, o.size(), o) == 0) {
                        t.kind = Token::Kind::Op;
                        t.text = o;
                        i_ += o.size();
                        found = true;
                        break;
                    }
                }
                if (!found) throw ExprError{i_, std::string("unexpected character '") + c + "'"};
            }
            out.push_back(t);
        }
    }

private:
    void number(Token& t) {
        size_t j = i_;
        int base = 10;
        if (s_[j] == '0' && j + 1 < s_.size() && std::strchr("xXbBoO", s_[j + 1]) && s_[j + 1] != '\0') {
            const char p = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[j + 1])));
            base = p == 'x' ? 16 : p == 'b' ? 2 : 8;
            j += 2;
        }
        std::string digits;
        bool is_float = false;
        for (; j < s_.size(); j++) {
            const char c = s_[j];
            if (c == '_') continue;
            if (base == 10 && (c == '.' || c == 'e' || c == 'E')) {
                // A dot followed by a name is a member access on an integer literal.
                if (c == '.' && (j + 1 >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[j + 1])))) break;
                is_float = true;
                digits += c;
                if ((c == 'e' || c == 'E') && j + 1 < s_.size() && (s_[j + 1] == '-' || s_[j + 1] == '+'))
                    digits += s_[++j];
                continue;
            }
            if (!std::isxdigit(static_cast<unsigned char>(c))) break;
            const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
            if (v >= base) break;
            digits += c;
        }
        if (digits.empty()) throw ExprError{i_, "a number without digits"};
        if (is_float) {
            t.kind = Token::Kind::Float;
            t.float_value = std::strtod(digits.c_str(), nullptr);
        } else {
            t.kind = Token::Kind::Int;
            UInt128 v = 0;
            for (const char c : digits) {
                const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
                v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
                if (v >> 100) throw ExprError{i_, "a number too large"};
            }
            t.int_value = static_cast<Int128>(v);
        }
        i_ = j;
    }

    void string(Token& t, char quote) {
        size_t j = i_ + 1;
        std::string out;
        for (; j < s_.size() && s_[j] != quote; j++) {
            if (quote == '"' && s_[j] == '\\' && j + 1 < s_.size()) {
                const char e = s_[++j];
                switch (e) {
                    case 'n': out += '\n'; break;
                    case 't': out += '\t'; break;
                    case 'r': out += '\r'; break;
                    case '0': out += '\0'; break;
                    case 'x': {
                        if (j + 2 >= s_.size()) throw ExprError{j, "a \\x escape needs two digits"};
                        out += static_cast<char>(std::strtol(s_.substr(j + 1, 2).c_str(), nullptr, 16));
                        j += 2;
                        break;
                    }
                    default: out += e;
                }
            } else {
                out += s_[j];
            }
        }
        if (j >= s_.size()) throw ExprError{i_, "a string without its closing quote"};
        t.kind = Token::Kind::Str;
        t.text = out;
        i_ = j + 1;
    }

    const std::string& s_;
    size_t i_ = 0;
};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    ExprPtr all() {
        ExprPtr e = ternary();
        if (peek().kind != Token::Kind::End) fail("unexpected '" + peek().text + "'");
        return e;
    }

private:
    const Token& peek() const { return t_[p_]; }
    bool is_op(const char* op) const { return peek().kind == Token::Kind::Op && peek().text == op; }
    bool is_word(const char* w) const { return peek().kind == Token::Kind::Name && peek().text == w; }
    [[noreturn]] void fail(const std::string& what) const { throw ExprError{peek().column, what}; }
    void expect(const char* op) {
        if (!is_op(op)) fail(std::string("'") + op + "' expected");
        p_++;
    }

    static ExprPtr node(Expr::Kind k, std::string text = {}) {
        auto e = std::make_unique<Expr>();
        e->kind = k;
        e->text = std::move(text);
        return e;
    }
    static ExprPtr binary(std::string op, ExprPtr a, ExprPtr b) {
        auto e = node(Expr::Kind::Binary, std::move(op));
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return e;
    }

    ExprPtr ternary() {
        ExprPtr c = or_test();
        if (!is_op("?")) return c;
        p_++;
        ExprPtr a = ternary();
        expect(":");
        ExprPtr b = ternary();
        auto e = node(Expr::Kind::Ternary);
        e->args.push_back(std::move(c));
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return e;
    }
    ExprPtr or_test() {
        ExprPtr a = and_test();
        while (is_word("or") || is_op("||")) {
            p_++;
            a = binary("or", std::move(a), and_test());
        }
        return a;
    }
    ExprPtr and_test() {
        ExprPtr a = not_test();
        while (is_word("and") || is_op("&&")) {
            p_++;
            a = binary("and", std::move(a), not_test());
        }
        return a;
    }
    ExprPtr not_test() {
        if (is_word("not")) {
            p_++;
            auto e = node(Expr::Kind::Unary, "!");
            e->args.push_back(not_test());
            return e;
        }
        return comparison();
    }
    ExprPtr comparison() {
        ExprPtr a = bit_or();
        while (is_op("<") || is_op(">") || is_op("<=") || is_op(">=") || is_op("==") || is_op("!=")) {
            std::string op = t_[p_++].text;
            a = binary(op, std::move(a), bit_or());
        }
        return a;
    }
    template <typename Next>
    ExprPtr left_assoc(std::initializer_list<const char*> ops, Next next) {
        ExprPtr a = (this->*next)();
        for (;;) {
            bool matched = false;
            for (const char* op : ops) {
                if (is_op(op)) {
                    p_++;
                    a = binary(op, std::move(a), (this->*next)());
                    matched = true;
                    break;
                }
            }
            if (!matched) return a;
        }
    }
    ExprPtr bit_or() { return left_assoc({"|"}, &Parser::bit_xor); }
    ExprPtr bit_xor() { return left_assoc({"^"}, &Parser::bit_and); }
    ExprPtr bit_and() { return left_assoc({"&"}, &Parser::shift); }
    ExprPtr shift() { return left_assoc({"<<", ">>"}, &Parser::arith); }
    ExprPtr arith() { return left_assoc({"+", "-"}, &Parser::term); }
    ExprPtr term() { return left_assoc({"*", "/", "%"}, &Parser::factor); }
    ExprPtr factor() {
        if (is_op("-") || is_op("+") || is_op("~") || is_op("!")) {
            std::string op = t_[p_++].text;
            auto e = node(Expr::Kind::Unary, op);
            e->args.push_back(factor());
            return e;
        }
        return postfix();
    }

    std::string type_name() {
        std::string name;
        for (;;) {
            if (peek().kind != Token::Kind::Name) fail("a type name expected");
            name += t_[p_++].text;
            if (!is_op("::")) return name;
            p_++;
            name += "::";
        }
    }

    ExprPtr postfix() {
        ExprPtr a = atom();
        for (;;) {
            if (is_op("[")) {
                p_++;
                auto e = node(Expr::Kind::Index);
                e->args.push_back(std::move(a));
                e->args.push_back(ternary());
                expect("]");
                a = std::move(e);
            } else if (is_op(".")) {
                p_++;
                if (peek().kind != Token::Kind::Name) fail("a name expected after '.'");
                std::string name = t_[p_++].text;
                if (name == "as" && is_op("<")) {
                    p_++;
                    auto e = node(Expr::Kind::Cast, type_name());
                    expect(">");
                    e->args.push_back(std::move(a));
                    a = std::move(e);
                } else if (is_op("(")) {
                    p_++;
                    auto e = node(Expr::Kind::Call, name);
                    e->args.push_back(std::move(a));
                    if (!is_op(")")) {
                        for (;;) {
                            e->args.push_back(ternary());
                            if (!is_op(",")) break;
                            p_++;
                        }
                    }
                    expect(")");
                    a = std::move(e);
                } else {
                    auto e = node(Expr::Kind::Member, name);
                    e->args.push_back(std::move(a));
                    a = std::move(e);
                }
            } else {
                return a;
            }
        }
    }

    ExprPtr atom() {
        const Token& t = peek();
        switch (t.kind) {
            case Token::Kind::End: fail("an expression ended too early");
            case Token::Kind::Int: {
                auto e = node(Expr::Kind::Int);
                e->int_value = t.int_value;
                p_++;
                return e;
            }
            case Token::Kind::Float: {
                auto e = node(Expr::Kind::Float);
                e->float_value = t.float_value;
                p_++;
                return e;
            }
            case Token::Kind::Str: {
                auto e = node(Expr::Kind::Str, t.text);
                p_++;
                return e;
            }
            case Token::Kind::Op:
                if (t.text == "(") {
                    p_++;
                    ExprPtr e = ternary();
                    expect(")");
                    return e;
                }
                if (t.text == "[") {
                    p_++;
                    auto e = node(Expr::Kind::ArrayLit);
                    while (!is_op("]")) {
                        e->args.push_back(ternary());
                        if (!is_op(",")) break;
                        p_++;
                    }
                    expect("]");
                    return e;
                }
                fail("unexpected '" + t.text + "'");
            case Token::Kind::Name: break;
        }
        std::string name = t.text;
        p_++;
        if (name == "true" || name == "false") {
            auto e = node(Expr::Kind::Bool);
            e->int_value = name == "true";
            return e;
        }
        if ((name == "sizeof" || name == "bitsizeof") && is_op("<")) {
            p_++;
            auto e = node(Expr::Kind::SizeOf, type_name());
            e->int_value = name == "bitsizeof";
            expect(">");
            return e;
        }
        if (!is_op("::")) return node(Expr::Kind::Name, name);
        std::vector<std::string> path{name};
        while (is_op("::")) {
            p_++;
            if (peek().kind != Token::Kind::Name) fail("a name expected after '::'");
            path.push_back(t_[p_++].text);
        }
        auto e = node(Expr::Kind::EnumLit, path.back());
        path.pop_back();
        e->enum_path = std::move(path);
        return e;
    }

    std::vector<Token> t_;
    size_t p_ = 0;
};

}  // namespace

ExprPtr parse_expression(const std::string& text) {
    return Parser(Lexer(text).run()).all();
}
