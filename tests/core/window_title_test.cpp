#include "core/window_title.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowTitle, ValidPathsStayByteForByte) {
    EXPECT_EQ(window_title("file.bin"), "file.bin - quirn");
    EXPECT_EQ(window_title("./dir/../file"), "./dir/../file - quirn");
    EXPECT_EQ(window_title("caf\xc3\xa9 \xf0\x9f\x98\x80"), "caf\xc3\xa9 \xf0\x9f\x98\x80 - quirn");
    EXPECT_EQ(window_title(""), " - quirn");
}

TEST(WindowTitle, BytesOutsideUtf8BecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(window_title("caf\xe9"), "caf" + replacement + " - quirn");  // Latin-1
    EXPECT_EQ(window_title("\xff\xfe"), replacement + replacement + " - quirn");
    EXPECT_EQ(window_title("a\xc3"), "a" + replacement + " - quirn");  // cut short
    EXPECT_EQ(window_title("\xc0\xaf"), replacement + replacement + " - quirn");  // overlong '/'
    EXPECT_EQ(window_title("\xed\xa0\x80"), replacement + replacement + replacement + " - quirn");  // surrogate
    EXPECT_EQ(window_title("\xf4\x90"), replacement + replacement + " - quirn");  // past U+10FFFF
}

TEST(WindowTitle, ControlCharactersBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(window_title("a\nb\tc\x1b\x7f"), "a" + replacement + "b" + replacement + "c" + replacement +
                                                        replacement + " - quirn");
    // C1 too; the no-break space after it stays.
    EXPECT_EQ(window_title("\x01\x1f~ \xc2\x80\xc2\x9f\xc2\xa0"),
              replacement + replacement + "~ " + replacement + replacement + "\xc2\xa0 - quirn");
}

}  // namespace
