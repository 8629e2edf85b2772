// Going back and forth through jumps, and marks: every jump records the view
// it left, and the keys and marks bring views back.
#include "core/application.h"

#include "select/select_rules.h"

#include "core/page_rules.h"
#include "find/find_state.h"
#include "base/goto_target.h"
#include "select/goto_range.h"

SavedView Application::current_view() const { return {clamp_to_file(offset, view_size()), selection}; }

void Application::record_jump(const SavedView& left) { navigation_memory.history.record(left, current_view()); }

void Application::restore_view(const SavedView& view) {
    offset = view.offset;
    const Selection::Drag drag = selection.drag;  // a drag in progress is the pointer's, not the view's
    selection = view.selection;
    selection.drag = drag;
    selection = cut_to_size(selection, view_size());
    need_redraw = true;
}

bool Application::on_history_key(const SDL_Keysym& key) {
    if (!(key.mod & KMOD_ALT) || (key.mod & (KMOD_CTRL | KMOD_SHIFT))) return false;
    std::optional<SavedView> view;
    if (key.sym == SDLK_LEFT) {
        view = navigation_memory.history.back(current_view());
    } else if (key.sym == SDLK_RIGHT) {
        view = navigation_memory.history.forward(current_view());
    } else {
        return false;
    }
    if (view) restore_view(*view);
    return true;
}

bool Application::on_history_text(const std::string& typed) {
    NavigationMemory& memory = navigation_memory;
    const PendingMark pending = memory.pending;
    memory.pending = PendingMark::None;
    if (pending == PendingMark::None) {
        if (typed == "m") memory.pending = PendingMark::Set;
        if (typed == "'") memory.pending = PendingMark::Jump;
        return memory.pending != PendingMark::None;
    }
    const char name = typed.size() == 1 ? typed[0] : 0;
    if (pending == PendingMark::Jump && name == '\'') {
        if (const auto view = memory.history.before_last_jump(current_view())) restore_view(*view);
        return true;
    }
    if (!Marks::is_name(name)) return true;  // a mark takes a letter: anything else ends the command
    if (pending == PendingMark::Set) {
        const uint64_t at = selection.active ? selection.first() : uint64_t(current_view().offset);
        memory.marks.set(name, at);
        find.status = std::string("mark ") + name + " at " + hex_offset(at);
    } else if (const auto at = memory.marks.get(name)) {
        const SavedView left = current_view();
        offset = view_for_target(*at, view_size(), rows);
        record_jump(left);
    } else {
        find.status = std::string("no mark ") + name;
    }
    need_redraw = true;
    return true;
}

namespace {

[[noreturn]] void refuse_start(const std::string& option, const std::string& expression, std::string reason) {
    if (reason.empty()) reason = "an offset expected";
    const std::string separator = option == "+" ? "" : " ";
    throw StartError("quirn: " + option + separator + expression + ": " + reason);
}

}  // namespace

// --select places the view on the range's first row; --at, when given too,
// then places the view where it says.
void Application::apply_start_position() {
    const StartPosition& start = start_position;
    if (!start.shift_option.empty()) {
        // Any go-to form, of the second file; -N shifts the other way.
        const bool negative = !start.shift.empty() && start.shift[0] == '-';
        const GotoTarget target = parse_goto(negative ? start.shift.substr(1) : start.shift, file_b.size, 0);
        if (!target.valid) refuse_start(start.shift_option, start.shift, target.error);
        compare.shift = negative ? -int64_t(target.offset) : int64_t(target.offset);
    }
    // A partition named at start is read for it before the window opens.
    if ((start.select + start.at).find_first_of("pP") != std::string::npos) {
        find.partitions = partition_spans(read_partition_table(fname));
    }
    if (!start.select_option.empty()) {
        const GotoRange range = parse_goto_range(start.select, view_size(), 0, find.partitions);
        if (!range.valid) refuse_start(start.select_option, start.select, range.error);
        selection.set(range.first, range.end);
        offset = int64_t(range.first & ~uint64_t(row_bytes - 1));
    }
    if (!start.at_option.empty()) {
        const GotoTarget target = parse_goto(start.at, view_size(), 0, find.partitions);
        if (!target.valid) refuse_start(start.at_option, start.at, target.error);
        offset = int64_t(target.offset & ~uint64_t(row_bytes - 1));
    }
}
