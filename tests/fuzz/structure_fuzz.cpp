// The structure reader: a random description from a small grammar over
// random bytes. The first bytes choose the grammar's productions, the rest
// is the file. Every read must end, within its limits, with the fields
// printed or a reason; what is printed is one JSON object a line.
#include "fuzz_input.h"
#include "structure/description_loader.h"
#include "structure/field_tree.h"
#include "structure/fields_output.h"

#include <sstream>

namespace {

class Grammar {
public:
    explicit Grammar(FuzzInput& in) : in_(in) {}

    std::string description() {
        std::string y = "meta:\n  id: f\n  endian: " + std::string(pick(2) ? "le" : "be") + "\n";
        y += "seq:\n" + fields("  ", 0);
        y += "types:\n";
        for (int t = 0; t < 3; t++) y += "  t" + std::to_string(t) + ":\n    seq:\n" + fields("      ", 1);
        y += "instances:\n  at:\n    pos: " + expr(0) + "\n    type: u2\n";
        y += "  calc:\n    value: " + expr(0) + "\n";
        y += "enums:\n  e:\n    1: one\n    2: two\n";
        return y;
    }

private:
    int pick(int n) { return static_cast<int>(in_.number(1) % static_cast<uint64_t>(n)); }

    std::string expr(int depth) {
        static const char* leaves[] = {"f0", "f1", "_io.size", "_io.pos", "3", "0", "-1", "255", "f0 + 1", "_index"};
        static const char* ops[] = {" + ", " - ", " * ", " / ", " % ", " << ", " >> ", " & ", " | "};
        if (depth > 2 || pick(3) == 0) return leaves[pick(10)];
        return "(" + expr(depth + 1) + ops[pick(9)] + expr(depth + 1) + ")";
    }

    std::string fields(const std::string& pad, int level) {
        std::string out;
        const int n = 1 + pick(4);
        for (int i = 0; i < n; i++) {
            out += pad + "- id: f" + std::to_string(i) + "\n";
            const std::string p = pad + "  ";
            switch (pick(level ? 8 : 10)) {
                case 0: out += p + "type: u1\n"; break;
                case 1: out += p + "type: s4\n"; break;
                case 2: out += p + "type: b3\n"; break;
                case 3: out += p + "size: " + expr(0) + "\n"; break;
                case 4: out += p + "type: strz\n" + p + "encoding: UTF-8\n"; break;
                case 5: out += p + "contents: [1, 2]\n"; break;
                case 6: out += p + "type: u2\n" + p + "enum: e\n" + p + "valid:\n" + p + "  max: 40000\n"; break;
                case 7: out += p + "type: f8\n"; break;
                case 8: out += p + "type: t" + std::to_string(pick(3)) + "\n"; break;
                default: out += p + "type: t" + std::to_string(pick(3)) + "\n" + p + "size: " + expr(0) + "\n";
            }
            switch (pick(6)) {
                case 0: out += p + "repeat: eos\n"; break;
                case 1: out += p + "repeat: expr\n" + p + "repeat-expr: " + expr(0) + "\n"; break;
                case 2: out += p + "repeat: until\n" + p + "repeat-until: _index >= " + expr(0) + "\n"; break;
                case 3: out += p + "if: " + expr(0) + " > 1\n"; break;
                default: break;
            }
        }
        return out;
    }

    FuzzInput& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input{data, size};
    const std::string yaml = Grammar(input).description();
    std::shared_ptr<const Description> desc;
    try {
        desc = load_description(yaml, "f.ksy");
    } catch (const DescriptionError&) {
        return 0;
    }
    const std::string file = input.rest();
    StructureLimits limits;
    limits.max_elements = 2000;
    limits.max_depth = 8;
    limits.max_decoded = 1 << 16;
    try {
        StructureEngine engine(desc, std::make_shared<ByteSource>(std::vector<uint8_t>(file.begin(), file.end())),
                               limits);
        std::ostringstream out;
        const FieldsOutcome o = write_fields(engine, out);
        REQUIRE(o.complete || !o.message.empty());
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);) REQUIRE(line.front() == '{' && line.back() == '}');
        FieldTree tree(engine);
        for (uint64_t at : {uint64_t{0}, uint64_t{file.size() / 2}, uint64_t{file.size()}}) {
            for (const auto& f : tree.path_at(at)) {
                uint64_t b, e;
                REQUIRE(f.in_file(b, e) && b <= at && e <= file.size());
            }
            if (auto next = tree.next_leaf(at)) {
                uint64_t b, e;
                REQUIRE(next->in_file(b, e) && b > at);
            }
        }
    } catch (const ParseStop&) {
        // A description that stops before any field (a depth limit at the root) is a reason too.
    }
    return 0;
}
