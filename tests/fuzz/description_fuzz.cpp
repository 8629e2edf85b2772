// The description loader on any text: a description is loaded or refused
// with a DescriptionError that names its place; nothing else may happen.
#include "fuzz_input.h"
#include "structure/description_loader.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input{data, size};
    const std::string text = input.rest();
    try {
        const auto d = load_description(text, "f.ksy");
        REQUIRE(d->root != nullptr);
    } catch (const DescriptionError& e) {
        REQUIRE(std::strncmp(e.what(), "f.ksy:", 6) == 0 || std::strstr(e.what(), ".ksy") != nullptr);
    }
    return 0;
}
