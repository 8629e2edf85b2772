#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The built-in table of signatures that an embedded file's scan looks for:
// each a literal that lies `at` bytes from the start of a kind of file, and
// a quick check of the bytes around it that drops most chance matches
// before libmagic is asked.
struct Signature {
    enum class Check {
        None, Gzip, Cpio, Bzip2, Zstd, Lz4, Zip, Jpeg, Elf, Pe, MachO, Squashfs, Cramfs, Jffs2, Ubi, Tar,
        UImage, Fdt, Iso, Ext, Fat, Ntfs, Mbr, Gpt,
    };
    const char* name;
    std::string_view bytes;
    uint32_t at;  // where the literal lies from the start of the file it begins
    Check check;
};

const std::vector<Signature>& signatures();

// The bytes a check may look at around the literal: this many before it
// and after its first byte.
inline constexpr size_t check_reach_before = 512;
inline constexpr size_t check_reach_after = 4096;

// Whether the bytes around a literal of `signature` found at `literal` look
// like that kind of file: `before` bytes before it and `after` from it on
// are at hand (fewer only at the file's ends).
bool plausible(const Signature& signature, const uint8_t* literal, size_t before, size_t after);
