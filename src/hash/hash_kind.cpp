#include "hash/hash_kind.h"

#include "find/find_state.h"

#include <cstdio>

std::optional<HashKind> hash_menu_kind(char key) {
    switch (key) {
        case 'c': return HashKind::Crc32;
        case 'm': return HashKind::Md5;
        case '1': return HashKind::Sha1;
        case '2': return HashKind::Sha256;
        case '5': return HashKind::Sha512;
        case 'x': return HashKind::Xxh64;
        default: return std::nullopt;
    }
}

const char* hash_name(HashKind kind) {
    switch (kind) {
        case HashKind::Crc32: return "crc32";
        case HashKind::Md5: return "md5";
        case HashKind::Sha1: return "sha1";
        case HashKind::Sha256: return "sha256";
        case HashKind::Sha512: return "sha512";
        case HashKind::Xxh64: return "xxh64";
    }
    return "";
}

std::string hash_result_line(HashKind kind, uint64_t first, uint64_t end, const std::string& digest, size_t cells) {
    const std::string of = end > first ? hex_offset(first) + ".." + hex_offset(end - 1) : "0 bytes";
    const std::string head = std::string(hash_name(kind)) + " of " + of + ": ";
    if (head.size() + digest.size() <= cells) return head + digest;
    const size_t room = cells > head.size() + 3 ? cells - head.size() - 3 : 0;
    return head + digest.substr(0, room) + "...";
}

std::string hash_progress_line(HashKind kind, uint64_t done, uint64_t length, double seconds) {
    char text[80];
    const double percent = length ? 100.0 * double(done) / double(length) : 100.0;
    const double gigabytes_per_second = seconds > 0 ? double(done) / seconds / 1e9 : 0.0;
    std::snprintf(text, sizeof text, "%s %.0f%% %.1f GB/s  Esc cancels", hash_name(kind), percent,
                  gigabytes_per_second);
    return text;
}
