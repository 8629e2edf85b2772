#include "core/application.h"

#include "compare/diff_engine.h"
#include "core/page_rules.h"
#include "select/select_rules.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// A file that cannot be shown ends the run, with the path when two are open.
void refuse_unshowable(const FileRead& read, const char* name) {
    const std::string which = name ? std::string(": ") + name : "";
    switch (read.failure) {
        case FileRead::Failure::None: return;
        case FileRead::Failure::Open:
            throw std::runtime_error(std::string("failed to open input file! ") + std::strerror(read.error) + which);
        case FileRead::Failure::NotAFile: throw std::runtime_error("failed to open input file!" + which);
        case FileRead::Failure::TooLarge:
            throw std::runtime_error("failed to show input file: it is 256 TiB or larger!" + which);
    }
}

}  // namespace

void ShownFile::check_window(uint64_t view) {
    if (const auto base = next_window_base(view, chunk_offset, chunk_capacity, size)) {
        chunk_offset = *base;
        chunk.clear();
    }
}

bool ShownFile::refill(bool name_in_errors) {
    if (!chunk.empty() && !live.reread) {
        return false;
    }
    live.reread = false;
    const uint64_t known_size = size;
    ++reads;
    if (!live.shown) {
        // The first read: a file that cannot be shown ends the run.
        chunk.assign(chunk_capacity, 0);
        live.unreadable.assign(chunk_capacity / 8, 0);
        const FileRead read = read_file_at(path, chunk_offset, chunk_capacity, chunk.data(), live.unreadable.data());
        refuse_unshowable(read, name_in_errors ? name() : nullptr);
        size = read.size;
        character_device = read.character_device;
        note_unreadable(read);
        live.shown = true;
    } else {
        // Later the page keeps the bytes it has, and the label line says why.
        live.fresh_window.assign(chunk_capacity, 0);
        live.fresh_unreadable.assign(chunk_capacity / 8, 0);
        const FileRead read = read_file_at(path, chunk_offset, chunk_capacity, live.fresh_window.data(),
                                           live.fresh_unreadable.data());
        live.error = read.error;
        if (read.failure != FileRead::Failure::None) {
            if (chunk.empty()) {
                // A window never read has nothing to keep: none of it is data.
                chunk.assign(chunk_capacity, 0);
                live.unreadable.assign(chunk_capacity / 8, 0xFF);
            }
            return true;
        }
        chunk.swap(live.fresh_window);
        live.unreadable.swap(live.fresh_unreadable);
        note_unreadable(read);
        size = read.size;
    }
    // This frame was described with the old size: draw once more with the new one.
    if (size != known_size) size_changed = true;
    return true;
}

FileRead ShownFile::read_at(uint64_t position, uint64_t length, uint8_t* buffer) {
    ++reads;
    const FileRead read = read_file_at(path, position, length, buffer);
    if (read.failure == FileRead::Failure::None) {
        size = read.size;
    }
    return read;
}

void ShownFile::note_unreadable(const FileRead& read) {
    live.unreadable_count = read.unreadable;
    live.unreadable_first = read.first_unreadable;
    live.unreadable_error = read.read_error;
}

uint64_t Application::view_size() const {
    return comparing() ? pair_span(file_size, file_b.size, compare.shift) : file_size;
}

int64_t Application::second_view() const { return offset + compare.shift; }

void Application::clamp_view_and_check_window() {
    offset = clamp_to_file(offset, view_size());
    file_a.check_window(uint64_t(offset));
    if (comparing()) file_b.check_window(uint64_t(std::max<int64_t>(second_view(), 0)));
}

void Application::load_file_window() {
    const uint64_t known_size = view_size();
    const bool shown = live.shown;
    const bool read_a = file_a.refill(comparing());
    const bool read_b = comparing() && file_b.refill(true);
    if (!read_a && !read_b) return;
    // A frame's read can learn of growth before the watcher's notice
    // does: a view of the last page follows it here as well.
    if (shown) offset = follow_end(offset, known_size, view_size(), rows);
    if (view_size() != known_size) selection = cut_to_size(selection, view_size());
}
