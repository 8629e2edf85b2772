#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The hashes the `#` menu offers.
enum class HashKind { Crc32, Md5, Sha1, Sha256, Sha512, Xxh64 };

// The menu on the label line, and the key that picks each kind.
inline constexpr const char* hash_menu_line = "hash: c CRC-32 m MD5 1 SHA-1 2 SHA-256 5 SHA-512 x XXH64";
std::optional<HashKind> hash_menu_kind(char key);

// The kind's name on the label line: "crc32", "md5", "sha1", "sha256", "sha512", "xxh64".
const char* hash_name(HashKind kind);

// "sha256 of 0..ffff: 3a7b9c01..." in at most `cells` characters: as many
// of the digest's digits as fit, "..." after a cut one. Bytes [first, end).
std::string hash_result_line(HashKind kind, uint64_t first, uint64_t end, const std::string& digest, size_t cells);
// "sha256 42% 1.9 GB/s  Esc cancels".
std::string hash_progress_line(HashKind kind, uint64_t done, uint64_t length, double seconds);
