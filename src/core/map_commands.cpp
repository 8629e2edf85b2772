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
        compare.map_worker.stop();
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
    file_map.size = view_size();
    file_map.length = track_length_for(rows);
    file_map.complete = false;
    if (comparing()) {
        // Not compared yet, until the worker's first notice.
        file_map.classes.assign(size_t(file_map.length), uint8_t(PairSlice::NotCompared));
        compare.map_size_b = file_b.size;
        compare.map_shift = compare.shift;
        compare.map_stale = false;
        compare.summary_ready = false;
        file_map.generation = compare.map_worker.start(fname, file_b.path, compare.shift, file_map.length);
        return;
    }
    file_map.classes.assign(size_t(file_map.length), 0);
    file_map.generation = file_map.worker.start(fname, file_map.size, file_map.length);
}

void Application::on_pair_map_notice() {
    const PairMapWorker::State state = compare.map_worker.snapshot();
    if (state.generation != file_map.generation || !file_map.on) return;
    file_map.classes = state.progress.classes;
    file_map.complete = !state.running;
    const bool completed = state.progress.complete && !compare.summary_ready;
    compare.summary_ready = state.progress.complete;
    compare.differing_bytes = state.progress.differing_bytes;
    compare.differing_runs = state.progress.differing_runs;
    compare.unreadable[0] = state.progress.unreadable[0];
    compare.unreadable[1] = state.progress.unreadable[1];
    // The summary is said once on the label line, where it is read whole; the
    // second page's status line keeps it where it fits.
    if (completed && find.prompt == FindState::Prompt::None && find.status.empty()) {
        find.status = summary_text(compare.differing_bytes, compare.differing_runs) + unreadable_note(compare.unreadable);
    }
    need_redraw = true;
}

void Application::fill_map_record(OverlayBlock& overlay) {
    if (file_map.on) {
        if (comparing()) {
            // Made again when either file changed, or the shift.
            compare.map_worker.hold(find.searching || compare.looking);
            if (!file_map.fits(view_size(), track_length_for(rows)) || compare.map_size_b != file_b.size ||
                compare.map_shift != compare.shift || compare.map_stale) {
                restart_map();
            }
        } else {
            file_map.worker.hold(find.searching);
            if (!file_map.fits(file_size, track_length_for(rows))) restart_map();
        }
    }
    file_map.write_record(overlay);
    if (file_map.on) {
        add_mark_ticks(overlay, navigation_memory.marks, view_size(), track_length_for(rows));
        add_identify_ticks(overlay, track_length_for(rows));
    }
}
