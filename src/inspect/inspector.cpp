#include "inspect/inspector.h"

#include "render/page_geometry.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int column_cells = (panel_cells - panel_name_cells - 1) / 2;
const int be_column = panel_name_cells + column_cells + 1;

std::string printed(const char* pattern, auto... values) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

struct Bytes {
    const uint8_t* data;
    size_t available;

    bool has(size_t n) const { return available >= n; }
    uint64_t unsigned_value(size_t n, bool big_endian) const {
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) {
            v |= uint64_t(data[big_endian ? n - 1 - i : i]) << (8 * i);
        }
        return v;
    }
    int64_t signed_value(size_t n, bool big_endian) const {
        const uint64_t v = unsigned_value(n, big_endian);
        const unsigned shift = unsigned(64 - 8 * n);
        return int64_t(v << shift) >> shift;
    }
};

std::string line(const std::string& name, const std::string& value, const std::string& big_endian = {}) {
    std::string text = name;
    text.resize(panel_name_cells, ' ');
    text += value;
    if (!big_endian.empty()) {
        text.resize(be_column, ' ');
        text += big_endian;
    }
    text.resize(std::min<size_t>(text.size(), panel_cells));
    return text;
}

std::string float_text(double v, int max_digits) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    // The fewest digits that read back as the same value; fewer still, rounded,
    // when even those do not fit the column.
    std::string text;
    for (int digits = 1; digits <= max_digits; ++digits) {
        text = printed("%.*g", digits, v);
        const double back = std::strtod(text.c_str(), nullptr);
        if (max_digits <= 9 ? float(back) == float(v) : back == v) break;
    }
    for (int digits = max_digits; text.size() > size_t(column_cells) && digits > 1; --digits) {
        text = printed("%.*g", digits, v);
    }
    return text;
}

double half_to_double(uint64_t h) {
    const int exponent = int(h >> 10) & 31;
    const double mantissa = double(h & 1023);
    const double magnitude = exponent == 0    ? std::ldexp(mantissa, -24)
                           : exponent == 31 ? (mantissa == 0 ? INFINITY : NAN)
                                              : std::ldexp(1024 + mantissa, exponent - 25);
    return (h & 0x8000) ? -magnitude : magnitude;
}

double float_value(const Bytes& b, size_t n, bool big_endian) {
    const uint64_t bits = b.unsigned_value(n, big_endian);
    if (n == 2) return half_to_double(bits);
    if (n == 4) {
        float f;
        const uint32_t bits32 = uint32_t(bits);
        std::memcpy(&f, &bits32, 4);
        return f;
    }
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// UTC date and time of seconds since 1970, for years 1 to 9999.
std::string utc_time(int64_t seconds) {
    if (seconds < -62135596800 || seconds > 253402300799) return "out of range";
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01, proleptic Gregorian.
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return printed("%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02" PRId64 ":%02" PRId64 ":%02" PRId64, year, month,
                  day, rest / 3600, rest / 60 % 60, rest % 60);
}

std::string filetime_text(uint64_t ticks) {
    const uint64_t seconds = ticks / 10000000;  // ticks of 100 ns since 1601
    return utc_time(int64_t(seconds) - 11644473600);
}

// LEB128 from the bytes: "-" when the end of the file cuts it, "too large"
// past 64 bits.
std::string leb128_text(const Bytes& b, bool is_signed) {
    uint64_t value = 0;
    for (size_t i = 0; i < 10; ++i) {
        if (!b.has(i + 1)) return "-";
        const uint64_t part = b.data[i] & 0x7F;
        // The tenth byte holds bit 63 alone (and, signed, its sign extension).
        if (i == 9 && !(part == 0 || part == (is_signed ? 0x7F : 1))) return "too large";
        value |= part << (7 * i);
        if (!(b.data[i] & 0x80)) {
            const size_t used = i + 1;
            const unsigned bits = unsigned(7 * used);
            const std::string count = used == 1 ? " (1 byte)" : printed(" (%zu bytes)", used);
            if (!is_signed) return printed("%" PRIu64, value) + count;
            int64_t s = int64_t(value);
            if (bits < 64 && (b.data[i] & 0x40)) s = int64_t(value | (~uint64_t(0) << bits));
            return printed("%" PRId64, s) + count;
        }
    }
    return "too large";
}

// The character a UTF-8 sequence starts here: its code, and the character
// itself when it is printable ASCII (the glyph table holds one byte per glyph).
std::string utf8_text(const Bytes& b) {
    if (!b.has(1)) return "-";
    const uint8_t lead = b.data[0];
    if (lead < 0x80) {
        return lead >= 0x20 && lead < 0x7F ? printed("U+%04X %c", unsigned(lead), char(lead))
                                           : printed("U+%04X", unsigned(lead));
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0) return "invalid";
    uint32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (!b.has(i + 1)) return "-";
        if ((b.data[i] & 0xC0) != 0x80) return "invalid";
        code = (code << 6) | (b.data[i] & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return "invalid";
    return printed("U+%04X", unsigned(code));
}

std::string guid_text(const Bytes& b) {
    if (!b.has(16)) return "-";
    const uint8_t* d = b.data;
    return printed("%08" PRIx64 "-%04" PRIx64 "-%04" PRIx64 "-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  b.unsigned_value(4, false), Bytes{d + 4, 2}.unsigned_value(2, false),
                  Bytes{d + 6, 2}.unsigned_value(2, false), d[8], d[9], d[10], d[11], d[12], d[13], d[14], d[15]);
}

std::string length_text(uint64_t length) {
    if (length == 0) return "nothing selected";
    std::string text = printed("%" PRIu64 " byte%s", length, length == 1 ? "" : "s");
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    uint64_t unit = 1024;
    for (size_t i = 0; i < 4 && length >= unit; ++i, unit <<= 10) {
        if (i == 3 || length < unit << 10) {
            const uint64_t tenths = length / (unit / 1024) * 10 / 1024;  // truncated, never rounded up a unit
            text += printed("  %" PRIu64 ".%" PRIu64 " %s", tenths / 10, tenths % 10, units[i]);
            break;
        }
    }
    return text;
}

}  // namespace

std::vector<std::string> inspector_lines(const uint8_t* bytes, size_t available, uint64_t offset, uint64_t length) {
    const Bytes b{bytes, available > 16 ? 16 : available};
    std::vector<std::string> lines;
    lines.push_back(line("offset", printed("0x%" PRIx64 "  %" PRIu64, offset, offset)));
    lines.push_back(line("length", length_text(length)));
    std::string binary = "-";
    if (b.has(1)) {
        binary.clear();
        for (int bit = 7; bit >= 0; --bit) binary += char('0' + ((b.data[0] >> bit) & 1));
    }
    lines.push_back(line("binary", binary));
    lines.emplace_back();
    lines.push_back(line("", "little-endian", "big-endian"));  // the heading pack_panel_text draws as names

    for (size_t n : {1, 2, 4, 8}) {
        const std::string bits = std::to_string(8 * n);
        auto both = [&](auto value) {
            return b.has(n) ? std::pair{value(false), value(true)} : std::pair{std::string("-"), std::string("-")};
        };
        const auto u = both([&](bool be) { return printed("%" PRIu64, b.unsigned_value(n, be)); });
        const auto s = both([&](bool be) { return printed("%" PRId64, b.signed_value(n, be)); });
        // One byte has no order: its values show once.
        lines.push_back(line("u" + bits, u.first, n == 1 ? "" : u.second));
        lines.push_back(line("i" + bits, s.first, n == 1 ? "" : s.second));
    }
    for (size_t n : {2, 4, 8}) {
        const int digits = n == 2 ? 5 : n == 4 ? 9 : 17;
        auto value = [&](bool be) { return b.has(n) ? float_text(float_value(b, n, be), digits) : "-"; };
        lines.push_back(line("f" + std::to_string(8 * n), value(false), value(true)));
    }
    lines.emplace_back();
    lines.push_back(line("uleb128", leb128_text(b, false)));
    lines.push_back(line("sleb128", leb128_text(b, true)));
    lines.push_back(line("utf-8", utf8_text(b)));
    auto unix_time = [&](size_t n, bool be) {
        if (!b.has(n)) return std::string("-");
        return n == 4 ? utc_time(b.signed_value(4, be)) : utc_time(b.signed_value(8, be));
    };
    lines.push_back(line("unix32", unix_time(4, false), unix_time(4, true)));
    lines.push_back(line("unix64", unix_time(8, false), unix_time(8, true)));
    auto windows_time = [&](bool be) { return b.has(8) ? filetime_text(b.unsigned_value(8, be)) : "-"; };
    lines.push_back(line("filetime", windows_time(false), windows_time(true)));
    lines.push_back(line("guid", guid_text(b)));
    return lines;
}

std::vector<std::string> wrap_panel_line(const std::string& name, const std::string& value, size_t max_lines) {
    const size_t width = size_t(panel_cells - panel_name_cells);
    std::vector<std::string> lines;
    std::string rest = value;
    while (lines.size() < max_lines) {
        std::string part;
        if (rest.size() <= width) {
            part = rest;
            rest.clear();
        } else if (lines.size() + 1 == max_lines) {
            part = rest.substr(0, width - 3) + "...";
            rest.clear();
        } else {
            const size_t blank = rest.rfind(' ', width);
            const size_t cut = blank == std::string::npos || blank == 0 ? width : blank;
            part = rest.substr(0, cut);
            const size_t next = rest.find_first_not_of(' ', cut);
            rest = next == std::string::npos ? "" : rest.substr(next);
        }
        lines.push_back(line(lines.empty() ? name : "", part));
        if (rest.empty()) break;
    }
    return lines;
}

void pack_panel_text(const std::vector<std::string>& lines, uint8_t* text) {
    static const std::string column_heading = line("", "little-endian", "big-endian");
    std::memset(text, 0, size_t(panel_lines) * panel_cells);
    for (size_t l = 0; l < lines.size() && l < size_t(panel_lines); ++l) {
        const bool heading = lines[l] == column_heading;
        for (size_t c = 0; c < lines[l].size() && c < size_t(panel_cells); ++c) {
            const uint8_t code = uint8_t(lines[l][c]) & 0x7F;
            const bool name = heading || c < size_t(panel_name_cells);
            text[l * panel_cells + c] = code == ' ' ? code : uint8_t(code | (name ? 0x80 : 0));
        }
    }
}
