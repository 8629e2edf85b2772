// Find and go-to: keys and typed text open, edit and run the prompts; the
// search runs on the worker, whose notices arrive as events.
#include "core/application.h"

#include "core/page_rules.h"
#include "base/goto_target.h"
#include "select/goto_range.h"

#include <cctype>
#include <utility>

namespace {

void pop_character(std::string& text) {
    while (!text.empty()) {
        const bool continuation = (uint8_t(text.back()) & 0xC0) == 0x80;
        text.pop_back();
        if (!continuation) return;
    }
}

// The last word and the spaces after it.
void pop_word(std::string& text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.back() != ' ') text.pop_back();
}

// Whether SDL's text for a key is typing. It reports the text of keys
// pressed with Ctrl or Alt too (Alt+C as "c", Ctrl+0 as "0"), which is not.
// AltGr still types the character it makes: X11 reports it as right Alt,
// other systems as Mode or as Ctrl+Alt, and the text then differs from the
// key's own character.
bool typed(const SDL_Keysym& key, const std::string& text) {
    if (!(key.mod & (KMOD_CTRL | KMOD_ALT))) return true;
    const bool altgr = (key.mod & (KMOD_MODE | KMOD_RALT)) || ((key.mod & KMOD_CTRL) && (key.mod & KMOD_ALT));
    if (!altgr) return false;
    std::string own;  // the key's character as UTF-8
    const SDL_Keycode c = key.sym;
    if (c < 0x80) {
        own = {char(c)};
    } else if (c < 0x800) {
        own = {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        own = {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    }
    const bool shifted = own.size() == 1 && text.size() == 1 && std::toupper(uint8_t(own[0])) == uint8_t(text[0]);
    return text != own && !shifted;
}

}  // namespace

void Application::open_prompt(FindState::Prompt prompt, bool backward) {
    find.prompt = prompt;
    find.backward = backward;
    find.input.clear();
    find.input_remembered = false;
    if (prompt == FindState::Prompt::Search && !find.last_input.empty()) {
        find.input = find.last_input;
        find.input_remembered = true;
        find.text_mode = find.last_text_mode;
        find.ignore_case = find.last_ignore_case;
    }
    need_redraw = true;
}

bool Application::on_find_key(const SDL_Keysym& key) {
    const bool ctrl = key.mod & KMOD_CTRL;
    const bool alt = key.mod & KMOD_ALT;
    if (find.prompt != FindState::Prompt::None) {
        switch (key.sym) {
            case SDLK_ESCAPE: find.prompt = FindState::Prompt::None; break;
            case SDLK_BACKSPACE:
                find.input_remembered = false;
                if (ctrl) {
                    pop_word(find.input);
                } else {
                    pop_character(find.input);
                }
                break;
            case SDLK_u:
                if (!ctrl) return false;
                find.input_remembered = false;
                find.input.clear();
                break;
            case SDLK_w:
                if (!ctrl) return false;
                find.input_remembered = false;
                pop_word(find.input);
                break;
            case SDLK_RETURN:
            case SDLK_KP_ENTER: run_prompt(); break;
            case SDLK_TAB:
                if (find.prompt != FindState::Prompt::Search) return false;
                find.text_mode = !find.text_mode;
                break;
            case SDLK_c:
                if (!alt || find.prompt != FindState::Prompt::Search || !find.text_mode) return false;
                find.ignore_case = !find.ignore_case;
                break;
            default: return false;
        }
        need_redraw = true;
        return true;
    }
    if (ctrl && key.sym == SDLK_g) {
        open_prompt(FindState::Prompt::Goto, false);
        return true;
    }
    if (ctrl && key.sym == SDLK_f) {
        open_prompt(FindState::Prompt::Search, false);
        return true;
    }
    if (key.sym == SDLK_ESCAPE) {
        if (find.searching) {
            // Let go at once, even in a slow read.
            search_worker.stop();
            find.searching = false;
            find.status = "search cancelled";
            need_redraw = true;
        } else if (selection.active || !find.status.empty()) {
            selection.clear();
            find.status.clear();
            need_redraw = true;
        }
        return true;
    }
    // A result stays until the next key.
    if (!find.searching && !compare.looking && !find.status.empty()) {
        find.status.clear();
        need_redraw = true;
    }
    return false;
}

void Application::on_text_input(const char* text) {
    const std::optional<SDL_Keysym> key = std::exchange(text_key, SDL_Keysym{});
    if (!key || !typed(*key, text)) return;
    if (find.prompt != FindState::Prompt::None) {
        if (std::exchange(find.input_remembered, false)) find.input.clear();
        for (const char* c = text; *c; ++c) {
            if (uint8_t(*c) >= 0x20 && *c != 0x7f) find.input.push_back(*c);
        }
        need_redraw = true;
        return;
    }
    const std::string typed(text);
    if (on_history_text(typed) || on_identify_text(typed) || on_compare_text(typed) || on_hash_text(typed) ||
        on_structure_text(typed)) {
        return;
    }
    if (typed == ":") {
        open_prompt(FindState::Prompt::Goto, false);
    } else if (typed == "/" || typed == "?") {
        open_prompt(FindState::Prompt::Search, typed == "?");
    } else if (typed == "n" || typed == "N") {
        if (find.last_pattern.valid()) {
            start_search(find.last_pattern, typed == "N");
        } else {
            find.status = "no search yet: / searches";
            need_redraw = true;
        }
    } else if (typed == "q") {
        request_quit();
    }
}

void Application::run_prompt() {
    if (find.prompt == FindState::Prompt::Goto && !find.input.empty() && find.input[0] == '@') {
        find.prompt = FindState::Prompt::None;
        go_to_field(find.input.substr(1));
        return;
    }
    if (find.prompt == FindState::Prompt::Goto) {
        // Typed in the focused file's offsets; partitions are the first file's.
        const GotoRange target =
            comparing() && compare.focus == 1
                ? parse_goto_range(find.input, file_b.size, focused_offset(uint64_t(offset)))
                : parse_goto_range(find.input, file_size, uint64_t(offset), find.partitions);
        if (!target.valid) return;  // the prompt shows why
        find.prompt = FindState::Prompt::None;
        const SavedView left = current_view();
        const uint64_t first = pair_offset(target.first);
        offset = view_for_target(first, view_size(), rows);
        selection.set(first, first + (target.end - target.first));
        find.status = target.is_range ? "selected " + range_text(target.first, target.end)
                                      : "at " + hex_offset(target.first) + " " + decimal_offset(target.first);
        record_jump(left);
        return;
    }
    const SearchPattern pattern = find.pattern();
    if (!pattern.valid()) return;
    find.prompt = FindState::Prompt::None;
    find.last_pattern = pattern;
    find.last_input = find.input;
    find.last_text_mode = find.text_mode;
    find.last_ignore_case = find.ignore_case;
    start_search(pattern, find.backward);
}

void Application::start_search(const SearchPattern& pattern, bool backward) {
    SearchRequest request;
    request.pattern = pattern;
    request.backward = backward;
    // In the focused file, in its own offsets.
    const uint64_t size = focused_file().size;
    const uint64_t shown = focused_offset(uint64_t(offset));
    if (selection.active) {
        request.from = backward ? focused_offset(selection.first()) : focused_offset(selection.first()) + 1;
    } else {
        request.from = backward ? std::min(size, shown + page_bytes_for(rows)) : shown;
    }
    find.search_generation = search_worker.start(focused_file().path, request);
    find.searching = true;
    find.search_backward = backward;
    find.status = progress_line(request.from, size, 0, 0);
    need_redraw = true;
}

void Application::on_search_notice() {
    const SearchWorker::State state = search_worker.snapshot();
    if (state.generation != find.search_generation || !find.searching) {
        return;  // from a search that was replaced
    }
    need_redraw = true;
    if (state.running) {
        find.status = progress_line(state.progress.position, state.progress.file_size, state.progress.bytes_done,
                                    state.seconds);
        return;
    }
    find.searching = false;
    const SearchOutcome& outcome = state.outcome;
    switch (outcome.kind) {
        case SearchOutcome::Kind::Found: {
            // A match in the focused file moves the pair.
            const uint64_t first = pair_offset(outcome.offset);
            const uint64_t end = first + find.last_pattern.bytes.size();
            const SavedView left = current_view();
            selection.set(first, end);
            const uint64_t shown = uint64_t(offset);
            if (first < shown || end > shown + page_bytes_for(rows)) {
                offset = view_for_target(first, view_size(), rows);
            }
            find.status = "found at " + hex_offset(outcome.offset) + " " + decimal_offset(outcome.offset);
            if (outcome.wrapped) {
                find.status += find.search_backward ? ", wrapped to the end" : ", wrapped to the start";
            }
            record_jump(left);
            break;
        }
        case SearchOutcome::Kind::NotFound: find.status = "not found"; break;
        case SearchOutcome::Kind::Cancelled: find.status = "search cancelled"; break;
        case SearchOutcome::Kind::Failed: find.status = "search failed: " + outcome.error; break;
        case SearchOutcome::Kind::Changed: find.status = "the file changed: search again"; break;
    }
    if (outcome.unreadable > 0 && outcome.kind != SearchOutcome::Kind::Changed) {
        find.status += "; cannot read " + hex_offset(outcome.unreadable) + " bytes";
    }
}

OverlayBlock Application::overlay_block() const {
    OverlayBlock block =
        make_overlay_block(label_line(), selection.active, selection.first(), selection.end(), rows);
    if (help_open) {
        add_help_panel(block);
    } else if (fields.panel_open) {
        add_structure_panel(block);
    } else {
        add_inspector_panel(block);
    }
    add_status_line(block);
    add_unreadable(block, live.unreadable);
    return block;
}
