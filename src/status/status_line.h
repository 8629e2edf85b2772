#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What a segment is worth when the line is too short for all of them: the
// line keeps the offset first, then the selection, then the size, then the
// rest, and leaves out whole what does not fit.
enum class StatusRank { Offset, Selection, Size, Rest };

// The status line below the page: where the view is, how big the file is,
// the selection, and the standing state that other features put on it.
// A segment is a label (drawn in the label line's green) and a value (drawn
// as the label line's messages); either may be empty.
struct StatusSegment {
    std::string label;
    std::string value;
    StatusRank rank = StatusRank::Rest;

    StatusSegment(std::string label_, std::string value_, StatusRank rank_ = StatusRank::Rest)
        : label(std::move(label_)), value(std::move(value_)), rank(rank_) {}
    bool operator==(const StatusSegment& other) const { return label == other.label && value == other.value; }
    // Its glyph cells: the label, a blank, the value.
    size_t cells() const;
};

// What the viewer's own segments say.
struct StatusFacts {
    uint64_t offset = 0;     // of the first shown row
    uint64_t shown_bytes = 0;  // the bytes the rows shown hold: a view that reaches the end is at 100%
    uint64_t file_size = 0;
    bool character_device = false;  // has no size to show
    bool selected = false;
    uint64_t first = 0, end = 0;    // the selection, its end exclusive
    std::string nothing_selected;   // said instead when the selection holds no byte of this file
    std::string charset;     // the set bytes 128 to 255 are drawn in; "" for the default
};

// "at 7e00 12%", "size 0x1f400 = 125.0 KiB" (or the character device's
// line), "7e00..7eff, 256 bytes", "charset latin-1".
std::vector<StatusSegment> view_segments(const StatusFacts& facts);

// "0x1f4 = 500 bytes", "0x10000000000 = 1.0 TiB": the size as one number,
// in hexadecimal and in the largest unit it holds one of (tenths cut, never
// rounded up to the next unit).
std::string size_segment_text(uint64_t size);

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

// The segments that fit `cells` glyph cells with two blanks between them,
// in their own order: taken by rank (in order within one rank) while they
// fit; one that does not is left out whole, and a later, shorter one may
// still be taken.
std::vector<StatusSegment> fit_segments(const std::vector<StatusSegment>& segments, size_t cells);

// Lays out the segments that fit as `cells` glyph codes: a blank between a
// label and its value, two between segments, 0 past the end. A label's
// codes carry bit 7; a character outside ASCII shows as '?'.
void pack_status_line(const std::vector<StatusSegment>& segments, uint8_t* codes, size_t cells);
