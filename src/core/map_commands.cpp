// The file map: Ctrl+M shows it in the scrollbar; the worker's notices
// refine it; each frame's record restarts it when the file's size or the
// track's length is no longer the one it maps.
#include "core/application.h"

#include "map/map_slices.h"
#include "render/page_geometry.h"

namespace {

// Each mark is a tick on the track row of its slice.
void add_mark_ticks(OverlayBlock& overlay, const Marks& marks, uint64_t file_size, int track_rows) {
    for (char name = 'a'; name <= 'z'; ++name) {
        const auto at = marks.get(name);
        if (!at || *at >= file_size) continue;
        const int row = first_slice_with(*at, file_size, track_rows);
        if (row >= 0 && row < track_rows) overlay.map[row] |= 0x80;
    }
}

}  // namespace

bool Application::on_map_key(const SDL_Keysym& key) {
    if (!(key.mod & KMOD_CTRL) || key.sym != SDLK_m) return false;
    file_map.on = !file_map.on;
    if (!file_map.on && !file_map.complete) {
        file_map.worker.stop();
        file_map.length = 0;  // a half-made map is made again
    }
    need_redraw = true;
    return true;
}

void Application::on_map_notice() {
    const MapWorker::State state = file_map.worker.snapshot();
    if (state.generation != file_map.generation || !file_map.on) return;
    file_map.classes = state.progress.classes;
    file_map.complete = state.progress.complete;
    need_redraw = true;
}

void Application::restart_map() {
    file_map.size = file_size;
    file_map.length = track_length_for(rows);
    file_map.complete = false;
    file_map.classes.assign(size_t(file_map.length), 0);
    file_map.generation = file_map.worker.start(fname, file_map.size, file_map.length);
}

void Application::fill_map_record(OverlayBlock& overlay) {
    if (file_map.on) {
        file_map.worker.hold(find.searching);
        if (!file_map.fits(file_size, track_length_for(rows))) restart_map();
    }
    file_map.write_record(overlay);
    if (file_map.on) {
        add_mark_ticks(overlay, navigation_memory.marks, file_size, track_length_for(rows));
        add_identify_ticks(overlay, track_length_for(rows));
    }
}
