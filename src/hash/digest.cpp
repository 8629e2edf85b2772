#include "hash/digest.h"

#include <openssl/evp.h>
#include <xxhash.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <stdexcept>

struct Digest::State {
    EVP_MD_CTX* context = nullptr;
    uLong crc = 0;
    XXH64_state_t* xxh = nullptr;

    ~State() {
        if (context) EVP_MD_CTX_free(context);
        if (xxh) XXH64_freeState(xxh);
    }
};

namespace {

const EVP_MD* message_digest(HashKind kind) {
    switch (kind) {
        case HashKind::Md5: return EVP_md5();
        case HashKind::Sha1: return EVP_sha1();
        case HashKind::Sha256: return EVP_sha256();
        case HashKind::Sha512: return EVP_sha512();
        default: return nullptr;
    }
}

std::string hex(const uint8_t* bytes, size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string text(2 * length, '0');
    for (size_t i = 0; i < length; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 15];
    }
    return text;
}

}  // namespace

Digest::Digest(HashKind kind) : kind_(kind), state_(std::make_unique<State>()) {
    if (const EVP_MD* md = message_digest(kind)) {
        state_->context = EVP_MD_CTX_new();
        if (!state_->context || EVP_DigestInit_ex(state_->context, md, nullptr) != 1) {
            throw std::runtime_error("libcrypto refused the digest");
        }
    } else if (kind == HashKind::Crc32) {
        state_->crc = crc32(0, nullptr, 0);
    } else {
        state_->xxh = XXH64_createState();
        if (!state_->xxh || XXH64_reset(state_->xxh, 0) != XXH_OK) throw std::runtime_error("xxhash refused");
    }
}

Digest::~Digest() = default;

void Digest::update(const uint8_t* data, size_t length) {
    if (state_->context) {
        EVP_DigestUpdate(state_->context, data, length);
    } else if (kind_ == HashKind::Crc32) {
        // zlib takes at most a uInt's worth at once.
        while (length > 0) {
            const size_t step = std::min<size_t>(length, UINT_MAX);
            state_->crc = crc32(state_->crc, data, uInt(step));
            data += step;
            length -= step;
        }
    } else {
        XXH64_update(state_->xxh, data, length);
    }
}

std::string Digest::finish() {
    if (state_->context) {
        uint8_t bytes[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        EVP_DigestFinal_ex(state_->context, bytes, &length);
        return hex(bytes, length);
    }
    if (kind_ == HashKind::Crc32) {
        char text[16];
        std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(state_->crc));
        return text;
    }
    XXH64_canonical_t canonical;
    XXH64_canonicalFromHash(&canonical, XXH64_digest(state_->xxh));
    return hex(canonical.digest, sizeof canonical.digest);
}
