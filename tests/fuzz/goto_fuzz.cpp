// The go-to parser: 8 bytes of file size, 8 of shown offset, then the input.
#include "find/find_state.h"
#include "base/goto_target.h"
#include "fuzz_input.h"
#include "select/goto_range.h"

namespace {

bool blank(const std::string& input) { return input.find_first_not_of(' ') == std::string::npos; }

// A share as the prompt takes it: spaces, digits with at most one point, spaces, "%", spaces.
bool plain_share(const std::string& input) {
    const size_t first = input.find_first_not_of(' ');
    const size_t percent = input.find_last_not_of(' ');
    if (first == std::string::npos || input[percent] != '%') return false;
    const std::string number = input.substr(first, input.find_last_not_of(' ', percent - 1) + 1 - first);
    return number.find_first_not_of("0123456789.") == std::string::npos &&
           number.find_first_of("0123456789") != std::string::npos &&
           number.find('.') == number.rfind('.');
}

// Every printed form of an offset inside the file goes back to it.
void parses_back(uint64_t offset, uint64_t file_size, uint64_t shown) {
    for (const std::string& printed : {hex_offset(offset), "0x" + hex_offset(offset), decimal_offset(offset)}) {
        const GotoTarget again = parse_goto(printed, file_size, shown);
        REQUIRE(again.valid && again.offset == offset);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    const uint64_t file_size = in.number(8);
    const uint64_t shown = in.number(8);
    const std::string input = in.rest();

    // A range, when valid, lies inside the file; only an empty file's is empty.
    const GotoRange range = parse_goto_range(input, file_size, shown);
    REQUIRE(!range.valid || (range.first < range.end && range.end <= file_size) ||
            (file_size == 0 && range.first == 0 && range.end == 0));
    REQUIRE(!(range.valid && !range.error.empty()));

    // Partition 2 of a table read when the file was larger: its forms
    // stay inside the file too, and name its ends when they are in it.
    const PartitionSpans partitions = {{2, shown / 2, shown}};
    const GotoRange named = parse_goto_range(input, file_size, shown, partitions);
    REQUIRE(!named.valid || (named.first < named.end && named.end <= file_size) ||
            (file_size == 0 && named.first == 0 && named.end == 0));
    if (input == "p2..p2$" && shown / 2 < shown && shown <= file_size) {
        REQUIRE(named.valid && named.first == shown / 2 && named.end == shown);
    }

    const GotoTarget target = parse_goto(input, file_size, shown);
    if (blank(input)) {
        REQUIRE(!target.valid && target.error.empty());
        return 0;
    }
    REQUIRE(target.valid == target.error.empty());
    if (!target.valid) return 0;
    REQUIRE(file_size == 0 ? target.offset == 0 : target.offset < file_size);
    if (input.find_last_not_of(' ') != std::string::npos && input[input.find_last_not_of(' ')] == '%') {
        REQUIRE(plain_share(input));
    }
    if (file_size > 0) parses_back(target.offset, file_size, shown);
    return 0;
}
