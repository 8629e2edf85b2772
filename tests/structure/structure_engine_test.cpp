// The structure engine's own rules, below what the table against the
// reference reaches: expressions, refused descriptions with their place,
// limits, and how little a lazy read touches.
#include "structure/description_loader.h"
#include "structure/field_tree.h"
#include "structure/fields_output.h"
#include "structure/format_lookup.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

std::shared_ptr<const Description> load(const std::string& yaml) { return load_description(yaml, "t.ksy"); }

std::shared_ptr<ByteSource> bytes(std::vector<uint8_t> b) { return std::make_shared<ByteSource>(std::move(b)); }

// The JSON value a value instance gives, as --fields prints it.
std::string value_of(const std::string& expr, const std::vector<uint8_t>& data = {1, 2, 3, 4, 0x41, 0x42, 0, 0}) {
    const std::string yaml = "meta: {id: t, endian: le}\n"
                             "seq:\n"
                             "  - {id: a, type: u1, repeat: expr, repeat-expr: 4}\n"
                             "  - {id: b, size: 2}\n"
                             "  - {id: h, type: hdr}\n"
                             "types:\n"
                             "  hdr:\n"
                             "    seq: [{id: x, type: u2, enum: color}]\n"
                             "enums:\n"
                             "  color: {0: black, 2: red}\n"
                             "instances:\n"
                             "  v:\n"
                             "    value: \"" + expr + "\"\n";
    StructureEngine engine(load(yaml), bytes(data));
    const Slot& s = engine.root().instance(0);
    if (s.state == Slot::State::Failed) return "error: " + s.error;
    const std::string line = field_json("v", s);
    const size_t at = line.find("\"value\": ");
    return at == std::string::npos ? line : line.substr(at + 9, line.size() - at - 10);
}

TEST(StructureExpressions, EvaluateAsTheLanguageDoes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"7 / 2", "3"},
        {"-7 / 2", "-4"},  // floor division
        {"-7 % 3", "2"},   // a remainder takes the divisor's sign
        {"1 << 4 | 1", "17"},
        {"0xff & ~0x0f ^ 1", "241"},
        {"2 + 3 * 4 - 1", "13"},
        {"3 > 2 and not false", "true"},
        {"1 == 2 or 2 != 2", "false"},
        {"true ? 10 : 20", "10"},
        {"1 < 2 ? 1 + 1 : 0", "2"},
        {"1.5 * 2", "3"},
        {"'abc'.length", "3"},
        {"'abc'.reverse", "\"cba\""},
        {"'12'.to_i + 1", "13"},
        {"'ff'.to_i(16)", "255"},
        {"'hello'.substring(1, 3)", "\"el\""},
        {"'a' + 'b' == 'ab'", "true"},
        {"42.to_s", "\"42\""},
        {"a.size", "4"},
        {"a[2]", "3"},
        {"a.first + a.last", "5"},
        {"a.max", "4"},
        {"b.size", "2"},
        {"b.to_s('ASCII')", "\"AB\""},
        {"b == [0x41, 0x42]", "true"},
        {"b[1]", "66"},
        {"_io.size", "8"},
        {"h.x.to_i", "0"},
        {"h.x == color::black", "true"},
        {"color::red", "2, \"enum\": \"red\""},
        {"h._sizeof + sizeof<hdr>", "4"},
        {"(a[0] + 1).as<u4>", "2"},
        {"0x7fffffffffffffff + 1", "\"9223372036854775808\""},
        {"9007199254740992", "9007199254740992"},
        {"9007199254740993", "\"9007199254740993\""},
        {"1_000", "1000"},
        {"0b101 + 0o17", "20"},
    };
    for (const auto& [expr, want] : cases) EXPECT_EQ(value_of(expr), want) << expr;
}

TEST(StructureExpressions, RefusedWithWhy) {
    EXPECT_NE(value_of("1 / 0").find("division by zero"), std::string::npos);
    EXPECT_NE(value_of("a[4]").find("index 4 past the 4 elements"), std::string::npos);
    EXPECT_NE(value_of("nosuch + 1").find("unknown name 'nosuch'"), std::string::npos);
    EXPECT_NE(value_of("'x'.length + true").find("does not apply"), std::string::npos);
    EXPECT_NE(value_of("1 << 99").find("shift by 99"), std::string::npos);
}

TEST(StructureDescriptions, RefusedWithFileLineAndColumn) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"meta: {id: t}\nseq:\n  - id: c\n    type: chunkk\n", "t.ksy:4:11: unknown type 'chunkk'"},
        {"meta: {id: t}\nseq:\n  - id: c\n    sise: 4\n", "t.ksy:4:5: unknown key 'sise'"},
        {"meta: {id: t}\nseq:\n  - id: c\n    size: 2 +* 3\n", "t.ksy:4:14: unexpected '*' in '2 +* 3'"},
        {"meta: {id: t}\nseq:\n  - id: c\n    type: u1\n    enum: nope\n", "t.ksy:3:5: unknown enum 'nope'"},
        {"meta: {id: t}\nseq:\n  - id: c\n    type: u1\n    repeat: expr\n",
         "t.ksy:5:13: repeat: expr needs repeat-expr"},
        {"meta: {id: t}\nseq:\n  - id: c\n    type: str\n", "t.ksy:3:5: a str needs a size, size-eos or a terminator"},
        {"meta: {id: t}\nseq:\n  - id: c\n    type: x(1)\ntypes:\n  x: {seq: []}\n",
         "t.ksy:4:11: type 'x' takes 0 arguments, not 1"},
        {"meta: {id: t}\nseq: [\n", "t.ksy:3:1: end of sequence flow not found"},
        {"seq: []\n", "t.ksy:1:1: meta/id missing"},
        {"meta: {id: t}\nseq:\n  - id: c\n    size: 2\n    type: str\n    encoding: KLINGON\n",
         "t.ksy:6:15: unknown encoding 'KLINGON'"},
    };
    for (const auto& [yaml, want] : cases) {
        try {
            load(yaml);
            ADD_FAILURE() << "accepted: " << yaml;
        } catch (const DescriptionError& e) {
            EXPECT_EQ(std::string(e.what()), want) << yaml;
        }
    }
}

std::string fields(const std::string& yaml, std::vector<uint8_t> data, FieldsOutcome* outcome = nullptr,
                   StructureLimits limits = {}) {
    StructureEngine engine(load(yaml), bytes(std::move(data)), limits);
    std::ostringstream out;
    const FieldsOutcome o = write_fields(engine, out);
    if (outcome) *outcome = o;
    return out.str();
}

TEST(StructureReading, BitsInBothOrdersAndTextInEncodings) {
    const std::string yaml = "meta: {id: t, bit-endian: be}\n"
                             "seq:\n"
                             "  - {id: hi, type: b3}\n"
                             "  - {id: flag, type: b1}\n"
                             "  - {id: lo, type: b4le}\n"
                             "  - {id: s, type: str, size: 4, encoding: UTF-16LE}\n"
                             "  - {id: w, type: str, size: 1, encoding: windows-1252}\n"
                             "  - {id: z, type: strz, encoding: ISO-8859-1}\n"
                             "  - {id: p, size: 3, pad-right: 0x20}\n";
    const std::string out = fields(yaml, {0xb5, 'h', 0, 'i', 0, 0x80, 0xe9, 0, 'a', ' ', ' '});
    EXPECT_NE(out.find("{\"path\": \"hi\", \"offset\": 0, \"size\": 1, \"bits\": [0, 3], \"value\": 5}"),
              std::string::npos) << out;
    EXPECT_NE(out.find("\"path\": \"flag\", \"offset\": 0, \"size\": 1, \"bits\": [3, 1], \"value\": true"),
              std::string::npos) << out;
    // le bits count from the least significant bit of what is left of the byte.
    EXPECT_NE(out.find("\"bits\": [4, 4], \"value\": 11"), std::string::npos) << out;
    EXPECT_NE(out.find("\"path\": \"s\", \"offset\": 1, \"size\": 4, \"value\": \"hi\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"value\": \"\xe2\x82\xac\""), std::string::npos) << out;   // the euro sign
    EXPECT_NE(out.find("\"path\": \"z\", \"offset\": 6, \"size\": 2, \"value\": \"\xc3\xa9\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"path\": \"p\", \"offset\": 8, \"size\": 3, \"value\": \"61\", \"length\": 1"),
              std::string::npos) << out;
}

TEST(StructureReading, AFileThatDoesNotMatchKeepsWhatWasReadAndSaysWhere) {
    const std::string yaml = "meta: {id: t, endian: be}\n"
                             "seq:\n"
                             "  - {id: n, type: u2}\n"
                             "  - {id: magic, contents: [0x89, 0x50, 0x4e, 0x47]}\n"
                             "  - {id: after, type: u1}\n";
    FieldsOutcome o;
    const std::string out = fields(yaml, std::vector<uint8_t>(0x31, 0), &o);
    EXPECT_FALSE(o.complete);
    EXPECT_EQ(o.message, "stopped at 2: contents 89 50 4e 47 expected, 00 00 00 00 found");
    EXPECT_NE(out.find("\"path\": \"n\""), std::string::npos);
    EXPECT_NE(out.find("{\"path\": \"magic\", \"offset\": 2, \"error\": \"contents"), std::string::npos) << out;
    EXPECT_EQ(out.find("after"), std::string::npos);

    const std::string sized = "meta: {id: t, endian: le}\n"
                              "seq:\n"
                              "  - {id: chunks, type: c, repeat: eos}\n"
                              "types:\n"
                              "  c:\n"
                              "    seq: [{id: len, type: u4}, {id: body, size: len}]\n";
    fields(sized, {1, 0, 0, 0, 7, 0xff, 0xff, 0xff, 0xff, 0}, &o);
    EXPECT_EQ(o.message, "stopped at 9: size 4294967295 past the end at chunks[1].body");
}

TEST(StructureReading, LoopsAndRecursionEndWithAReason) {
    FieldsOutcome o;
    const std::string deep = "meta: {id: t}\n"
                             "seq: [{id: n, type: node}]\n"
                             "types:\n"
                             "  node:\n"
                             "    seq: [{id: b, type: u1}, {id: next, type: node}]\n";
    fields(deep, std::vector<uint8_t>(1000, 1), &o);
    EXPECT_NE(o.message.find("depth limit 64 reached at n.next.next"), std::string::npos) << o.message;

    const std::string many = "meta: {id: t}\n"
                             "seq: [{id: e, type: u1, repeat: until, repeat-until: _ == 9}]\n";
    StructureLimits limits;
    limits.max_elements = 100;
    fields(many, std::vector<uint8_t>(1000, 1), &o, limits);
    EXPECT_NE(o.message.find("more than 100 elements at e (--max-elements raises the limit)"), std::string::npos)
        << o.message;

    const std::string self = "meta: {id: t}\n"
                             "instances:\n"
                             "  a: {value: b + 1}\n"
                             "  b: {value: a + 1}\n";
    fields(self, {0}, &o);
    EXPECT_FALSE(o.complete);
    EXPECT_NE(o.message.find("depends on itself"), std::string::npos) << o.message;

    // zlib output is capped: a bomb stops with the limit, not with the memory.
    std::vector<uint8_t> bomb = {0x78, 0x9c};
    std::vector<uint8_t> zeros(1 << 20, 0);
    uLongf n = compressBound(zeros.size());
    std::vector<uint8_t> packed(n);
    ASSERT_EQ(compress(packed.data(), &n, zeros.data(), zeros.size()), Z_OK);
    packed.resize(n);
    const std::string z = "meta: {id: t}\nseq: [{id: d, size-eos: true, process: zlib}]\n";
    limits = {};
    limits.max_decoded = 4096;
    fields(z, packed, &o, limits);
    EXPECT_NE(o.message.find("zlib output past the limit of 4096 bytes"), std::string::npos) << o.message;
    limits.max_decoded = 2 << 20;
    EXPECT_NE(fields(z, packed, &o, limits).find("\"length\": 1048576"), std::string::npos);
}

// A 100 GB sparse file: the fields at its end are found by address, not by reading the way there.
TEST(StructureLaziness, AHundredGigabyteFileIsAddressedNotRead) {
    const uint64_t size = uint64_t{100} << 30;
    TempFile file(size, 0, {0x10, 0, 0, 0});
    file.write_at(size - 16, {'E', 'N', 'D', '!'});
    const std::string yaml = "meta: {id: t, endian: le}\n"
                             "seq:\n"
                             "  - {id: n, type: u4}\n"
                             "  - {id: records, type: rec, repeat: expr, repeat-expr: (_io.size - 4) / 12}\n"
                             "types:\n"
                             "  rec:\n"
                             "    seq: [{id: a, type: u4}, {id: b, size: 8}]\n"
                             "instances:\n"
                             "  tail: {pos: _io.size - 16, size: 4, type: str, encoding: ASCII}\n";
    auto source = std::make_shared<ByteSource>(file.path());
    StructureEngine engine(load(yaml), source);
    FieldTree tree(engine);
    const auto path = tree.path_at(size - 24);
    ASSERT_EQ(path.size(), 3u);
    EXPECT_EQ(path[1].path, "records[" + std::to_string((size - 28) / 12) + "]");
    EXPECT_EQ(path[2].path, path[1].path + ".a");
    std::string error;
    const auto tail = tree.resolve("tail", error);
    ASSERT_TRUE(tail) << error;
    EXPECT_EQ(tail->slot.value.s, "END!");
    EXPECT_LE(source->reads(), 4u);
}

// Elements of variable size are walked once, keeping a checkpoint every 64, not a node each.
TEST(StructureLaziness, AVariableRepeatKeepsCheckpointsNotElements) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 100000; i++) {
        const uint8_t n = static_cast<uint8_t>(i % 5);
        data.push_back(n);
        data.insert(data.end(), n, 0xee);
    }
    const std::string yaml = "meta: {id: t}\n"
                             "seq: [{id: p, type: pkt, repeat: eos}]\n"
                             "types:\n"
                             "  pkt:\n"
                             "    seq: [{id: n, type: u1}, {id: body, size: n}]\n";
    StructureEngine engine(load(yaml), bytes(data));
    FieldTree tree(engine);
    std::string error;
    auto p = tree.resolve("p", error);
    ASSERT_TRUE(p) << error;
    ArrayObj& arr = *p->slot.value.arr;
    EXPECT_EQ(arr.size(), 100000u);
    EXPECT_EQ(arr.checkpoints.size(), (100000u + 63) / 64);
    const auto e = tree.resolve("p[99999].n", error);
    ASSERT_TRUE(e) << error;
    EXPECT_EQ(e->slot.value.i, 4);
    EXPECT_EQ(e->slot.offset, data.size() - 5);
    EXPECT_FALSE(tree.resolve("p[100000]", error));
    EXPECT_EQ(error, "no field p[100000]: p has 100000");
    EXPECT_FALSE(tree.resolve("p[3].nope", error));
    EXPECT_EQ(error, "no field p[3].nope: p[3] has n, body");
}

TEST(StructureTree, FieldsByOffsetAndTheLeavesAroundThem) {
    const std::string yaml = "meta: {id: t, endian: be}\n"
                             "seq:\n"
                             "  - {id: magic, contents: 'AB'}\n"
                             "  - {id: items, type: item, repeat: expr, repeat-expr: 3}\n"
                             "  - {id: tail, type: u1}\n"
                             "types:\n"
                             "  item:\n"
                             "    seq: [{id: len, type: u1}, {id: data, size: len}]\n";
    // AB | 1 x | 0 | 2 y y | 9
    StructureEngine engine(load(yaml), bytes({'A', 'B', 1, 'x', 0, 2, 'y', 'y', 9}));
    FieldTree tree(engine);
    const auto at = tree.path_at(6);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_EQ(at[0].path, "items");
    EXPECT_EQ(at[1].path, "items[2]");
    EXPECT_EQ(at[2].path, "items[2].data");
    EXPECT_EQ(tree.next_leaf(3)->path, "items[1].len");     // the empty data of items[1] holds no byte after
    EXPECT_EQ(tree.next_leaf(6)->path, "tail");
    EXPECT_FALSE(tree.next_leaf(8));
    EXPECT_EQ(tree.previous_leaf(5)->path, "items[1].len");  // items[1].data starts at 5 itself
    EXPECT_EQ(tree.previous_leaf(8)->path, "items[2].data");
    EXPECT_EQ(tree.previous_leaf(2)->path, "magic");
    EXPECT_FALSE(tree.previous_leaf(0));
}

}  // namespace

namespace {

void write_text(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

}  // namespace

TEST(StructureFormats, FoundByIdPathMimeTypeAndExtension) {
    char first[] = "/tmp/quirn-formats-XXXXXX";
    char second[] = "/tmp/quirn-formats-XXXXXX";
    ASSERT_TRUE(mkdtemp(first) && mkdtemp(second));
    const std::string a = first, b = second;
    ASSERT_EQ(::mkdir((a + "/image").c_str(), 0700), 0);
    write_text(a + "/image/png.ksy", "meta: {id: png, file-extension: png, xref: {mime: image/png}}\n");
    write_text(b + "/pic.ksy", "meta: {id: pic, file-extension: [pic, PNG], xref: {mime: [image/x-pic]}}\n");
    write_text(b + "/broken.ksy", "meta: [\n");
    const std::vector<std::string> folders = {a, b};
    std::string error;
    EXPECT_EQ(find_format("image/png", folders, error), a + "/image/png.ksy");
    EXPECT_EQ(find_format("pic", folders, error), b + "/pic.ksy");  // by meta/id
    EXPECT_EQ(find_format("gif", folders, error), "");
    EXPECT_EQ(error, "no description named gif");
    EXPECT_EQ(choose_format("image/x-pic", "x.png", folders), b + "/pic.ksy");  // the MIME type first
    EXPECT_EQ(choose_format("", "X.PNG", folders), a + "/image/png.ksy");      // then the first extension
    EXPECT_EQ(choose_format("text/plain", "x.txt", folders), "");
    ::setenv("QUIRN_FORMATS", (a + ":" + b).c_str(), 1);
    ::setenv("XDG_DATA_HOME", "/nonexistent-home", 1);
    ::setenv("XDG_DATA_DIRS", "/x:/y", 1);
    EXPECT_EQ(format_folders(), (std::vector<std::string>{a, b, "/nonexistent-home/quirn/formats",
                                                           "/x/quirn/formats", "/y/quirn/formats"}));
    ::unsetenv("QUIRN_FORMATS");
    std::filesystem::remove_all(a);
    std::filesystem::remove_all(b);
}
