// The inspector: Ctrl+I shows or hides the panel right of the page, which
// reads the values of the bytes at the selection (or the first shown byte).
#include "core/application.h"

#include "inspect/inspector.h"

#include <algorithm>
#include <cstring>

bool Application::on_inspect_key(const SDL_Keysym& key) {
    if (!(key.mod & KMOD_CTRL) || key.sym != SDLK_i) {
        return false;
    }
    // Shown in the help's place, the inspector comes back at once.
    inspector.open = !inspector.open || help_open || fields.panel_open;
    help_open = false;
    fields.panel_open = false;
    inspector.read = false;  // the file may have changed while the panel was hidden
    size_for_panel();
    return true;
}

// Runs after the frame's window check and load, so that the bytes come from
// the window when they lie in it.
void Application::refresh_inspector() {
    if (!inspector.open) {
        return;
    }
    // The focused file's bytes, in its own offsets.
    ShownFile& file = focused_file();
    const uint64_t wanted = focused_offset(selection.active ? selection.first() : uint64_t(offset));
    if (inspector.read && inspector.read_offset == wanted && inspector.read_size == file.size) {
        return;
    }
    const uint64_t count = wanted < file.size ? std::min<uint64_t>(sizeof inspector.bytes, file.size - wanted) : 0;
    uint8_t bytes[sizeof inspector.bytes] = {};
    uint64_t readable = count;  // values end at the first byte that could not be read: they show "-"
    if (wanted >= file.chunk_offset && wanted - file.chunk_offset + count <= file.chunk.size()) {
        std::memcpy(bytes, file.chunk.data() + (wanted - file.chunk_offset), count);
        const std::vector<uint8_t>& unreadable = file.live.unreadable;
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t at = wanted - file.chunk_offset + i;
            if (at / 8 < unreadable.size() && (unreadable[at / 8] >> (at % 8)) & 1) {
                readable = i;
                break;
            }
        }
    } else {
        // Outside the window the panel reads for itself, as a later read of
        // the window does: a file that went keeps the panel and says so.
        const uint64_t known_size = file.size;
        const FileRead read = file.read_at(wanted, count, bytes);
        if (read.failure != FileRead::Failure::None) {
            file.live.error = read.error;
            return;
        }
        readable = read.unreadable ? read.first_unreadable - wanted : read.done;
        // As for the window: this frame was described with the old size.
        if (file.size != known_size) {
            file.size_changed = true;
        }
    }
    inspector.read = true;
    inspector.read_offset = wanted;
    std::memcpy(inspector.bytes, bytes, sizeof bytes);
    inspector.count = unsigned(readable);
    inspector.read_size = file.size;
}

void Application::add_inspector_panel(OverlayBlock& block) const {
    if (!inspector.open) {
        return;
    }
    block.panel[0] = 1;
    block.panel[1] = panel_cells;
    block.panel[2] = panel_lines;
    std::vector<std::string> lines;
    if (comparing()) {
        // Which of the two files the values are of.
        const std::string path = focused_file().path;
        lines = wrap_panel_line("file", glyph_text(path.substr(path.find_last_of('/') + 1)), 1);
    }
    for (std::string& line : inspector_lines(inspector.bytes, inspector.count, inspector.read_offset, selection.length())) {
        lines.push_back(std::move(line));
    }
    for (std::string& line : identify_panel_lines()) lines.push_back(std::move(line));
    pack_panel_text(lines, block.panel_text);
}
