#include "history/view_history.h"

#include <SDL2/SDL_keycode.h>

namespace {

void push_bounded(std::deque<SavedView>& views, const SavedView& view) {
    views.push_back(view);
    if (views.size() > ViewHistory::limit) views.pop_front();
}

}  // namespace

bool SavedView::operator==(const SavedView& other) const {
    if (offset != other.offset || selection.active != other.selection.active) return false;
    return !selection.active ||
           (selection.anchor == other.selection.anchor && selection.moving == other.selection.moving);
}

void ViewHistory::record(const SavedView& left, const SavedView& arrived) {
    if (left == arrived) return;
    push_bounded(back_, left);
    forward_.clear();
}

std::optional<SavedView> ViewHistory::back(const SavedView& current) {
    if (back_.empty()) return std::nullopt;
    const SavedView previous = back_.back();
    back_.pop_back();
    push_bounded(forward_, current);
    return previous;
}

std::optional<SavedView> ViewHistory::forward(const SavedView& current) {
    if (forward_.empty()) return std::nullopt;
    const SavedView next = forward_.back();
    forward_.pop_back();
    push_bounded(back_, current);
    return next;
}

std::optional<SavedView> ViewHistory::before_last_jump(const SavedView& current) {
    if (back_.empty()) return std::nullopt;
    const SavedView previous = back_.back();
    back_.back() = current;
    forward_.clear();
    return previous;
}

bool is_jump_key(int32_t sdl_keycode) {
    switch (sdl_keycode) {
        case SDLK_HOME:
        case SDLK_END:
        case SDLK_F3:
        case SDLK_F4:
        case SDLK_F5:
        case SDLK_F6:
        case SDLK_F7:
        case SDLK_F8:
        case SDLK_F9: return true;
        default: return false;
    }
}
