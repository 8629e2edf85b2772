// The prompt line: one byte of prompt and modes, 8 of file size, 8 of shown
// offset, then the input.
#include "find/find_state.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    const uint64_t modes = in.number(1);
    FindState find;
    find.prompt = modes & 1 ? FindState::Prompt::Search : FindState::Prompt::Goto;
    find.text_mode = modes & 2;
    find.ignore_case = modes & 4;
    find.backward = modes & 8;
    const uint64_t file_size = in.number(8);
    const uint64_t shown = in.number(8);
    find.input = in.rest();

    const std::string line = find.line(file_size, shown);  // an exception is a crash
    size_t glyphs = 0;
    for (char c : line) glyphs += (uint8_t(c) & 0xC0) != 0x80;
    REQUIRE(glyphs <= 60);
    // The whole head, or the key that opens the prompt where a message needs the room.
    const bool whole_head =
        line.find(find.prompt == FindState::Prompt::Goto ? "go to: " : "find") == (modes & 8 && modes & 1 ? 5 : 0);
    const char short_head = find.prompt == FindState::Prompt::Goto ? ':' : find.backward ? '?' : '/';
    REQUIRE(whole_head || (!line.empty() && line[0] == short_head));
    return 0;
}
