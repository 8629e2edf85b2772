#include "find/find_state.h"
#include "base/goto_target.h"

#include <gtest/gtest.h>

namespace {

TEST(GotoTarget, EveryFormAndEveryError) {
    const uint64_t size = 0x100000;  // 1 MiB
    const uint64_t shown = 0x8000;
    const std::pair<const char*, uint64_t> valid[] = {
        {"1f00", 0x1f00}, {"0x1F00", 0x1f00}, {" 1f00 ", 0x1f00}, {"#7936", 7936}, {"+100", 0x8100},
        {"-100", 0x7f00}, {"50%", 0x80000}, {"12.5%", 0x20000}, {"100%", size - 1}, {"$-100", size - 0x100},
        {"$-#256", size - 256}, {"4K", 0x1000}, {"1M", 0}, {"0", 0}, {"#1k", 1024}, {"$", size - 1}, {" $ ", size - 1},
    };
    for (const auto& [text, expected] : valid) {
        if (std::string(text) == "1M") continue;  // 1 MiB is the size: past the end, below
        const GotoTarget target = parse_goto(text, size, shown);
        EXPECT_TRUE(target.valid) << text << ": " << target.error;
        EXPECT_EQ(target.offset, expected) << text;
    }
    const std::pair<const char*, const char*> invalid[] = {
        {"1M", "past the end"}, {"$+1", "past the end"}, {"-9000", "before the start"}, {"xyz", "hexadecimal"},
        {"1g0", "unexpected"}, {"10000000000000000", "too large"}, {"#99999999999999999999", "too large"},
        {"1000000T", "too large"}, {"101%", "share"}, {"0x", "hexadecimal"}, {"#", "digits"}, {"$*4", "+ or -"},
        {"nan%", "share"}, {"0x32%", "share"}, {"1e2%", "share"}, {"100.5%", "share"}, {"1.2.3%", "share"},
        {".%", "share"}, {"-0%", "share"}, {"inf%", "share"},
    };
    for (const auto& [text, why] : invalid) {
        const GotoTarget target = parse_goto(text, size, shown);
        EXPECT_FALSE(target.valid) << text;
        EXPECT_NE(target.error.find(why), std::string::npos) << text << ": " << target.error;
    }
    EXPECT_FALSE(parse_goto("", size, shown).valid);
    EXPECT_EQ(parse_goto("", size, shown).error, "");
    EXPECT_TRUE(parse_goto("0", 0, 0).valid) << "the start of an empty file";
    EXPECT_TRUE(parse_goto("$", 0, 0).valid && parse_goto("$", 0, 0).offset == 0) << "and its end";
    EXPECT_FALSE(parse_goto("nan%", 0, 0).valid);
    EXPECT_EQ(parse_goto(" 100.000 % ", 0, 0).offset, 0u);
    EXPECT_EQ(parse_goto("0.5%", 1000, 0).offset, 5u);
    const uint64_t past_40_bits = (uint64_t{1} << 44);
    EXPECT_EQ(parse_goto("ffffffffff0", past_40_bits, 0).offset, 0xffffffffff0u);
}

size_t glyphs(const std::string& text) {
    size_t count = 0;
    for (char c : text) count += (uint8_t(c) & 0xC0) != 0x80;
    return count;
}

// Whatever is typed, the prompt line fits the label line's 60 glyphs and
// keeps the input's last character in sight, in every prompt and mode.
TEST(PromptLine, FitsItsWidthWhateverIsTyped) {
    FindState find;
    const auto check = [&](const std::string& input) {
        find.input = input;
        std::string line;
        EXPECT_NO_THROW(line = find.line(0x100000, 0)) << input;
        EXPECT_LE(glyphs(line), 60u) << input;
        size_t last = input.size() - 1;
        while ((uint8_t(input[last]) & 0xC0) == 0x80) --last;
        EXPECT_NE(line.find(input.substr(last) + (find.text_mode ? "\"_" : "_")), std::string::npos) << line;
    };
    find.prompt = FindState::Prompt::Goto;
    std::string zh;
    for (int i = 0; i < 9; ++i) zh += "\xd0\xb6";
    check("1" + std::string(18, 'z') + zh);  // once past the end of the input
    check("1" + std::string(34, 'z') + "\xc3\xa9");
    find.prompt = FindState::Prompt::Search;
    find.ignore_case = true;
    for (const std::string character : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) {
        for (size_t ascii = 0; ascii < 70; ++ascii) {
            for (bool text_mode : {false, true}) {
                find.text_mode = text_mode;
                check(std::string(ascii, 'z') + character);
                check(character + std::string(ascii, 'z'));
            }
        }
    }
    find.text_mode = false;
    find.input = "   ";
    EXPECT_EQ(find.line(0, 0), "find:    _") << "spaces alone are no error yet";
    // Text typed in hexadecimal mode is named as such; a fault of hexadecimal input keeps its own words.
    find.input = "ELF";
    EXPECT_EQ(find.line(0, 0), "find: ELF_  not hexadecimal: Tab searches it as text");
    find.input = "\"PK\" 4";
    EXPECT_EQ(find.line(0, 0), "find: \"PK\" 4_  odd number of hexadecimal digits");
}

}  // namespace
