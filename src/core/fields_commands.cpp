// The structure: fields read by a description, on the page, in a panel
// (F2), by `.` and `,`, and by `@path` in the go-to prompt.
#include "core/application.h"

#include "fields/field_page.h"
#include "history/view_history.h"
#include "render/page_geometry.h"

#include <cstring>

namespace {

// The tree's lines: the panel's less its heading.
constexpr size_t tree_lines = size_t(panel_lines) - 1;

}  // namespace

void Application::refresh_structure() {
    // One file only: a compare's pages have no structure.
    if (comparing() || fields.format_argument == "none" || !fields.after_first_present) return;
    if (!fields.started) {
        fields.started = true;
        fields.worker.open(fname, fields.format_argument);
    }
    // Once the first answer said there is no description, nothing is asked.
    if (fields.view_generation != 0 && !fields.shown.running && fields.shown.generation == fields.view_generation &&
        !fields.active()) {
        return;
    }
    if (fields.move_generation != 0) return;  // the move's answer brings the view's too
    const uint64_t at = selection.active ? selection.first() : uint64_t(offset);
    const size_t lines = fields.panel_open ? tree_lines : 0;
    if (!fields.view_stale && at == fields.asked_at && chunk_offset == fields.asked_window &&
        lines == fields.asked_lines) {
        return;
    }
    StructureRequest request;
    request.at = at;
    request.window_first = chunk_offset;
    request.window_size = chunk.size();
    request.tree_lines = lines;
    fields.view_generation = fields.worker.ask(request);
    fields.asked_at = at;
    fields.asked_window = chunk_offset;
    fields.asked_lines = lines;
    fields.view_stale = false;
}

void Application::on_structure_notice() {
    const StructureAnswer answer = fields.worker.snapshot();
    if (answer.generation != fields.view_generation && answer.generation != fields.move_generation) return;
    if (answer.running) {
        if (answer.progress > 0) {
            status_line.put("structure", {{"reading", hex_offset(answer.progress)}});
            need_redraw = true;
        }
        return;
    }
    // A file without a description draws no frame for the answer that says so.
    need_redraw = need_redraw || fields.active() || !answer.format.empty() || !answer.refusal.empty() ||
                  answer.generation == fields.move_generation;
    if (answer.generation == fields.move_generation) {
        fields.move_generation = 0;
        if (answer.found) {
            const SavedView left = current_view();
            offset = int64_t(answer.target.offset & ~uint64_t(row_bytes - 1));
            selection.set(answer.target.offset, answer.target.offset + std::max<uint64_t>(answer.target.size, 1));
            find.status = field_label_line(answer.target);
            record_jump(left);
        } else if (!answer.cancelled) {
            find.status = answer.error;
        }
        if (answer.found && fields.queued_steps != 0 && answer.request.kind == StructureRequest::Kind::Step) {
            const bool backward = fields.queued_steps < 0;
            fields.queued_steps += backward ? 1 : -1;
            step_by_field(backward, answer.target.offset);
            return;
        }
        fields.queued_steps = 0;
        // The view's fields were worked out for the target: kept as the
        // view's answer, asked again if the frame shows another place.
        fields.view_generation = answer.generation;
        fields.asked_at = selection.active ? selection.first() : uint64_t(offset);
        fields.asked_window = answer.request.window_first;
        fields.asked_lines = answer.request.tree_lines;
    }
    fields.shown = answer;
    if (!fields.active()) {
        status_line.remove("structure");
        if (!answer.refusal.empty()) find.status = answer.refusal;
        return;
    }
    std::string where = answer.format;
    if (answer.leaf) where += " " + answer.leaf->path;
    status_line.put("structure", {{"", where}});
}

bool Application::on_structure_key(const SDL_Keysym& key) {
    if (key.sym == SDLK_F2 && !(key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_SHIFT))) {
        if (comparing()) {
            find.status = "no structure in a compare";
            need_redraw = true;
            return true;
        }
        // Shown in the help's place, the panel comes back at once.
        fields.panel_open = !fields.panel_open || help_open;
        help_open = false;
        size_for_panel();
        need_redraw = true;
        return true;
    }
    // Esc stops a walk that has been reading for a while.
    if (key.sym == SDLK_ESCAPE && find.prompt == FindState::Prompt::None && fields.shown.running &&
        fields.shown.progress > 0) {
        fields.worker.cancel();
        return true;
    }
    return false;
}

bool Application::on_structure_text(const std::string& typed) {
    if ((typed != "." && typed != ",") || comparing() || !fields.active()) return false;
    // Keys faster than the answers each take their step, from where the one before lands.
    if (fields.move_generation != 0 && fields.move_is_step) {
        fields.queued_steps += typed == "," ? -1 : 1;
        return true;
    }
    step_by_field(typed == ",", selection.active ? selection.first() : uint64_t(offset));
    return true;
}

void Application::step_by_field(bool backward, uint64_t from) {
    StructureRequest request;
    request.kind = StructureRequest::Kind::Step;
    request.backward = backward;
    request.at = from;
    request.window_first = chunk_offset;
    request.window_size = chunk.size();
    request.tree_lines = fields.panel_open ? tree_lines : 0;
    fields.move_generation = fields.worker.ask(request);
    fields.move_is_step = true;
}

void Application::go_to_field(const std::string& path) {
    StructureRequest request;
    request.kind = StructureRequest::Kind::Resolve;
    request.path = path;
    request.window_first = chunk_offset;
    request.window_size = chunk.size();
    request.tree_lines = fields.panel_open ? tree_lines : 0;
    fields.move_generation = fields.worker.ask(request);
    fields.move_is_step = false;
}

void Application::add_structure_panel(OverlayBlock& block) const {
    block.panel[0] = 1;
    block.panel[1] = panel_cells;
    block.panel[2] = panel_lines;
    const std::string format = fields.active() ? fields.shown.format : "none";
    std::vector<FieldPanelLine> lines = field_panel_lines(format, fields.shown.tree, size_t(panel_cells));
    if (!fields.active() && !fields.shown.refusal.empty()) lines.push_back({fields.shown.refusal, 0});
    pack_field_panel(lines, size_t(panel_cells), size_t(panel_lines), block.panel_text);
}

void Application::fill_field_record(OverlayBlock& overlay) const {
    const StructureAnswer& shown = fields.shown;
    if (comparing() || !fields.active() || shown.request.window_first != chunk_offset || shown.leaves.empty()) return;
    overlay.fields[0] = 1;
    if (shown.leaf) {
        const uint64_t end = shown.leaf->offset + shown.leaf->size;
        overlay.field_mark[0] = uint32_t(shown.leaf->offset);
        overlay.field_mark[1] = uint32_t(shown.leaf->offset >> 32);
        overlay.field_mark[2] = uint32_t(end);
        overlay.field_mark[3] = uint32_t(end >> 32);
    }
    pack_field_bands(shown.leaves, shown.first_shade, chunk_offset, chunk.size(), overlay.field_bands);
}
