#include "find/goto_target.h"

#include <gtest/gtest.h>

namespace {

TEST(GotoTarget, EveryFormAndEveryError) {
    const uint64_t size = 0x100000;  // 1 MiB
    const uint64_t shown = 0x8000;
    const std::pair<const char*, uint64_t> valid[] = {
        {"1f00", 0x1f00}, {"0x1F00", 0x1f00}, {" 1f00 ", 0x1f00}, {"#7936", 7936}, {"+100", 0x8100},
        {"-100", 0x7f00}, {"50%", 0x80000}, {"12.5%", 0x20000}, {"100%", size - 1}, {"$-100", size - 0x100},
        {"$-#256", size - 256}, {"4K", 0x1000}, {"1M", 0}, {"0", 0}, {"#1k", 1024},
    };
    for (const auto& [text, expected] : valid) {
        if (std::string(text) == "1M") continue;  // 1 MiB is the size: past the end, below
        const GotoTarget target = parse_goto(text, size, shown);
        EXPECT_TRUE(target.valid) << text << ": " << target.error;
        EXPECT_EQ(target.offset, expected) << text;
    }
    const std::pair<const char*, const char*> invalid[] = {
        {"1M", "past the end"}, {"$", "past the end"}, {"-9000", "before the start"}, {"xyz", "hexadecimal"},
        {"1g0", "unexpected"}, {"10000000000000000", "too large"}, {"#99999999999999999999", "too large"},
        {"1000000T", "too large"}, {"101%", "share"}, {"0x", "hexadecimal"}, {"#", "digits"}, {"$*4", "+ or -"},
    };
    for (const auto& [text, why] : invalid) {
        const GotoTarget target = parse_goto(text, size, shown);
        EXPECT_FALSE(target.valid) << text;
        EXPECT_NE(target.error.find(why), std::string::npos) << text << ": " << target.error;
    }
    EXPECT_FALSE(parse_goto("", size, shown).valid);
    EXPECT_EQ(parse_goto("", size, shown).error, "");
    EXPECT_TRUE(parse_goto("0", 0, 0).valid) << "the start of an empty file";
    const uint64_t past_40_bits = (uint64_t{1} << 44);
    EXPECT_EQ(parse_goto("ffffffffff0", past_40_bits, 0).offset, 0xffffffffff0u);
}

}  // namespace
