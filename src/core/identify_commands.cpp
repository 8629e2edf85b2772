// What the bytes are: the inspector's type and partition lines, the
// partitions for go-to and the map, and `}` / `{` through the embedded
// files a scan finds. Every answer comes from a worker, as an event.
#include "core/application.h"

#include "core/page_rules.h"

#include "identify/identify_state.h"
#include "inspect/inspector.h"
#include "map/map_slices.h"
#include "render/overlay_block.h"

#include <utility>

namespace {

const std::string ellipsis = "\u2026";

// The type line may take four of the panel's lines, the partition line two.
const size_t type_lines = 4, where_lines = 2;

void add_panel_line(std::vector<std::string>& lines, const std::string& name, const std::string& value,
                    size_t max_lines) {
    for (std::string& line : wrap_panel_line(name, glyph_text(value), max_lines)) lines.push_back(std::move(line));
}

}  // namespace

void Application::start_partition_read() {
    identify.partitions_size = file_size;
    identify.partitions_reading = true;
    identify.partitions_generation = identify.partition_worker.start(fname);
}

void Application::on_partition_notice() {
    const PartitionWorker::State state = identify.partition_worker.snapshot();
    if (state.generation != identify.partitions_generation || state.running) return;
    identify.partitions_reading = false;
    identify.partitions = state.table;
    identify.partitions_known = true;
    find.partitions = partition_spans(identify.partitions);
    // The file may have changed size while it was read.
    if (identify.partitions_size != file_size) start_partition_read();
    // Drawn only where it shows: the panel, the map, or a go-to prompt's preview.
    if (inspector.open || file_map.on || find.prompt == FindState::Prompt::Goto) need_redraw = true;
}

void Application::refresh_identify() {
    if (!identify.partitions_reading && identify.partitions_size != file_size) start_partition_read();
    if (!inspector.open) {
        identify.type_asked = false;  // the file may change while the panel is hidden
        return;
    }
    // Of the focused file, at its offset, as the inspector's values are.
    const ShownFile& file = focused_file();
    const uint64_t wanted = focused_offset(selection.active ? selection.first() : uint64_t(offset));
    if (identify.type_asked && identify.type_offset == wanted && identify.type_size == file.size &&
        identify.type_path == file.path) {
        return;
    }
    identify.type_asked = true;
    identify.type_offset = wanted;
    identify.type_size = file.size;
    identify.type_path = file.path;
    identify.type_text = ellipsis;
    identify.type_generation = identify.type_worker.ask(file.path, wanted);
}

void Application::on_type_notice() {
    const TypeWorker::State state = identify.type_worker.snapshot();
    if (state.generation != identify.type_generation || state.running) return;
    identify.type_text = type_value(state);
    if (inspector.open) need_redraw = true;
}

std::vector<std::string> Application::identify_panel_lines() const {
    std::vector<std::string> lines{""};
    add_panel_line(lines, "type:", identify.type_text, type_lines);
    if (comparing() && compare.focus == 1) {
        // The partitions are the first file's.
    } else if (!identify.partitions_known) {
        add_panel_line(lines, "in:", ellipsis, where_lines);
    } else if (const std::string where = where_text(identify.partitions, identify.type_offset); !where.empty()) {
        add_panel_line(lines, "in:", where, where_lines);
    }
    return lines;
}

void Application::add_identify_ticks(OverlayBlock& overlay, int track_rows) const {
    const auto tick = [&](uint64_t at) {
        if (at >= file_size) return;
        const int row = first_slice_with(at, file_size, track_rows);
        if (row >= 0 && row < track_rows) overlay.map[row] |= 0x80;
    };
    for (const Partition& p : identify.partitions.partitions) {
        tick(p.first);
        tick(p.end);
    }
    for (const EmbeddedFile& f : identify.files) tick(f.start);
}

bool Application::on_identify_key(const SDL_Keysym& key) {
    if (key.sym != SDLK_ESCAPE || !identify.scanning || find.prompt != FindState::Prompt::None) return false;
    identify.pending_step = 0;
    // Let go at once, even in a slow read.
    identify.scan_worker.stop();
    identify.scanning = false;
    status_line.remove("scan");
    find.status = "scan cancelled";
    need_redraw = true;
    return true;
}

bool Application::on_identify_text(const std::string& typed) {
    if (typed != "}" && typed != "{") return false;
    const bool backward = typed == "{";
    if (identify.scanned) {
        go_to_embedded_file(backward);
        return true;
    }
    identify.pending_step = backward ? -1 : 1;
    if (!identify.scanning) {
        identify.scanning = true;
        identify.changed_while_scanning = false;
        identify.scan_generation = identify.scan_worker.start(fname);
        status_line.put("scan", scan_progress(EmbeddedScanProgress{0, file_size, 0}));
        need_redraw = true;
    }
    return true;
}

void Application::on_scan_notice() {
    const ScanWorker::State state = identify.scan_worker.snapshot();
    if (state.generation != identify.scan_generation || !identify.scanning) return;
    need_redraw = true;
    if (state.running) {
        status_line.put("scan", scan_progress(state.progress));
        return;
    }
    identify.scanning = false;
    status_line.remove("scan");
    const int step = std::exchange(identify.pending_step, 0);
    switch (state.outcome.kind) {
        case EmbeddedScanOutcome::Kind::Done:
            identify.files = state.outcome.files;
            drop_past_end(identify.files, file_size);  // the file may have shrunk since
            identify.current = -1;
            // A scan of a file that changed on the way serves the step it was started for, once.
            identify.scanned = !identify.changed_while_scanning;
            if (identify.scanned) status_line.put("scan", scan_count(identify.files.size(), state.outcome.unreadable));
            if (step != 0) go_to_embedded_file(step < 0);
            break;
        case EmbeddedScanOutcome::Kind::Cancelled: find.status = "scan cancelled"; break;
        case EmbeddedScanOutcome::Kind::Failed: find.status = "scan failed: " + state.outcome.error; break;
    }
}

void Application::go_to_embedded_file(bool backward) {
    const std::vector<EmbeddedFile>& files = identify.files;
    if (files.empty()) {
        find.status = "no embedded files found";
        need_redraw = true;
        return;
    }
    // On the file last reached, step from it; else from the selection or the first shown byte.
    int64_t current = identify.current;
    if (current >= 0 && (current >= int64_t(files.size()) || !selection.active ||
                         selection.first() != files[size_t(current)].start)) {
        current = -1;
    }
    const uint64_t position = selection.active ? selection.first() : uint64_t(offset);
    const int64_t index = step_embedded(files, current, position, selection.active, backward);
    const EmbeddedFile& file = files[size_t(index)];
    // A step that went round the end to the other says so, as a search does.
    const bool wrapped = current >= 0 ? (backward ? index >= current : index <= current)
                         : backward   ? file.start >= position
                                      : file.start < position || (selection.active && file.start == position);
    const SavedView left = current_view();
    // From the file's start through its signature, which for most kinds is
    // the signature alone: the panel then describes the file the label names.
    const uint64_t end = std::min(file.signature_at + file.signature_length, file_size);
    selection.set(file.start, std::max(end, file.start + 1));
    offset = view_for_target(file.start, view_size(), rows);
    identify.current = index;
    find.status = embedded_label(file);
    if (wrapped) find.status += backward ? ", wrapped to the end" : ", wrapped to the start";
    record_jump(left);
    need_redraw = true;
}

void Application::on_identify_file_change() {
    if (identify.scanned) status_line.remove("scan");
    identify.scanned = false;
    identify.files.clear();
    identify.current = -1;
    if (identify.scanning) identify.changed_while_scanning = true;
}
