#include "transfer/transfer_format.h"

#include <algorithm>
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

// Each byte as the page shows it in one set, in UTF-8: up to three bytes
// and their count in the fourth. Tab, line feed and carriage return stay
// themselves, so that copied lines stay lines; any other byte the set draws
// as a symbol or a dot becomes '.'.
using TextCells = std::array<uint32_t, 256>;

TextCells text_cells_of(Charset charset) {
    TextCells cells{};
    for (unsigned b = 0; b < 256; ++b) {
        uint32_t code = shown_character(charset, uint8_t(b));
        if (b == '\t' || b == '\n' || b == '\r') code = b;
        if (code == 0) code = '.';
        uint8_t cell[4] = {};
        if (code < 0x80) {
            cell[0] = uint8_t(code);
            cell[3] = 1;
        } else if (code < 0x800) {
            cell[0] = uint8_t(0xc0 | (code >> 6));
            cell[1] = uint8_t(0x80 | (code & 0x3f));
            cell[3] = 2;
        } else {
            cell[0] = uint8_t(0xe0 | (code >> 12));
            cell[1] = uint8_t(0x80 | ((code >> 6) & 0x3f));
            cell[2] = uint8_t(0x80 | (code & 0x3f));
            cell[3] = 3;
        }
        std::memcpy(&cells[b], cell, 4);
    }
    return cells;
}

const TextCells& text_cells(Charset charset) {
    static const std::array<TextCells, 4> all = {text_cells_of(Charset::Koi8r), text_cells_of(Charset::Latin1),
                                                 text_cells_of(Charset::Cp437), text_cells_of(Charset::Ascii)};
    return all[size_t(charset)];
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

char* append_text(const uint8_t* bytes, size_t n, Charset charset, char* out) {
    const TextCells& cells = text_cells(charset);
    for (size_t i = 0; i < n; ++i) {
        uint8_t cell[4];
        std::memcpy(cell, &cells[bytes[i]], 4);
        std::memcpy(out, cell, 3);  // the caller leaves room for three a byte
        out += cell[3];
    }
    return out;
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

namespace {

const char hex_digits[] = "0123456789abcdef";

std::string c_array(const uint8_t* bytes, size_t n) {
    std::string out = "unsigned char data[" + std::to_string(n) + "] = {";
    out.reserve(out.size() + 6 * n + 8 + n / 2);
    for (size_t i = 0; i < n; ++i) {
        out += i % 12 == 0 ? "\n    " : " ";
        out += {'0', 'x', hex_digits[bytes[i] >> 4], hex_digits[bytes[i] & 15]};
        if (i + 1 < n) out += ',';
    }
    out += "\n};\n";
    return out;
}

std::string base64(const uint8_t* bytes, size_t n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    for (size_t i = 0; i < n; i += 3) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | (i + 1 < n ? uint32_t(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < n ? bytes[i + 2] : 0);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < n ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < n ? alphabet[v & 63] : '=';
    }
    return out;
}

std::string dump(const uint8_t* bytes, size_t n, uint64_t first) {
    // The offsets take as many digits as the last one needs, 8 at least.
    char probe[24];
    const int digits = std::max(8, std::snprintf(probe, sizeof probe, "%llx",
                                                 static_cast<unsigned long long>(first + (n ? n - 1 : 0))));
    std::string out;
    for (size_t row = 0; row < n; row += 16) {
        char offset[24];
        std::snprintf(offset, sizeof offset, "%0*llx ", digits, static_cast<unsigned long long>(first + row));
        out += offset;
        std::string characters;
        for (size_t k = 0; k < 16; ++k) {
            if (k == 8) out += ' ';
            if (row + k < n) {
                const uint8_t b = bytes[row + k];
                out += {' ', hex_digits[b >> 4], hex_digits[b & 15]};
                characters += b >= 0x20 && b < 0x7f ? char(b) : '.';
            } else {
                out += "   ";
            }
        }
        out += "  " + characters + "\n";
    }
    return out;
}

std::string python_bytes(const uint8_t* bytes, size_t n) {
    // As Python's repr: single quotes unless only double quotes are free.
    const bool single = std::find(bytes, bytes + n, uint8_t('\'')) == bytes + n ||
                        std::find(bytes, bytes + n, uint8_t('"')) != bytes + n;
    const char quote = single ? '\'' : '"';
    std::string out = {'b', quote};
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b == '\\' || b == uint8_t(quote)) {
            out += {'\\', char(b)};
        } else if (b == '\t') {
            out += "\\t";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b >= 0x20 && b < 0x7f) {
            out += char(b);
        } else {
            out += {'\\', 'x', hex_digits[b >> 4], hex_digits[b & 15]};
        }
    }
    out += quote;
    return out;
}

}  // namespace

std::string format_copy(CopyForm form, const uint8_t* bytes, size_t n, uint64_t first) {
    switch (form) {
        case CopyForm::CArray: return c_array(bytes, n);
        case CopyForm::Base64: return base64(bytes, n);
        case CopyForm::Dump: return dump(bytes, n, first);
        case CopyForm::Python: return python_bytes(bytes, n);
    }
    return {};
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
