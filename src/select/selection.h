#pragma once

#include <algorithm>
#include <cstdint>

// The selected bytes: every byte from one end to the other, both included.
// The anchor stays where the selection began; the moving end follows the
// pointer or the Shift keys. An active selection holds at least one byte.
struct Selection {
    bool active = false;
    uint64_t anchor = 0;
    uint64_t moving = 0;
    bool in_characters = false;  // made by a press or drag in the character column

    // A drag of the left button that selects: the pointer's last canvas
    // position, and the timer that scrolls while it is held above or below
    // the rows (0: none runs).
    struct Drag {
        bool held = false;
        double x = 0, y = 0;
        int timer = 0;
    } drag;

    uint64_t first() const { return std::min(anchor, moving); }
    uint64_t last() const { return std::max(anchor, moving); }
    uint64_t end() const { return last() + 1; }  // one past the last byte
    uint64_t length() const { return active ? last() - first() + 1 : 0; }

    // Selects [first, end); an empty range clears the selection.
    void set(uint64_t range_first, uint64_t range_end) {
        active = range_end > range_first;
        anchor = range_first;
        moving = active ? range_end - 1 : range_first;
        in_characters = false;
    }
    void clear() { active = false; }
};
