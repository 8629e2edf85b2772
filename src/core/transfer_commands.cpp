// Copy and save: the keys start the worker, whose notices arrive as events;
// the save prompt is one of the find prompts.
#include "core/application.h"

#include "compare/compare_state.h"
#include "transfer/clipboard_limit.h"
#include "transfer/save_file.h"
#include "transfer/transfer_format.h"

#include <malloc.h>

#include <optional>

namespace {

const uint64_t copy_limit = uint64_t{16} << 20;

using Kind = TransferWorker::Job::Kind;

// The copy menu's keys.
std::optional<Kind> copy_menu_kind(SDL_Keycode key) {
    switch (key) {
        case SDLK_h: return Kind::CopyHex;
        case SDLK_t: return Kind::CopyText;
        case SDLK_c: return Kind::CopyCArray;
        case SDLK_b: return Kind::CopyBase64;
        case SDLK_x: return Kind::CopyDump;
        case SDLK_p: return Kind::CopyPython;
        default: return std::nullopt;
    }
}

const char* copied_as(Kind kind) {
    switch (kind) {
        case Kind::CopyText: return " as text";
        case Kind::CopyCArray: return " as a C array";
        case Kind::CopyBase64: return " as base64";
        case Kind::CopyDump: return " as a dump";
        case Kind::CopyPython: return " as Python bytes";
        default: return " as hex";
    }
}

}  // namespace

std::string Application::shown_refusal(const std::string& shown_path) const {
    const ShownFile& file = comparing() && file_b.path && shown_path == file_b.path ? file_b : file_a;
    return shown_name(file) + " is shown here; choose another name";
}

bool Application::on_transfer_key(const SDL_Keysym& key) {
    const bool ctrl = key.mod & KMOD_CTRL;
    const bool shift = key.mod & KMOD_SHIFT;
    const bool alt = key.mod & KMOD_ALT;
    if (transfer.copy_menu) {
        // One key picks the form; any other, Esc among them, closes the
        // menu. A modifier alone, as Shift on its way to P, waits.
        const SDL_Scancode code = key.scancode;
        if (code >= SDL_SCANCODE_LCTRL && code <= SDL_SCANCODE_RGUI) return true;
        transfer.copy_menu = false;
        need_redraw = true;
        const bool plain = !(key.mod & (KMOD_CTRL | KMOD_ALT));
        if (const auto kind = copy_menu_kind(key.sym); kind && plain) start_copy(*kind);
        return true;
    }
    const bool enter = key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER;
    if (find.prompt == FindState::Prompt::Save) {
        if (!enter) return false;  // the prompt's editing keys
        if (find.input.empty()) return true;
        find.prompt = FindState::Prompt();
        start_save(find.input, false, find.save_first, find.save_end);
        return true;
    }
    if (!transfer.replace_name.empty()) {
        const std::string name = std::move(transfer.replace_name);
        transfer.replace_name.clear();
        if (enter) {
            // The range asked about, not whatever is selected now.
            start_save(name, true, transfer.job.first, transfer.job.first + transfer.job.length);
            return true;
        }
        if (key.sym == SDLK_ESCAPE) {
            find.status.clear();
            need_redraw = true;
            return true;
        }
    }
    if (transfer.busy && key.sym == SDLK_ESCAPE) {
        transfer.worker.cancel();  // its last notice reports the cancel
        return true;
    }
    const bool copy = ctrl && key.sym == SDLK_c;
    const bool save = ctrl && !shift && key.sym == SDLK_s;
    if ((!copy && !save) || find.prompt != FindState::Prompt()) return false;
    need_redraw = true;
    if (transfer.busy) return true;  // one at a time; its line stays
    if (!selection.active) {
        find.status = "nothing selected";
        return true;
    }
    // In a compare the selection may hold no byte of the focused file.
    const auto range = focused_selection();
    if (!range) {
        find.status = nothing_selected_text(shown_name(focused_file()));
        return true;
    }
    if (save) {
        open_prompt(FindState::Prompt::Save, false);
        // The range is the one the prompt opens for, in the focused file's offsets.
        const auto [first, end] = *range;
        find.save_first = first;
        find.save_end = end;
        find.input = default_save_name(focused_file().standard_input ? "stdin" : focused_file().path, first, end > first ? end - 1 : first);
        return true;
    }
    if (alt) {
        transfer.copy_menu = true;
        return true;
    }
    // In the form of the column the selection was made in; with Shift the other.
    start_copy(selection.in_characters != shift ? Kind::CopyText : Kind::CopyHex);
    return true;
}

void Application::start_copy(TransferWorker::Job::Kind kind) {
    // From the focused file, in its offsets; on_transfer_key made sure it holds some.
    const auto range = focused_selection();
    if (!range) return;
    const auto [first, end] = *range;
    const uint64_t length = end - first;
    if (length > copy_limit) {
        find.status = "too large to copy (" + exact_size_text(length) + "): Ctrl+S saves it";
        return;
    }
    TransferWorker::Job job;
    job.kind = kind;
    job.charset = charset;
    job.path = focused_file().path;
    job.first = first;
    job.length = length;
    transfer.job = job;
    transfer.generation = transfer.worker.start(std::move(job));
    transfer.busy = true;
    find.status = "copying  Esc cancels";
}

void Application::start_save(const std::string& name, bool replace, uint64_t first, uint64_t end) {
    need_redraw = true;
    // The file may have shrunk since the range was chosen (a log rotated by
    // copy and truncate): never write fewer bytes than the range. The worker
    // checks again as it copies.
    const FileRead now = read_file_at(focused_file().path, 0, 0, nullptr);
    if (now.failure == FileRead::Failure::None && end > now.size) {
        find.status = about(focused_file(), "the file is shorter now than the selection; nothing written");
        return;
    }
    // No shown file is ever a target, by any name; the worker looks again before the rename.
    const std::vector<std::string> shown = shown_paths();
    if (const int index = shown_file_named(name, shown); index >= 0) {
        find.status = shown_refusal(shown[size_t(index)]);
        return;
    }
    TransferWorker::Job job;
    job.kind = TransferWorker::Job::Kind::Save;
    job.path = focused_file().path;
    job.first = first;
    job.length = end - first;
    job.target = name;
    job.replace = replace;
    job.shown = shown;
    transfer.job = job;
    transfer.generation = transfer.worker.start(std::move(job));
    transfer.busy = true;
    find.status = save_progress_line(0, transfer.job.length, 0);
}

void Application::on_transfer_notice() {
    const TransferWorker::State state = transfer.worker.snapshot();
    if (state.generation != transfer.generation || !transfer.busy) return;
    const TransferWorker::Job& job = transfer.job;
    const bool saving = job.kind == TransferWorker::Job::Kind::Save;
    need_redraw = true;
    if (state.running) {
        if (saving) find.status = save_progress_line(state.done, job.length, state.seconds);
        return;
    }
    transfer.busy = false;
    const std::string what = saving ? "save" : "copy";
    switch (state.outcome.kind) {
        case TransferOutcome::Kind::Done:
            if (saving) {
                find.status = "saved " + size_text(job.length) + " to " + job.target;
            } else {
                std::string text = transfer.worker.take_text();
                const std::string copied = "copied " + size_text(job.length) + copied_as(job.kind);
                if (text.size() > clipboard_limit(window)) {
                    find.status = transfer.long_text.offer(std::move(text))
                                      ? copied
                                      : "too large for the clipboard (" + size_text(job.length) + "): Ctrl+S saves it";
                } else if (SDL_SetClipboardText(text.c_str()) != 0) {
                    find.status = std::string("copy failed: ") + SDL_GetError();
                } else {
                    SDL_SetPrimarySelectionText(text.c_str());
                    find.status = copied;
                }
            }
            break;
        case TransferOutcome::Kind::Cancelled:
            find.status = saving ? "save cancelled: nothing written" : "copy cancelled";
            break;
        case TransferOutcome::Kind::Failed:
            // A copy fails only on its file; a save on either end, and its reasons say which.
            find.status = what + " failed: " + state.outcome.error + (saving ? "; nothing written" : "");
            if (!saving) find.status = about(focused_file(), find.status);
            break;
        case TransferOutcome::Kind::Exists:
            find.status = job.target + " exists: Enter replaces it";
            transfer.replace_name = job.target;
            break;
        case TransferOutcome::Kind::Shown:
            find.status = shown_refusal(state.outcome.error);
            break;
    }
    // The copy's text and blocks go back to the system, not to the heap's free lists.
    malloc_trim(0);
}
