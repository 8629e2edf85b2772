#pragma once

#include "select/selection.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

// A view the user can come back to: the first shown row and the selection.
struct SavedView {
    int64_t offset = 0;
    Selection selection;

    bool operator==(const SavedView& other) const;
};

// The views that jumps left, as a browser keeps pages: going back steps
// through them, going forward returns, and a new jump forgets the views
// ahead. Only the last `limit` views are kept.
class ViewHistory {
public:
    static constexpr size_t limit = 100;

    // A jump is leaving `left` (nothing is kept when it is `arrived`).
    void record(const SavedView& left, const SavedView& arrived);
    // The view to show instead of `current`, or nothing at either end.
    std::optional<SavedView> back(const SavedView& current);
    std::optional<SavedView> forward(const SavedView& current);
    // The view before the last jump, which `current` then takes the place
    // of: used twice, it comes back to where it started.
    std::optional<SavedView> before_last_jump(const SavedView& current);

    size_t back_count() const { return back_.size(); }
    size_t forward_count() const { return forward_.size(); }

private:
    std::deque<SavedView> back_;
    std::deque<SavedView> forward_;
};

// Marks `a` to `z`, each a file offset, for as long as the viewer runs.
class Marks {
public:
    static bool is_name(char name) { return name >= 'a' && name <= 'z'; }
    void set(char name, uint64_t at) { marks_[size_t(name - 'a')] = at; }
    std::optional<uint64_t> get(char name) const { return marks_[size_t(name - 'a')]; }

private:
    std::array<std::optional<uint64_t>, 26> marks_;
};

// What a typed `m` or `'` waits for: the letter that completes it.
enum class PendingMark { None, Set, Jump };

// Everything the viewer remembers of where the user has been.
struct NavigationMemory {
    ViewHistory history;
    Marks marks;
    PendingMark pending = PendingMark::None;
};

// Keys whose move is a jump (more than a screen at once): Home, End and
// the function keys that step by powers of two.
bool is_jump_key(int32_t sdl_keycode);
