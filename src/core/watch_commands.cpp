// Live files: the watcher's notices make the shown window be read again,
// and a view of the last page follow a growing file. A compare watches both
// files, and a notice looks at both.
#include "core/application.h"

#include "compare/compare_state.h"
#include "select/select_rules.h"

void Application::on_watch_notice() {
    ShownFile* files[2] = {&file_a, comparing() ? &file_b : nullptr};
    for (ShownFile* file : files) {
        if (file) file->live.watcher.take_notice();  // a change from now on sends another notice
    }
    on_identify_file_change();
    // A write or a replace that keeps both sizes changes the pair all the same.
    if (comparing()) compare.map_stale = true;
    if (fields.started) {
        fields.worker.reopen();  // what was read may be gone
        fields.view_stale = true;
        fields.move_generation = 0;
    }
    need_redraw = true;
    // The sizes first, so that the view can follow the end before the window
    // is placed; then the windows are read here, so that the frame is
    // described with the sizes the reads found and no second frame is owed.
    const uint64_t known_size = view_size();
    bool any = false;
    for (ShownFile* file : files) {
        if (!file) continue;
        const FileRead look = read_file_at(file->path, 0, 0, nullptr);
        file->live.error = look.error;
        if (look.failure != FileRead::Failure::None) continue;  // the page keeps its bytes
        file->size = look.size;
        file->live.reread = true;
        any = true;
    }
    if (!any) return;
    offset = follow_end(offset, known_size, view_size(), rows);
    selection = cut_to_size(selection, view_size());
    clamp_view_and_check_window();
    load_file_window();
    file_size_changed = false;  // the coming frame is described with whatever size the read found
    file_b.size_changed = false;
}

std::string Application::label_line() const {
    if (quit_armed && transfer.busy) return "a save is running: press again to cancel it and quit";
    if (hash.menu) return hash_menu_line;
    if (transfer.copy_menu) return "copy as: h hex t text c C b base64 x dump p Python";
    // Go-to is typed in the focused file's offsets.
    const std::string line = find.line(focused_file().size, focused_offset(uint64_t(offset)));
    if (!line.empty()) return fit_label_line(line);
    return fit_label_line(files_line());
}
