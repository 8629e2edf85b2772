// The embedded-file scan's quick checks: 2 bytes of how many bytes lie
// before the literal, then the block. Each signature's literal is written
// where the check finds it, as the scan only asks at a match, and the check
// is given exactly the block: AddressSanitizer stops any read outside it.
#include "fuzz_input.h"
#include "identify/signatures.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input{data, size};
    const size_t wanted_before = size_t(input.number(2));
    const std::vector<uint8_t> bytes(input.data, input.data + input.size);
    const size_t before = std::min(wanted_before, bytes.size());
    for (const Signature& signature : signatures()) {
        std::vector<uint8_t> block(bytes);
        const size_t after = block.size() - before;
        std::copy_n(signature.bytes.begin(), std::min(after, signature.bytes.size()), block.begin() + long(before));
        const bool passes = plausible(signature, block.data() + before, before, after);
        REQUIRE(!passes || after >= signature.bytes.size());
    }
    return 0;
}
