#include "transfer/transfer_format.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Each byte's pair and a space, padded to four so that one store writes it.
const std::array<uint32_t, 256> hex_cells = [] {
    std::array<uint32_t, 256> cells{};
    const char* digits = "0123456789abcdef";
    for (unsigned b = 0; b < 256; ++b) {
        const char cell[4] = {digits[b >> 4], digits[b & 15], ' ', ' '};
        std::memcpy(&cells[b], cell, 4);
    }
    return cells;
}();

// Bytes below 0x80 kept as they are: printable ASCII, tab, line feed, carriage return.
const std::array<bool, 128> ascii_kept = [] {
    std::array<bool, 128> kept{};
    for (unsigned b = 0x20; b < 0x7f; ++b) kept[b] = true;
    kept['\t'] = kept['\n'] = kept['\r'] = true;
    return kept;
}();

// The length of the sequence a lead byte starts, 0 for a byte that starts none.
unsigned sequence_length(uint8_t lead) {
    if (lead >= 0xc2 && lead <= 0xdf) return 2;
    if (lead >= 0xe0 && lead <= 0xef) return 3;
    if (lead >= 0xf0 && lead <= 0xf4) return 4;
    return 0;
}

// Whether the bytes after the lead make a valid sequence: no overlong form,
// no surrogate, nothing past U+10FFFF.
bool valid_tail(const uint8_t* s, unsigned length) {
    uint8_t low = 0x80, high = 0xbf;
    switch (s[0]) {
        case 0xe0: low = 0xa0; break;
        case 0xed: high = 0x9f; break;
        case 0xf0: low = 0x90; break;
        case 0xf4: high = 0x8f; break;
        default: break;
    }
    if (s[1] < low || s[1] > high) return false;
    for (unsigned i = 2; i < length; ++i) {
        if ((s[i] & 0xc0) != 0x80) return false;
    }
    return true;
}

}  // namespace

char* append_hex(const uint8_t* bytes, size_t n, char* out) {
    // Four-byte stores three bytes apart; the last is written alone so that
    // nothing lands past the 3 n characters.
    if (n == 0) return out;
    for (size_t i = 0; i + 1 < n; ++i) {
        std::memcpy(out, &hex_cells[bytes[i]], 4);
        out += 3;
    }
    std::memcpy(out, &hex_cells[bytes[n - 1]], 3);
    return out + 3;
}

size_t append_text(const uint8_t* bytes, size_t n, bool at_end, char* out, size_t& written) {
    size_t i = 0;
    char* o = out;
    while (i < n) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            *o++ = ascii_kept[b] ? char(b) : '.';
            ++i;
            continue;
        }
        const unsigned length = sequence_length(b);
        if (length != 0 && i + length > n && !at_end) break;  // cut by the block's end
        if (length != 0 && i + length <= n && valid_tail(bytes + i, length)) {
            std::memcpy(o, bytes + i, length);
            o += length;
            i += length;
        } else {
            *o++ = '.';
            ++i;
        }
    }
    written += size_t(o - out);
    return i;
}

std::string exact_size_text(uint64_t bytes) {
    const std::string digits = std::to_string(bytes);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped + (bytes == 1 ? " byte" : " bytes");
}

std::string size_text(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string number = text;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0) number.resize(number.size() - 2);
    return number + " " + units[unit];
}

std::string default_save_name(const std::string& path, uint64_t first, uint64_t last) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    char range[48];
    std::snprintf(range, sizeof range, ".%llx-%llx.bin", static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(last));
    return name + range;
}

std::string save_progress_line(uint64_t done, uint64_t total, double seconds) {
    char text[96];
    const double percent = total ? 100.0 * double(done) / double(total) : 100.0;
    const double gigabytes_per_second = seconds > 0 ? double(done) / seconds / 1e9 : 0.0;
    std::snprintf(text, sizeof text, "saving %.0f%% %.1f GB/s  Esc cancels", percent, gigabytes_per_second);
    return text;
}
