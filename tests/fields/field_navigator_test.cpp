#include "structure/field_navigator.h"

#include "structure/description_loader.h"
#include "structure/interpreter.h"

#include <gtest/gtest.h>

namespace {

// A header, then chunks of variable size (a length, a type, a body), then
// a table of fixed-size entries found by an instance far on.
const char* const chunked = R"(meta:
  id: chunked
  endian: be
seq:
  - id: magic
    contents: [0x43, 0x48]
  - id: count
    type: u1
  - id: chunks
    type: chunk
    repeat: expr
    repeat-expr: count
instances:
  table:
    pos: 0x40
    type: entry
    repeat: expr
    repeat-expr: 4
types:
  chunk:
    seq:
      - id: len
        type: u1
      - id: kind
        type: u1
        enum: kinds
      - id: body
        size: len
  entry:
    seq:
      - id: a
        type: u2
      - id: b
        type: u2
enums:
  kinds:
    1: head
    2: data
)";

struct Navigated {
    std::shared_ptr<const Description> description;
    std::unique_ptr<StructureEngine> engine;
    std::unique_ptr<FieldNavigator> navigator;
};

Navigated navigate(const std::string& yaml, std::vector<uint8_t> bytes) {
    Navigated n;
    n.description = load_description(yaml, "test.ksy");
    n.engine = std::make_unique<StructureEngine>(n.description, std::make_shared<ByteSource>(std::move(bytes)));
    n.navigator = std::make_unique<FieldNavigator>(*n.engine);
    return n;
}

// magic, count 3, chunks at 3 (len 2), 7 (len 0), 9 (len 4); table at 0x40.
std::vector<uint8_t> chunked_bytes() {
    std::vector<uint8_t> b{'C', 'H', 3, 2, 1, 0xaa, 0xbb, 0, 2, 4, 2, 1, 2, 3, 4};
    b.resize(0x50, 0);
    for (int i = 0; i < 16; ++i) b[0x40 + i] = uint8_t(i);
    return b;
}

}  // namespace

TEST(FieldNavigator, FindsTheLeafAtAnOffsetAndStepsThroughLeavesInFileOrder) {
    Navigated n = navigate(chunked, chunked_bytes());
    FieldNavigator& nav = *n.navigator;
    ASSERT_TRUE(nav.leaf_at(1));
    EXPECT_EQ(nav.leaf_at(1)->path, "magic");
    EXPECT_EQ(nav.leaf_at(1)->value, "43 48");
    ASSERT_TRUE(nav.leaf_at(4));
    EXPECT_EQ(nav.leaf_at(4)->path, "chunks[0].kind");
    EXPECT_EQ(nav.leaf_at(4)->value, "1 head");
    EXPECT_EQ(nav.leaf_at(12)->path, "chunks[2].body");
    EXPECT_EQ(nav.leaf_at(0x46)->path, "table[1].b");
    EXPECT_EQ(nav.leaf_at(0x46)->value, "1543");  // 0x0607
    EXPECT_FALSE(nav.leaf_at(0x30));              // between the chunks and the table

    // Forward: the empty body of chunks[1] is passed over; backward returns.
    std::vector<std::string> forward;
    uint64_t at = 0;
    while (const std::optional<FieldSpan> next = nav.step(at, false)) {
        forward.push_back(next->path);
        at = next->offset;
    }
    const std::vector<std::string> expected{"count", "chunks[0].len", "chunks[0].kind", "chunks[0].body",
                                            "chunks[1].len", "chunks[1].kind", "chunks[2].len", "chunks[2].kind",
                                            "chunks[2].body", "table[0].a", "table[0].b", "table[1].a",
                                            "table[1].b", "table[2].a", "table[2].b", "table[3].a", "table[3].b"};
    EXPECT_EQ(forward, expected);
    EXPECT_EQ(nav.step(0x40, true)->path, "chunks[2].body");
    EXPECT_EQ(nav.step(0x30, false)->path, "table[0].a");
    EXPECT_FALSE(nav.step(0, true));
}

TEST(FieldNavigator, LeavesInARangeAndTheTreeAroundTheFocus) {
    Navigated n = navigate(chunked, chunked_bytes());
    FieldNavigator& nav = *n.navigator;
    const std::vector<FieldSpan> leaves = nav.leaves_in(4, 10, 100);
    std::vector<std::string> paths;
    for (const FieldSpan& leaf : leaves) paths.push_back(leaf.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"chunks[0].kind", "chunks[0].body", "chunks[1].len",
                                               "chunks[1].kind", "chunks[2].len"}));

    const std::vector<TreeLine> tree = nav.tree(10, 100);
    std::vector<std::string> names;
    std::string focused;
    for (const TreeLine& line : tree) {
        names.push_back(std::string(size_t(line.depth), ' ') + line.name);
        if (line.focused) focused = line.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"magic", "count", "chunks", " chunks[0]", " chunks[1]", " chunks[2]",
                                               "  len", "  kind", "  body", "table"}));
    EXPECT_EQ(focused, "kind");
    EXPECT_EQ(nav.tree(10, 3).size(), 3u);
}

TEST(FieldNavigator, ResolvesPathsAndSaysWhatExists) {
    Navigated n = navigate(chunked, chunked_bytes());
    FieldNavigator& nav = *n.navigator;
    const FieldSpan body = nav.resolve("chunks[2].body");
    EXPECT_EQ(body.offset, 11u);
    EXPECT_EQ(body.size, 4u);
    EXPECT_EQ(nav.resolve("table[3]").offset, 0x4cu);
    const auto refusal = [&](const std::string& path) {
        try {
            nav.resolve(path);
        } catch (const FieldPathError& e) {
            return std::string(e.what());
        }
        return std::string("resolved");
    };
    EXPECT_EQ(refusal("chunks[9]"), "no field chunks[9]: chunks has 3");
    EXPECT_EQ(refusal("chunk"), "no field chunk: the file has magic, count, chunks, table");
    EXPECT_EQ(refusal("chunks[1].size"), "no field chunks[1].size: chunks[1] has len, kind, body");
    EXPECT_EQ(refusal("magic[0]"), "no field magic[0]: magic is not a list");
}

TEST(FieldNavigator, AnswersFromTheFieldsReadBeforeAFailure) {
    // The third chunk's body runs past the end: what was read stays usable.
    std::vector<uint8_t> bytes{'C', 'H', 3, 2, 1, 0xaa, 0xbb, 0, 2, 200, 2, 1};
    Navigated n = navigate(chunked, bytes);
    FieldNavigator& nav = *n.navigator;
    EXPECT_EQ(nav.leaf_at(5)->path, "chunks[0].body");
    EXPECT_EQ(nav.resolve("chunks[1].kind").offset, 8u);
    ASSERT_TRUE(nav.step(8, false));
    EXPECT_EQ(nav.step(8, false)->path, "chunks[2].len");  // in the element that failed
    ASSERT_TRUE(nav.leaf_at(10));
    EXPECT_EQ(nav.leaf_at(10)->path, "chunks[2].kind");
}
