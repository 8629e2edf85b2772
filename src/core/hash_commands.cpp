// Hashes of the selection: `#` opens the menu, one key starts the worker,
// whose notices arrive as events; the digest goes to the label line and the
// clipboard.
#include "core/application.h"

#include "hash/hash_kind.h"

namespace {

const size_t label_cells = 60;

}  // namespace

bool Application::on_hash_text(const std::string& typed) {
    if (typed != "#") return false;
    hash.menu = true;
    need_redraw = true;
    return true;
}

bool Application::on_hash_key(const SDL_Keysym& key) {
    if (hash.menu) {
        // One key picks the hash; any other, Esc among them, closes the
        // menu. A modifier alone waits.
        const SDL_Scancode code = key.scancode;
        if (code >= SDL_SCANCODE_LCTRL && code <= SDL_SCANCODE_RGUI) return true;
        hash.menu = false;
        need_redraw = true;
        const bool plain = !(key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_SHIFT));
        const auto kind = key.sym < 0x80 ? hash_menu_kind(char(key.sym)) : std::nullopt;
        if (kind && plain) start_hash(*kind);
        return true;
    }
    if (hash.busy && key.sym == SDLK_ESCAPE && find.prompt == FindState::Prompt::None) {
        hash.worker.cancel();  // its last notice reports the cancel
        return true;
    }
    return false;
}

void Application::start_hash(HashKind kind) {
    // The selection in the focused file, or the whole of it.
    const auto range =
        selection.active ? focused_selection() : std::optional(std::pair<uint64_t, uint64_t>{0, focused_file().size});
    if (!range) {
        find.status = nothing_selected_text(shown_name(focused_file()));
        return;
    }
    const auto [first, end] = *range;
    HashJob job;
    job.path = focused_file().path;
    job.kind = kind;
    job.first = first;
    job.length = end - first;
    hash.job = job;
    hash.generation = ::start_hash(hash.worker, std::move(job));
    hash.busy = true;
    find.status = hash_progress_line(kind, 0, hash.job.length, 0);
}

void Application::on_hash_notice() {
    const HashRunState state = hash.worker.snapshot();
    if (state.generation != hash.generation || !hash.busy) return;
    const HashJob& job = hash.job;
    need_redraw = true;
    if (state.running) {
        find.status = hash_progress_line(job.kind, state.done, job.length, state.seconds);
        return;
    }
    hash.busy = false;
    switch (state.outcome.kind) {
        case HashOutcome::Kind::Done:
            find.status = hash_result_line(job.kind, job.first, job.first + job.length, state.outcome.digest, label_cells);
            if (SDL_SetClipboardText(state.outcome.digest.c_str()) == 0) {
                SDL_SetPrimarySelectionText(state.outcome.digest.c_str());
            }
            break;
        case HashOutcome::Kind::Cancelled:
            find.status = "hash cancelled";
            break;
        case HashOutcome::Kind::Failed:
            find.status = std::string("no ") + hash_name(job.kind) + ": " + state.outcome.error;
            break;
    }
}
