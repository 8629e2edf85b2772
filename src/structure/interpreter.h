#pragma once

#include "structure/description.h"
#include "structure/value.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Bounds on what one description may make the engine do.
struct StructureLimits {
    uint64_t max_elements = 10'000'000;        // per repeat; the user may raise it
    int max_depth = 64;                        // nested types and instances
    uint64_t max_decoded = uint64_t{64} << 20; // one process: zlib's output
    uint64_t max_expr_bytes = uint64_t{16} << 20;  // a byte array or string used in an expression
};

// One field as read: where it lies in its stream and what it holds.
struct Slot {
    enum class State { Unread, Absent, Done, Failed };
    State state = State::Unread;
    bool has_extent = true;  // false for value instances
    uint64_t offset = 0, size = 0;  // in the stream
    int bit_start = -1, bit_count = 0;  // bit-sized integers
    StreamPtr stream;
    Value value;
    std::string error;  // on the field that failed itself
};

class StructureEngine;

// An object of a user type, read lazily: its seq fields are read in order
// as far as something asks, its instances when asked.
struct StructObj {
    StructureEngine* engine = nullptr;
    const TypeDef* type = nullptr;
    StreamPtr io;
    uint64_t start = 0;
    StructObj* parent = nullptr;  // non-owning: a parent outlives what it holds
    StructObj* root = nullptr;
    std::vector<Value> params;
    std::string path;  // "" for the root, "chunks[3]" ...
    int depth = 0;
    std::optional<bool> big_endian;
    std::optional<bool> little_bits;  // unused unless set by the type's meta

    std::vector<Slot> seq;
    size_t parsed = 0;
    uint64_t bitpos = 0;  // the reading position, in bits from the stream's start
    std::optional<ParseStop> stop;
    std::vector<Slot> instances;
    std::vector<bool> busy;
    bool reading = false;  // inside parse_through: a later field cannot be asked for

    // Reads the seq through field k (all with SIZE_MAX); throws ParseStop.
    void parse_through(size_t k);
    // The instance k, worked out on first use; a failure is kept on its slot.
    Slot& instance(size_t k);
    uint64_t end_pos() const { return (bitpos + 7) / 8; }
    std::string child_path(const std::string& id) const { return path.empty() ? id : path + "." + id; }
};

// A repeated field. Elements of one size are addressed; others are walked
// once, keeping the position of every checkpoint_every'th element.
struct ArrayObj {
    static constexpr uint64_t checkpoint_every = 64;
    StructureEngine* engine = nullptr;
    const Attr* attr = nullptr;
    StructObj* owner = nullptr;
    StreamPtr io;
    uint64_t start = 0;  // in bits
    std::string path;
    std::optional<uint64_t> count;
    std::optional<uint64_t> elem_size;
    std::vector<uint64_t> checkpoints;  // bit position of element j * checkpoint_every
    uint64_t walked = 0, walk_pos = 0;  // elements walked so far and the position after them
    bool complete = false;
    std::optional<ParseStop> stop;      // the element `walked` failed
    std::optional<uint64_t> literal_count;
    std::vector<Value> literal;         // an array made by an expression

    // Element i; throws ParseStop if it or one before it cannot be read.
    Slot element(uint64_t i);
    // Walks to the end (or the failure); gives the count.
    uint64_t size();
    uint64_t end_pos();  // in bits

private:
    void read_at(uint64_t i, uint64_t& bitpos, Slot& s);
    void walk(uint64_t through);
    Slot cached_;
    uint64_t cached_index_ = UINT64_MAX;

public:
    uint64_t cursor_index_ = 0, cursor_pos_ = 0;  // the position after element cursor_index_ - 1
    std::optional<Slot> failed;  // the element that stopped the walk, as far as it was read
};

// Reads a file by a description. Not thread-safe: one engine per thread.
class StructureEngine {
public:
    StructureEngine(std::shared_ptr<const Description> desc, std::shared_ptr<ByteSource> file,
                    StructureLimits limits = {});
    ~StructureEngine();

    StructObj& root() { return *root_; }
    // A walk of variable-size elements checks `cancel` and calls `progress`
    // every so many elements (for a worker: Esc, and the status line).
    void set_walk_hooks(const std::atomic<bool>* cancel, std::function<void(const ArrayObj&)> progress) {
        cancel_ = cancel;
        progress_ = std::move(progress);
    }
    const std::atomic<bool>* cancel_flag() const { return cancel_; }
    void report_progress(const ArrayObj& arr) const {
        if (progress_) progress_(arr);
    }
    const StructureLimits& limits() const { return limits_; }
    const Description& description() const { return *desc_; }
    ByteSource& file() { return *file_; }

    // What evaluating needs besides the expression.
    struct Ctx {
        StructObj* obj = nullptr;
        const Value* underscore = nullptr;
        std::optional<uint64_t> index;
        std::optional<uint64_t> bitpos;  // while reading obj: _io.pos
    };
    Value eval(const SourceExpr& e, const Ctx& ctx);
    Int128 eval_int(const SourceExpr& e, const Ctx& ctx);
    bool eval_bool(const SourceExpr& e, const Ctx& ctx);
    // Bytes of a byte array (or a string's text), at most max_expr_bytes.
    std::string materialize(const Value& v, const SourceMark& at);

    // Reads one attribute (not its repeat) at bitpos in io into s, and
    // advances bitpos; throws ParseStop with s holding what was read.
    void read_one(StructObj& obj, const Attr& a, const StreamPtr& io, uint64_t& bitpos,
                  std::optional<uint64_t> index, const std::string& path, Slot& s, bool in_size = false);
    // Reads an attribute with its `if` and repeat.
    void read_attr(StructObj& obj, const Attr& a, const StreamPtr& io, uint64_t& bitpos, const std::string& path,
                   Slot& s);

    std::shared_ptr<StructObj> make_struct(const TypeDef* t, const StreamPtr& io, uint64_t start, StructObj* parent,
                                           std::vector<Value> params, const std::string& path);
    // Bytes of a type whose every field has a fixed size, else nothing.
    std::optional<uint64_t> fixed_size(const TypeDef* t);
    std::optional<uint64_t> fixed_size(const Attr& a, bool with_repeat);
    bool big_endian_of(const StructObj& obj, const TypeRef& r, const SourceMark& at);

    [[noreturn]] static void stop_at(const StreamPtr& io, uint64_t offset, std::string message);

private:
    Value eval_node(const Expr& e, const Ctx& ctx, const SourceMark& at);
    Value member(const Value& v, const std::string& name, const Ctx& ctx, const SourceMark& at);
    Value call(const Value& v, const Expr& e, const Ctx& ctx, const SourceMark& at);
    Value name(const std::string& n, const Ctx& ctx, const SourceMark& at);
    Value field_of(StructObj& obj, const std::string& n, const SourceMark& at, bool* found);
    Value binary(const std::string& op, const Value& a, const Value& b, const SourceMark& at);
    void read_user(StructObj& obj, const TypeRef& t, const StreamPtr& io, uint64_t& bitpos,
                   std::optional<uint64_t> index, const std::string& path, bool sized, Slot& s);
    void check_valid(StructObj& obj, const Attr& a, const Slot& s, std::optional<uint64_t> index);

    std::shared_ptr<const Description> desc_;
    std::shared_ptr<ByteSource> file_;
    StructureLimits limits_;
    std::shared_ptr<StructObj> root_;
    std::map<const TypeDef*, std::optional<uint64_t>> fixed_;
    std::map<const TypeDef*, bool> fixed_busy_;
    const std::atomic<bool>* cancel_ = nullptr;
    std::function<void(const ArrayObj&)> progress_;
};

// Text of bytes in an encoding, as UTF-8; a sequence that is not valid
// becomes U+FFFD. An encoding iconv does not know throws ParseStop.
std::string decode_text(const std::string& bytes, const std::string& encoding);
// zlib's inflate of `in`, at most `limit` bytes out; throws std::runtime_error.
bool known_encoding(const std::string& encoding);
std::vector<uint8_t> inflate_bytes(const std::string& in, uint64_t limit);
std::string hex_bytes(const std::string& bytes, const char* separator);
