#pragma once

#include "render/page_geometry.h"

#include <cstdint>
#include <optional>

// The viewer's arithmetic as pure functions of values: what the members of
// Application apply to their state, and what tests and tools check directly.
// `rows` is the number of rows the window shows; positions are canvas pixels.

// The scrollbar thumb in window pixels, in double precision. For an empty
// file the values are not finite and no position hits the thumb.
double thumb_length(uint64_t file_size, int rows = page_rows);
double thumb_top(int64_t offset, uint64_t file_size, int rows = page_rows);
bool thumb_hit(double x, double y, int64_t offset, uint64_t file_size, int rows = page_rows);

// A press on the scrollbar's track beside the thumb: -1 above it, 1 below
// it; 0 on the thumb, off the track, and for an empty file.
int track_press_direction(double x, double y, int64_t offset, uint64_t file_size, int rows = page_rows);

// The view position a drag reaches at pointer height y: rounded toward zero
// to a row, never below 0.
int64_t drag_offset(double y, double drag_start_y, int64_t drag_start_offset, uint64_t file_size,
                    int rows = page_rows);

// The first row of the last page (a screen step before the end), or 0 when
// the whole file fits in one screen step.
int64_t end_target(uint64_t file_size, int rows = page_rows);

// The first row shown for a jump to byte `target`: its own row, or, for a
// byte in the last page, the last page as End shows it (never a page of
// empty rows below the end).
int64_t view_for_target(uint64_t target, uint64_t file_size, int rows = page_rows);

// The end-of-file clamp: a view past the end moves back to the end's row;
// the end itself stays allowed, so a file that is a multiple of 16 shows one
// more, empty, offset line.
int64_t clamp_to_file(int64_t offset, uint64_t file_size);

// Where the file window must move so that the page at `view` lies inside it,
// or nothing when it already does. A file that fits in the window never moves it.
std::optional<uint64_t> next_window_base(uint64_t view, uint64_t window_base, uint64_t capacity, uint64_t file_size);

// Whether a frame that has just been presented must be followed by another:
// always after the first present of a run, and when its read found a new
// file size (the frame was described with the old one).
bool needs_another_frame(uint64_t presents_before, bool file_size_changed);

// The zoom the desktop asks for: its dots per inch over 96, rounded, from 1
// to max_zoom; 1 where it says nothing (dpi 0).
int zoom_for_dpi(double dpi);
