// The status line below the page, the help panel beside it, quitting and
// the character set of the upper bytes.
#include "core/application.h"

#include "core/command_line.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// The help's lines in the panel's grid: headings and the keys' column in the
// label colour (bit 7), as the inspector's names; the text as its values.
void pack_help_text(const std::vector<std::string>& lines, uint8_t* codes) {
    std::memset(codes, 0, panel_capacity);
    const size_t key_cells = 27;
    for (size_t l = 0; l < lines.size() && l < size_t(help_panel_lines); ++l) {
        const std::string& line = lines[l];
        const bool heading = !line.empty() && line.back() == ':';
        for (size_t c = 0; c < line.size() && c < size_t(help_cells); ++c) {
            const uint8_t code = uint8_t(line[c]) & 0x7F;
            const bool name = heading || (line[0] == ' ' && c < key_cells);
            codes[l * help_cells + c] = code == ' ' ? code : uint8_t(code | (name ? 0x80 : 0));
        }
    }
}

bool is_saving(const TransferState& transfer) {
    return transfer.busy && transfer.job.kind == TransferWorker::Job::Kind::Save;
}

}  // namespace

StatusFacts Application::status_facts() const {
    StatusFacts facts;
    facts.offset = uint64_t(offset);
    facts.shown_bytes = uint64_t(page_bytes_for(rows));
    facts.file_size = file_size;
    facts.character_device = character_device;
    describe_selection(0, facts);
    if (charset != Charset::Koi8r) facts.charset = charset_name(charset);
    return facts;
}

void Application::add_status_line(OverlayBlock& block) const {
    pack_status_line(status_line.segments(status_facts()), block.status_text, status_cells);
}

int Application::page_width() const {
    // A compare's two pages, then the panel.
    return canvas_width * (comparing() ? 2 : 1) +
           (help_open ? panel_width_for(help_cells) : inspector.open || fields.panel_open ? panel_width : 0);
}

void Application::size_for_panel() {
    // Only the width changes: the height stays what the window has.
    int height = win_height > 0 ? win_height : canvas_height * zoom;
    if (window) {
        SDL_GetWindowSize(window, nullptr, &height);
    }
    size_window(page_width() * zoom, height);
}

bool Application::on_help_key(const SDL_Keysym& key) {
    const bool f1 = key.sym == SDLK_F1 && !(key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_SHIFT));
    const bool escape = key.sym == SDLK_ESCAPE && help_open && find.prompt == FindState::Prompt::None;
    if (!f1 && !escape) return false;
    help_open = f1 && !help_open;
    size_for_panel();
    return true;
}

void Application::add_help_panel(OverlayBlock& block) const {
    static const std::vector<std::string> lines(help_lines().begin() + 1, help_lines().end());
    block.panel[0] = 1;
    block.panel[1] = help_cells;
    block.panel[2] = help_panel_lines;
    pack_help_text(lines, block.panel_text);
}

bool Application::on_quit_key(const SDL_Keysym& key) {
    const bool ctrl_only = (key.mod & KMOD_CTRL) && !(key.mod & (KMOD_SHIFT | KMOD_ALT));
    const bool quit = ctrl_only && (key.sym == SDLK_q || (key.sym == SDLK_w && find.prompt == FindState::Prompt::None));
    if (!quit) {
        if (key.sym != SDLK_q) quit_armed = false;  // q itself arrives as text
        return false;
    }
    request_quit();
    return true;
}

void Application::request_quit() {
    if (is_saving(transfer) && !quit_armed) {
        quit_armed = true;
        need_redraw = true;
        return;
    }
    // Cancelled, and waited for a moment: its unnamed file goes with it, or,
    // past its last step, the whole file is there. A save stuck in a slow
    // read is not waited for: its temporary file goes with the process, or,
    // where it has a name, the next save there removes it.
    if (is_saving(transfer)) {
        transfer.worker.cancel();
        transfer.worker.wait_for(std::chrono::milliseconds(300));
    }
    transfer.worker.stop();
    quit_requested = true;
}

bool Application::on_charset_key(const SDL_Keysym& key) {
    if (!(key.mod & KMOD_CTRL) || (key.mod & KMOD_ALT) || key.sym != SDLK_t) return false;
    charset = next_charset(charset);
    need_redraw = true;
    return true;
}
