// Live files: the watcher's notices make the shown window be read again,
// and a view of the last page follow a growing file.
#include "core/application.h"

#include "select/select_rules.h"

void Application::on_watch_notice() {
    live.watcher.take_notice();  // a change from now on sends another notice
    on_identify_file_change();
    need_redraw = true;
    // The size first, so that the view can follow the end before the window
    // is placed; then the window is read here, so that the frame is
    // described with the size the read found and no second frame is owed.
    const FileRead look = read_file_at(fname, 0, 0, nullptr);
    live.error = look.error;
    if (look.failure != FileRead::Failure::None) {
        return;  // the page keeps its bytes
    }
    offset = follow_end(offset, file_size, look.size, rows);
    file_size = look.size;
    selection = cut_to_size(selection, file_size);
    clamp_view_and_check_window();
    live.reread = true;
    load_file_window();
    file_size_changed = false;  // the coming frame is described with whatever size the read found
}

std::string Application::label_line() const {
    if (quit_armed && transfer.busy) return "a save is running: press again to cancel it and quit";
    if (transfer.copy_menu) return "copy as: h hex, t text, c C array, b base64, x dump, p Python bytes";
    const std::string line = find.line(file_size, uint64_t(offset));
    return fit_label_line(line.empty() ? live.line() : line);
}
