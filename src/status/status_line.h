#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The status line below the page: where the view is, how big the file is,
// the selection, and the standing state that other features put on it.
// A segment is a label (drawn in the label line's green) and a value (drawn
// as the label line's messages); either may be empty.
struct StatusSegment {
    std::string label;
    std::string value;

    bool operator==(const StatusSegment& other) const { return label == other.label && value == other.value; }
};

// What the viewer's own segments say.
struct StatusFacts {
    uint64_t offset = 0;     // of the first shown row
    uint64_t file_size = 0;
    bool character_device = false;  // has no size to show
    bool selected = false;
    uint64_t first = 0, end = 0;    // the selection, its end exclusive
    std::string nothing_selected;   // said instead when the selection holds no byte of this file
    std::string charset;     // the set bytes 128 to 255 are drawn in; "" for the default
};

// "at 7e00 12%", "size 1f400 125 KiB" (or the character device's line),
// "7e00..7eff, 256 bytes", "charset latin-1".
std::vector<StatusSegment> view_segments(const StatusFacts& facts);

// How far into a file of `size` bytes `offset` is, in whole percent
// (rounded down, so that 100% is the end itself).
unsigned percent_into(uint64_t offset, uint64_t size);

// Segments other features keep on the line while their state stands, each
// under its owner's name, after the view's own and in the order first put.
class StatusLine {
public:
    // Puts or replaces the owner's segments; none removes them.
    void put(const std::string& owner, std::vector<StatusSegment> segments);
    void remove(const std::string& owner) { put(owner, {}); }
    // The view's segments followed by the standing ones.
    std::vector<StatusSegment> segments(const StatusFacts& facts) const;

private:
    std::vector<std::pair<std::string, std::vector<StatusSegment>>> standing_;
};

// Lays the segments out as `cells` glyph codes: a blank between a label and
// its value, two between segments, 0 past the end. A label's codes carry
// bit 7. What does not fit is cut at the right, a whole glyph at a time; a
// character outside ASCII shows as '?'.
void pack_status_line(const std::vector<StatusSegment>& segments, uint8_t* codes, size_t cells);
