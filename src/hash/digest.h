#pragma once

#include "hash/hash_kind.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One running hash of any kind, fed in pieces: libcrypto's digests, zlib's
// CRC-32 and libxxhash's XXH64.
class Digest {
public:
    explicit Digest(HashKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    void update(const uint8_t* data, size_t length);
    // The digest in lower-case hexadecimal, as the command-line tools print
    // it (CRC-32 and XXH64 as big-endian numbers). Ends the hash.
    std::string finish();

private:
    struct State;
    HashKind kind_;
    std::unique_ptr<State> state_;
};
