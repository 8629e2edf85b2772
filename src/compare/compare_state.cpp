#include "compare/compare_state.h"

#include "find/find_state.h"

#include <cstdio>

std::string thousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), ",");
    return digits;
}

std::string signed_hex(int64_t value) {
    const uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    return (value < 0 ? "-" : "+") + hex_offset(magnitude);
}

std::string shift_text(int64_t shift) { return "shift " + signed_hex(shift); }

std::string difference_text(const DiffRun& run) {
    return "difference at " + hex_offset(run.first) + ", " + thousands(run.length) +
           (run.length == 1 ? " byte" : " bytes");
}

std::string no_difference_text(uint64_t from, bool backward) {
    return std::string("no difference ") + (backward ? "before " : "after ") + hex_offset(from);
}

std::string summary_text(uint64_t bytes, uint64_t runs) {
    if (bytes == 0) return "the files are identical";
    return thousands(bytes) + (bytes == 1 ? " byte differs in " : " bytes differ in ") + thousands(runs) +
           (runs == 1 ? " run" : " runs");
}

std::string unreadable_note(const uint64_t unreadable[2]) {
    std::string note;
    for (int f = 0; f < 2; ++f) {
        if (unreadable[f] == 0) continue;
        note += note.empty() ? "; cannot read " : " and ";
        note += thousands(unreadable[f]) + (unreadable[f] == 1 ? " byte of " : " bytes of ") + (f == 0 ? "A" : "B");
    }
    return note;
}

std::string compare_progress_text(uint64_t position, uint64_t span) {
    char text[96];
    const double percent = span ? 100.0 * double(position) / double(span) : 100.0;
    std::snprintf(text, sizeof text, "comparing %s %.0f%%  Esc cancels", hex_offset(position).c_str(), percent);
    return text;
}
