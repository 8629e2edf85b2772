#include "identify/signatures.h"

#include <cstring>

using namespace std::string_view_literals;

const std::vector<Signature>& signatures() {
    using C = Signature::Check;
    static const std::vector<Signature> table = {
        {"PNG", "\x89PNG\r\n\x1a\n"sv, 0, C::None},
        {"JPEG JFIF", "\xff\xd8\xff\xe0"sv, 0, C::Jpeg},
        {"JPEG Exif", "\xff\xd8\xff\xe1"sv, 0, C::Jpeg},
        {"JPEG", "\xff\xd8\xff\xdb"sv, 0, C::Jpeg},
        {"GIF87a", "GIF87a"sv, 0, C::None},
        {"GIF89a", "GIF89a"sv, 0, C::None},
        {"ZIP", "PK\x03\x04"sv, 0, C::Zip},
        {"gzip", "\x1f\x8b\x08"sv, 0, C::Gzip},
        {"xz", "\xfd" "7zXZ\x00"sv, 0, C::None},
        {"bzip2", "BZh"sv, 0, C::Bzip2},
        {"zstd", "\x28\xb5\x2f\xfd"sv, 0, C::Zstd},
        {"LZ4", "\x04\x22\x4d\x18"sv, 0, C::Lz4},
        {"7-Zip", "7z\xbc\xaf\x27\x1c"sv, 0, C::None},
        {"ELF", "\x7f" "ELF"sv, 0, C::Elf},
        {"PE", "MZ"sv, 0, C::Pe},
        {"Mach-O 32", "\xfe\xed\xfa\xce"sv, 0, C::MachO},
        {"Mach-O 64", "\xfe\xed\xfa\xcf"sv, 0, C::MachO},
        {"Mach-O 32 LE", "\xce\xfa\xed\xfe"sv, 0, C::MachO},
        {"Mach-O 64 LE", "\xcf\xfa\xed\xfe"sv, 0, C::MachO},
        {"squashfs", "hsqs"sv, 0, C::Squashfs},
        {"squashfs BE", "sqsh"sv, 0, C::Squashfs},
        {"cramfs", "\x45\x3d\xcd\x28"sv, 0, C::Cramfs},
        {"JFFS2", "\x85\x19\x03\x20"sv, 0, C::Jffs2},
        {"JFFS2 inode", "\x85\x19\x02\xe0"sv, 0, C::Jffs2},
        {"UBI", "UBI#"sv, 0, C::Ubi},
        {"cpio newc", "070701"sv, 0, C::Cpio},
        {"cpio crc", "070702"sv, 0, C::Cpio},
        {"cpio odc", "070707"sv, 0, C::Cpio},
        {"tar", "ustar"sv, 257, C::Tar},
        {"U-Boot", "\x27\x05\x19\x56"sv, 0, C::UImage},
        {"FDT", "\xd0\x0d\xfe\xed"sv, 0, C::Fdt},
        {"ISO 9660", "CD001"sv, 0x8001, C::Iso},
        {"ext", "\x53\xef"sv, 0x438, C::Ext},
        {"FAT12", "FAT12   "sv, 0x36, C::Fat},
        {"FAT16", "FAT16   "sv, 0x36, C::Fat},
        {"FAT32", "FAT32   "sv, 0x52, C::Fat},
        {"NTFS", "NTFS    "sv, 3, C::Ntfs},
        {"MBR", "\x55\xaa"sv, 510, C::Mbr},
        {"GPT", "EFI PART"sv, 512, C::Gpt},
    };
    return table;
}

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
uint32_t be32(const uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

bool same(const uint8_t* p, std::string_view text) { return std::memcmp(p, text.data(), text.size()) == 0; }

// A boot sector that ends in 55 aa and gives a sector size of 512 to 4096.
bool boot_sector(const uint8_t* boot, size_t after_boot) {
    if (after_boot < 512) return false;
    const uint32_t sector = le16(boot + 11);
    return boot[510] == 0x55 && boot[511] == 0xaa && sector >= 512 && sector <= 4096 && (sector & (sector - 1)) == 0;
}

}  // namespace

bool plausible(const Signature& signature, const uint8_t* p, size_t before, size_t after) {
    using C = Signature::Check;
    // Bytes the check needs from the literal on; a check that needs bytes
    // before it asks for them itself.
    const auto has = [&](size_t n) { return after >= n; };
    if (!has(signature.bytes.size())) return false;
    switch (signature.check) {
        case C::None: return true;
        case C::Cpio: {
            // The rest of the header: hexadecimal digits (newc), or octal (odc).
            const bool odc = p[5] == '7';
            const size_t header = odc ? 76 : 110;
            if (!has(header)) return false;
            for (size_t i = 6; i < header; ++i) {
                const uint8_t c = p[i];
                const bool digit = c >= '0' && c <= (odc ? '7' : '9');
                if (!digit && !(!odc && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))) return false;
            }
            return true;
        }
        case C::Gzip: return has(10) && (p[3] & 0xe0) == 0 && (p[8] == 0 || p[8] == 2 || p[8] == 4) &&
                             (p[9] <= 13 || p[9] == 255);
        case C::Bzip2:
            return has(10) && p[3] >= '1' && p[3] <= '9' &&
                   (same(p + 4, "\x31\x41\x59\x26\x53\x59"sv) || same(p + 4, "\x17\x72\x45\x38\x50\x90"sv));
        case C::Zstd: return has(6) && (p[4] & 0x08) == 0 && ((p[4] & 0x20) != 0 || (p[5] >> 3) <= 21);
        case C::Lz4: return has(7) && (p[4] >> 6) == 1 && (p[4] & 0x02) == 0 && (p[5] & 0x8f) == 0 && (p[5] >> 4) >= 4;
        case C::Zip: return has(30) && p[4] <= 63 && p[5] == 0 && le16(p + 8) <= 99;
        case C::Jpeg:
            if (!has(11)) return false;
            if (p[3] == 0xe0) return same(p + 6, "JFIF\0"sv);
            if (p[3] == 0xe1) return same(p + 6, "Exif\0"sv);
            return be16(p + 4) == 0x43 || be16(p + 4) == 0x84;
        case C::Elf: return has(16) && (p[4] == 1 || p[4] == 2) && (p[5] == 1 || p[5] == 2) && p[6] == 1;
        case C::Pe: {
            // The header's offset is the file's word: bounded before it is followed.
            if (!has(0x40)) return false;
            const uint64_t pe = le32(p + 0x3c);
            return pe >= 0x40 && pe <= after && after - pe >= 4 && same(p + pe, "PE\0\0"sv);
        }
        case C::MachO: {
            if (!has(28)) return false;
            const bool big = p[0] == 0xfe;
            const uint32_t type = big ? be32(p + 12) : le32(p + 12);
            const uint32_t commands = big ? be32(p + 16) : le32(p + 16);
            return type >= 1 && type <= 12 && commands < 4096;
        }
        case C::Squashfs: {
            if (!has(32)) return false;
            const uint32_t major = p[0] == 'h' ? le16(p + 28) : be16(p + 28);
            return major >= 1 && major <= 4;
        }
        case C::Cramfs: return has(32) && same(p + 16, "Compressed ROMFS"sv);
        case C::Jffs2: return has(12) && le32(p + 4) >= 12 && le32(p + 4) < (1u << 20);
        case C::Ubi: return has(8) && p[4] == 1 && p[5] == 0 && p[6] == 0 && p[7] == 0;
        case C::Tar: return has(8) && (p[5] == 0 || same(p + 5, "  \0"sv));
        case C::UImage: return has(64) && p[28] <= 32 && p[29] <= 32 && p[30] >= 1 && p[30] <= 32 && p[31] <= 8;
        case C::Fdt: return has(28) && be32(p + 4) >= 40 && be32(p + 20) >= 1 && be32(p + 20) <= 17 &&
                            be32(p + 24) <= 17;
        case C::Iso: return before >= 1 && has(6) && p[-1] == 1 && p[5] == 1;
        case C::Ext: {
            // The magic lies 0x38 into the superblock.
            if (before < 0x38 || !has(0x58)) return false;
            const uint8_t* super = p - 0x38;
            const uint32_t state = le16(super + 0x3a);
            return le32(super) != 0 && le32(super + 0x18) <= 6 && le32(super + 0x4c) <= 1 && state >= 1 && state <= 7;
        }
        case C::Fat:
        case C::Ntfs:
            return before >= signature.at && boot_sector(p - signature.at, after + signature.at);
        case C::Mbr: {
            if (before < 510 || !has(2)) return false;
            const uint8_t* boot = p - 510;
            bool used = false;
            for (int i = 0; i < 4; ++i) {
                const uint8_t* entry = boot + 446 + 16 * i;
                if (entry[0] != 0 && entry[0] != 0x80) return false;
                used = used || entry[4] != 0;
            }
            return used;
        }
        case C::Gpt: return has(16) && same(p + 8, "\0\0\1\0"sv) && le32(p + 12) == 92;
    }
    return false;
}
