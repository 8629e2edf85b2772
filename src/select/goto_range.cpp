#include "select/goto_range.h"

#include "base/offset_text.h"
#include "base/goto_target.h"

#include <cstdio>

GotoRange parse_goto_range(const std::string& input, uint64_t file_size, uint64_t shown_offset,
                           const PartitionSpans& partitions) {
    GotoRange range;
    const size_t dots = input.find("..");
    if (dots == std::string::npos) {
        const GotoTarget target = parse_goto(input, file_size, shown_offset, partitions);
        range.valid = target.valid;
        range.first = target.offset;
        // An empty file's one target, 0, holds no byte to select.
        range.end = file_size == 0 ? target.offset : target.offset + 1;
        range.error = target.error;
        return range;
    }
    range.is_range = true;
    const GotoTarget from = parse_goto(input.substr(0, dots), file_size, shown_offset, partitions);
    if (!from.valid) {
        range.error = from.error;
        return range;
    }
    const std::string rest = input.substr(dots + 2);
    const size_t sign = rest.find_first_not_of(' ');
    if (sign == std::string::npos) {
        range.error = "a range needs its end: 1f00..2000 or 1f00..+100";
        return range;
    }
    if (sign != std::string::npos && rest[sign] == '+') {
        // A length: the amount of "+N" from 0 in a file as large as any.
        const GotoTarget length = parse_goto(rest, UINT64_MAX, 0);
        if (!length.valid) {
            range.error = length.error == "past the end" ? "too large" : length.error;
            return range;
        }
        if (length.offset == 0) {
            range.error = "empty range";
        } else if (length.offset > file_size || from.offset > file_size - length.offset) {
            range.error = "past the end";
        } else {
            range.valid = true;
            range.first = from.offset;
            range.end = from.offset + length.offset;
        }
        return range;
    }
    const GotoTarget to = parse_goto(rest, file_size, shown_offset, partitions);
    if (!to.valid) {
        range.error = to.error;
        return range;
    }
    if (to.offset < from.offset) {
        range.error = "reversed range";
    } else if (to.offset >= file_size) {
        range.error = "past the end";  // the one target an empty file allows, 0, is no byte
    } else {
        range.valid = true;
        range.first = from.offset;
        range.end = to.offset + 1;
    }
    return range;
}

std::string range_text(uint64_t first, uint64_t end) {
    const uint64_t length = end - first;
    std::string text = hex_offset(first) + ".." + hex_offset(end - 1) + ", ";
    if (length < (uint64_t{1} << 20)) return text + std::to_string(length) + (length == 1 ? " byte" : " bytes");
    // Past a MiB a unit keeps the line short.
    const char* units[] = {"MiB", "GiB", "TiB", "PiB", "EiB"};
    double amount = double(length) / double(uint64_t{1} << 20);
    int unit = 0;
    while (amount >= 1024 && unit < 4) {
        amount /= 1024;
        ++unit;
    }
    char number[32];
    std::snprintf(number, sizeof number, "%.1f %s", amount, units[unit]);
    return text + number;
}
