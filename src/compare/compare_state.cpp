#include "compare/compare_state.h"

#include "base/offset_text.h"

#include <algorithm>
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

std::string file_label(const std::string& path, const std::string& other_path) {
    auto base = [](const std::string& p) {
        const size_t slash = p.find_last_of('/', p.find_last_not_of('/'));
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        return name.substr(0, name.find_last_not_of('/') + 1);
    };
    const std::string name = base(path);
    return name.empty() || name == base(other_path) ? path : name;
}

std::optional<std::pair<uint64_t, uint64_t>> selection_in_file(uint64_t first, uint64_t end, int64_t shift,
                                                               uint64_t size) {
    // Offsets and shifts stay below 2^48, so their sums fit in 64 signed bits.
    const int64_t from = std::max<int64_t>(int64_t(first) + shift, 0);
    const int64_t to = std::min<int64_t>(int64_t(end) + shift, int64_t(size));
    if (to <= from) return std::nullopt;
    return std::make_pair(uint64_t(from), uint64_t(to));
}

std::string nothing_selected_text(const std::string& label) { return "no bytes of " + label + " selected"; }
