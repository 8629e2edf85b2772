#include "core/application.h"

#include "core/page_rules.h"
#include "select/select_rules.h"

#include <cstring>
#include <stdexcept>
#include <string>

int64_t Application::load_chunk(const char* path, uint64_t position, uint64_t length, uint8_t* buffer,
                                uint8_t* unreadable_bits) {
    ++file_reads;
    const FileRead read = read_file_at(path, position, length, buffer, unreadable_bits);
    switch (read.failure) {
        case FileRead::Failure::None: break;
        case FileRead::Failure::Open:
            throw std::runtime_error(std::string("failed to open input file! ") + std::strerror(read.error));
        case FileRead::Failure::NotAFile: throw std::runtime_error("failed to open input file!");
        case FileRead::Failure::TooLarge:
            throw std::runtime_error("failed to show input file: it is larger than 256 TiB!");
    }
    file_size = read.size;
    note_unreadable(read);
    character_device = read.character_device;
    return int64_t(read.done);
}

void Application::note_unreadable(const FileRead& read) {
    live.unreadable_count = read.unreadable;
    live.unreadable_first = read.first_unreadable;
    live.unreadable_error = read.read_error;
}

void Application::clamp_view_and_check_window() {
    offset = clamp_to_file(offset, file_size);
    if (const auto base = next_window_base(uint64_t(offset), chunk_offset, chunk_capacity, file_size)) {
        chunk_offset = *base;
        chunk.clear();
    }
}

void Application::load_file_window() {
    if (!chunk.empty() && !live.reread) {
        return;
    }
    live.reread = false;
    const uint64_t known_size = file_size;
    if (!live.shown) {
        // The first read: a file that cannot be shown ends the run.
        chunk.assign(chunk_capacity, 0);
        live.unreadable.assign(chunk_capacity / 8, 0);
        load_chunk(fname, chunk_offset, chunk_capacity, chunk.data(), live.unreadable.data());
        live.shown = true;
    } else {
        // Later the page keeps the bytes it has, and the label line says why.
        live.fresh_window.assign(chunk_capacity, 0);
        live.fresh_unreadable.assign(chunk_capacity / 8, 0);
        ++file_reads;
        const FileRead read = read_file_at(fname, chunk_offset, chunk_capacity, live.fresh_window.data(),
                                           live.fresh_unreadable.data());
        live.error = read.error;
        if (read.failure != FileRead::Failure::None) {
            if (chunk.empty()) {
                // A window never read has nothing to keep: none of it is data.
                chunk.assign(chunk_capacity, 0);
                live.unreadable.assign(chunk_capacity / 8, 0xFF);
            }
            return;
        }
        chunk.swap(live.fresh_window);
        live.unreadable.swap(live.fresh_unreadable);
        note_unreadable(read);
        file_size = read.size;
        // A frame's read can learn of growth before the watcher's notice
        // does: a view of the last page follows it here as well.
        offset = follow_end(offset, known_size, file_size, rows);
    }
    // This frame was described with the old size: draw once more with the new one.
    if (file_size != known_size) {
        file_size_changed = true;
        selection = cut_to_size(selection, file_size);
    }
}
