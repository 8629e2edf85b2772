// Compare: `]` and `[` look for runs of differing bytes on the worker,
// `<` and `>` change the shift, Tab and a press move the focus; each frame's
// overlay carries the second file's page.
#include "core/application.h"

#include "core/page_rules.h"

#include "find/find_state.h"
#include "select/select_rules.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t low32(uint64_t value) { return uint32_t(value); }
uint32_t bits32to47(uint64_t value) { return uint32_t(value >> 32) & 0xFFFF; }

}  // namespace

uint64_t Application::focused_offset_in(int page, uint64_t pair_offset) const {
    if (page == 0) return pair_offset;
    const int64_t in_b = int64_t(pair_offset) + compare.shift;
    return in_b > 0 ? uint64_t(in_b) : 0;
}

uint64_t Application::focused_offset(uint64_t pair_offset) const {
    return focused_offset_in(comparing() ? compare.focus : 0, pair_offset);
}

uint64_t Application::pair_offset(uint64_t focused) const {
    if (!comparing() || compare.focus == 0) return focused;
    const int64_t in_a = int64_t(focused) - compare.shift;
    return in_a > 0 ? uint64_t(in_a) : 0;
}

std::optional<std::pair<uint64_t, uint64_t>> Application::selection_in(int page) const {
    if (!selection.active) return std::nullopt;
    if (!comparing()) return std::make_pair(selection.first(), selection.end());
    // In a compare the selection may reach past either file's end, or lie wholly outside one.
    return selection_in_file(selection.first(), selection.end(), page == 1 ? compare.shift : 0,
                             page == 1 ? file_b.size : file_a.size);
}

std::optional<std::pair<uint64_t, uint64_t>> Application::focused_selection() const {
    return selection_in(comparing() ? compare.focus : 0);
}

void Application::describe_selection(int page, StatusFacts& facts) const {
    facts.selected = selection.active;
    facts.nothing_selected.clear();
    if (!selection.active) return;
    if (const auto range = selection_in(page)) {
        facts.first = range->first;
        facts.end = range->second;
    } else {
        facts.nothing_selected = nothing_selected_text(shown_name(page == 1 ? file_b : file_a));
    }
}

std::string Application::shown_name(const ShownFile& file) const {
    const ShownFile& other = &file == &file_a ? file_b : file_a;
    return file_label(file.path ? file.path : "", other.path ? other.path : "");
}

std::string Application::about(const ShownFile& file, const std::string& message) const {
    return comparing() ? shown_name(file) + ": " + message : message;
}

std::vector<std::string> Application::shown_paths() const {
    std::vector<std::string> paths;
    for (const ShownFile* file : {&file_a, &file_b}) {
        if (file->path) paths.emplace_back(file->path);
    }
    return paths;
}

std::string Application::files_line() const {
    if (!comparing()) return live.line();
    std::string line;
    for (const ShownFile* file : {&file_a, &file_b}) {
        const std::string own = file->live.line();
        if (!own.empty()) line += (line.empty() ? "" : "; ") + about(*file, own);
    }
    return line;
}

bool Application::on_compare_key(const SDL_Keysym& key) {
    if (!comparing() || find.prompt != FindState::Prompt::None) return false;
    if (key.sym == SDLK_ESCAPE && compare.looking) {
        // Let go at once, even in a slow read.
        compare.worker.stop();
        compare.looking = false;
        find.status = "compare cancelled";
        need_redraw = true;
        return true;
    }
    if (key.sym == SDLK_TAB && !(key.mod & (KMOD_CTRL | KMOD_ALT))) {
        compare.focus = 1 - compare.focus;
        inspector.read = false;
        need_redraw = true;
        return true;
    }
    return false;
}

bool Application::on_compare_text(const std::string& typed) {
    if (!comparing()) return false;
    if (typed == "]" || typed == "[") {
        start_difference(typed == "[");
    } else if (typed == "<" || typed == ">") {
        set_shift(compare.shift + (typed == ">" ? 1 : -1));
    } else {
        return false;
    }
    return true;
}

void Application::set_shift(int64_t new_shift) {
    compare.shift = new_shift;
    compare.summary_ready = false;  // until the map of the new pairs of bytes is complete
    if (compare.looking) find.status.clear();  // the look was for the old pairs of bytes
    compare.worker.stop();
    compare.looking = false;
    if (find.prompt == FindState::Prompt::None && !find.searching) find.status = shift_text(new_shift);
    inspector.read = false;
    need_redraw = true;
}

void Application::start_difference(bool backward, std::optional<uint64_t> wrapped_from) {
    if (compare.looking && compare.backward == backward && !wrapped_from) return;  // the look under way is this one
    DiffRequest request;
    request.path_a = fname;
    request.path_b = file_b.path;
    request.shift = compare.shift;
    request.backward = backward;
    if (wrapped_from) {
        request.from = *wrapped_from;
    } else if (selection.active) {
        request.from = backward ? selection.first() : selection.end();
    } else {
        request.from = uint64_t(offset);
    }
    compare.wrapped = wrapped_from.has_value();
    compare.from = request.from;
    compare.backward = backward;
    compare.generation = compare.worker.start(request);
    compare.looking = true;
    find.status = compare_progress_text(request.from, view_size());
    need_redraw = true;
}

void Application::on_difference_notice() {
    const DiffWorker::State state = compare.worker.snapshot();
    if (state.generation != compare.generation || !compare.looking) return;
    need_redraw = true;
    if (state.running) {
        find.status = compare_progress_text(state.progress.position, state.progress.span);
        return;
    }
    compare.looking = false;
    const DiffOutcome& outcome = state.outcome;
    switch (outcome.kind) {
        case DiffOutcome::Kind::Found: {
            const SavedView left = current_view();
            const uint64_t first = outcome.run.first, end = first + outcome.run.length;
            selection.set(first, end);
            const uint64_t shown = uint64_t(offset);
            if (first < shown || first >= shown + page_bytes_for(rows)) {
                offset = view_for_target(first, view_size(), rows);
            }
            find.status = difference_text(outcome.run);
            if (compare.wrapped) find.status += compare.backward ? ", wrapped to the end" : ", wrapped to the start";
            record_jump(left);
            break;
        }
        case DiffOutcome::Kind::NotFound: {
            // Past one end the look goes on from the other, as far as where it
            // started, as a search does; a look that covered the whole pair
            // found the files identical.
            const bool whole = compare.backward ? compare.from >= state.progress.span : compare.from == 0;
            if (whole || compare.wrapped) {
                find.status = summary_text(0, 0) + unreadable_note(outcome.unreadable);
            } else {
                start_difference(compare.backward, compare.backward ? state.progress.span : 0);
            }
            break;
        }
        case DiffOutcome::Kind::Cancelled: find.status = "compare cancelled"; break;
        case DiffOutcome::Kind::Failed: find.status = "compare failed: " + outcome.error; break;
    }
}

void Application::fill_pair_record(OverlayBlock& overlay) {
    if (!comparing()) return;
    const int64_t view_b = second_view();
    const uint64_t base_b = file_b.chunk_offset;
    // A page that starts far before the file's start draws none of its bytes.
    const int64_t first_index = std::max<int64_t>(view_b - int64_t(base_b), -(int64_t{1} << 20));
    overlay.pair[0] = low32(file_b.size);
    overlay.pair[1] = low32(base_b);
    overlay.pair[2] = uint32_t(int32_t(first_index));
    overlay.pair[3] = bits32to47(file_b.size) | (bits32to47(base_b) << 16);
    overlay.pair_view[0] = low32(uint64_t(view_b));
    overlay.pair_view[1] = uint32_t(uint64_t(view_b) >> 32);
    overlay.pair_view[2] = uint32_t(compare.focus);
    const uint64_t span = view_size();
    overlay.pair_span[0] = low32(span);
    overlay.pair_span[1] = uint32_t(span >> 32);
    // Whole: a pair's span, and so the view, may pass the 48 bits of the first file's record.
    overlay.pair_span[2] = low32(uint64_t(offset));
    overlay.pair_span[3] = uint32_t(uint64_t(offset) >> 32);
    std::memcpy(overlay.pair_data, file_b.chunk.data(), std::min(sizeof overlay.pair_data, file_b.chunk.size()));
    add_unreadable(overlay, file_b.live.unreadable, true);
    // The second page's status line: its own file's view, size and
    // selection, then the compare's standing state (the shift, the map's
    // summary once complete) where they fit; the label line says both when
    // they change.
    StatusFacts facts = status_facts();
    facts.offset = uint64_t(std::max<int64_t>(view_b, 0));
    facts.file_size = file_b.size;
    facts.character_device = file_b.character_device;
    describe_selection(1, facts);
    facts.charset.clear();  // named once, on the first page's line
    std::vector<StatusSegment> segments = view_segments(facts);
    if (compare.shift != 0) segments.emplace_back("shift", signed_hex(compare.shift));
    if (file_map.on && compare.summary_ready) {
        segments.emplace_back("", summary_text(compare.differing_bytes, compare.differing_runs) +
                                      unreadable_note(compare.unreadable));
    }
    pack_status_line(segments, overlay.pair_status, status_cells);
}
