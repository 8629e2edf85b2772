#include "base/goto_target.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>

namespace {

struct Reader {
    const std::string& text;
    size_t at = 0;

    void skip_spaces() {
        while (at < text.size() && text[at] == ' ') ++at;
    }
    bool take(char c) {
        skip_spaces();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool done() {
        skip_spaces();
        return at == text.size();
    }
};

bool multiply(uint64_t& value, uint64_t by) {
    if (value != 0 && by > UINT64_MAX / value) return false;
    value *= by;
    return true;
}

int digit_value(char c, int base) {
    const int v = std::isdigit(static_cast<unsigned char>(c))   ? c - '0'
                  : std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                                 : 99;
    return v < base ? v : -1;
}

// An amount: hexadecimal (0x optional) or #decimal, then an optional K, M, G or T.
std::optional<uint64_t> amount(Reader& in, std::string& error) {
    in.skip_spaces();
    int base = 16;
    if (in.take('#')) {
        base = 10;
    } else if (in.text.compare(in.at, 2, "0x") == 0 || in.text.compare(in.at, 2, "0X") == 0) {
        in.at += 2;
    }
    uint64_t value = 0;
    size_t digits = 0;
    for (int v; in.at < in.text.size() && (v = digit_value(in.text[in.at], base)) >= 0; ++in.at, ++digits) {
        if (!multiply(value, uint64_t(base)) || value > UINT64_MAX - uint64_t(v)) {
            error = "too large";
            return std::nullopt;
        }
        value += uint64_t(v);
    }
    if (digits == 0) {
        error = base == 10 ? "digits expected after #" : "hexadecimal digits expected";
        return std::nullopt;
    }
    if (in.at < in.text.size()) {
        const char* units = "KMGT";
        for (int i = 0; units[i]; ++i) {
            if (std::toupper(static_cast<unsigned char>(in.text[in.at])) == units[i]) {
                ++in.at;
                if (!multiply(value, uint64_t{1} << (10 * (i + 1)))) {
                    error = "too large";
                    return std::nullopt;
                }
                break;
            }
        }
    }
    return value;
}

// "N%": a plain decimal share of the file (digits, one point and a fraction
// allowed), 0 to 100; nullopt if the input is not one.
std::optional<GotoTarget> percentage(const std::string& input, uint64_t file_size) {
    size_t end = input.find_last_not_of(' ');
    if (end == std::string::npos || input[end] != '%') return std::nullopt;
    GotoTarget target;
    Reader in{input};
    in.skip_spaces();
    // whole + fraction / scale, with fraction digits past the 18th dropped.
    uint64_t whole = 0, fraction = 0, scale = 1;
    size_t digits = 0;
    bool point = false;
    for (; in.at < input.size(); ++in.at) {
        const char c = input[in.at];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            ++digits;
            if (!point) {
                whole = std::min<uint64_t>(whole * 10 + uint64_t(c - '0'), 1000);  // past 100 stays past 100
            } else if (scale < 1000000000000000000u) {
                fraction = fraction * 10 + uint64_t(c - '0');
                scale *= 10;
            }
        } else {
            break;
        }
    }
    in.skip_spaces();
    if (digits == 0 || in.at != end || whole > 100 || (whole == 100 && fraction > 0)) {
        target.error = "a share from 0% to 100% expected";
        return target;
    }
    // Long double keeps every byte of a 2^48-byte file exact.
    const long double share = (long double)whole * scale + fraction;
    const long double at = (long double)file_size * share / (100.0L * scale);
    target.offset = at < (long double)file_size ? uint64_t(at) : file_size > 0 ? file_size - 1 : 0;
    target.valid = true;
    return target;
}

// "p2" or "p2$": partition 2's first or last byte; nullopt if the input is not one.
std::optional<GotoTarget> partition_target(const std::string& input, uint64_t file_size,
                                           const PartitionSpans& partitions) {
    Reader in{input};
    if (!in.take('p') && !in.take('P')) return std::nullopt;
    GotoTarget target;
    uint64_t number = 0;
    size_t digits = 0;
    bool too_large = false;
    for (; in.at < input.size() && std::isdigit(static_cast<unsigned char>(input[in.at])); ++in.at, ++digits) {
        number = number * 10 + uint64_t(input[in.at] - '0');
        too_large = too_large || number > uint64_t(std::numeric_limits<int>::max());
        if (too_large) number = 0;  // stays small while the rest of the digits are read
    }
    const bool last = in.take('$');
    if (digits == 0 || !in.done()) {
        target.error = "a partition number expected, as in p2 or p2$";
        return target;
    }
    if (too_large) {
        target.error = "partition number out of range";
        return target;
    }
    for (const PartitionSpan& p : partitions) {
        if (uint64_t(p.number) != number) continue;
        if (p.past_end) {
            target.error = "partition " + std::to_string(number) + " lies past the end of the file";
            return target;
        }
        if (p.end > p.first) {
            target.offset = last ? p.end - 1 : p.first;
            target.valid = target.offset < file_size;
            if (!target.valid) target.error = "past the end";
            return target;
        }
    }
    target.error = "no partition " + std::to_string(number) + " (" + std::to_string(partitions.size()) + " found)";
    return target;
}

}  // namespace

GotoTarget parse_goto(const std::string& input, uint64_t file_size, uint64_t shown_offset,
                      const PartitionSpans& partitions) {
    GotoTarget target;
    Reader in{input};
    if (in.done()) return target;
    if (auto partition = partition_target(input, file_size, partitions)) return *partition;
    if (auto share = percentage(input, file_size)) return *share;

    uint64_t base = 0;
    int sign = 0;
    if (in.take('$')) {
        base = file_size;
        sign = in.take('+') ? 1 : in.take('-') ? -1 : 0;
        if (sign == 0 && !in.done()) {
            target.error = "+ or - expected after $";
            return target;
        }
        if (sign == 0 && file_size > 0) base = file_size - 1;  // $ alone: the last byte
    } else if (in.take('+')) {
        base = shown_offset;
        sign = 1;
    } else if (in.take('-')) {
        base = shown_offset;
        sign = -1;
    } else {
        sign = 1;
    }
    uint64_t value = 0;
    if (sign != 0) {
        const auto parsed = amount(in, target.error);
        if (!parsed) return target;
        value = *parsed;
    }
    if (!in.done()) {
        target.error = "unexpected \"" + input.substr(in.at) + "\"";
        return target;
    }
    if (sign < 0 && value > base) {
        target.error = "before the start";
        return target;
    }
    if (sign > 0 && value > UINT64_MAX - base) {
        target.error = "too large";
        return target;
    }
    const uint64_t offset = sign < 0 ? base - value : base + value;
    if (offset >= file_size && !(offset == 0 && file_size == 0)) {
        target.error = "past the end";
        return target;
    }
    target.valid = true;
    target.offset = offset;
    return target;
}
