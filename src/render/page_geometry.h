// The page's geometry, in canvas pixels and file bytes. Included by the C++
// code and by the page shader, so that both draw and hit-test one page.
// Everything derives from the few values at the top; the rows are the one
// source of the page's height, its bytes and its steps.
#ifndef QUIRN_PAGE_GEOMETRY_H
#define QUIRN_PAGE_GEOMETRY_H

#ifdef __cplusplus
#define PAGE_CONST inline constexpr
#define PAGE_FN inline constexpr
#else
#define PAGE_CONST const
#define PAGE_FN
#endif

PAGE_CONST int page_rows = 75;
PAGE_CONST int row_bytes = 16;
PAGE_CONST int row_height = 14;     // pixels per file row
PAGE_CONST int label_height = 15;   // the label line above the rows
PAGE_CONST int status_height = 14;  // the status line below them: one text line
PAGE_CONST int canvas_width = 364;
PAGE_CONST int min_thumb = 40;      // the thumb never gets shorter than this

PAGE_CONST int page_bytes = page_rows * row_bytes;
PAGE_CONST int canvas_height = label_height + page_rows * row_height + status_height;
// Last pixel row of the rows, whose last pixel row is left clear.
PAGE_CONST int rows_bottom = label_height + page_rows * row_height - 2;

// The scrollbar track runs beside the rows, from the label line; its length
// leaves the thumb's last pixel row clear of the border.
PAGE_CONST int track_top = label_height;
PAGE_CONST int track_length = page_rows * row_height - 2;
PAGE_CONST int drag_travel = track_length - min_thumb;

// Navigation steps in bytes; a screen step keeps one row of the old page in view.
PAGE_CONST int page_step = 16 * row_bytes;
PAGE_CONST int screen_step = (page_rows - 1) * row_bytes;

// The thumb's length is page_bytes / size * track_length, worked out in
// integers as thumb_scale / size: every size above thumb_scale / min_thumb
// gets the minimum thumb.
PAGE_CONST int thumb_scale = page_bytes * track_length;
PAGE_CONST int min_thumb_size_limit = thumb_scale / min_thumb;

// A window too short for the whole page shows fewer rows, and everything
// that depends on the page follows them. With page_rows rows these give the
// constants above.
PAGE_FN int track_length_for(int rows) { return rows * row_height - 2; }
PAGE_FN int rows_bottom_for(int rows) { return label_height + track_length_for(rows); }
// The status line's first pixel row: its glyphs' top, right below the rows.
PAGE_FN int status_top_for(int rows) { return label_height + rows * row_height; }
PAGE_FN int page_bytes_for(int rows) { return rows * row_bytes; }
PAGE_FN int screen_step_for(int rows) { return rows > 1 ? (rows - 1) * row_bytes : row_bytes; }
PAGE_FN int min_thumb_for(int rows) { return track_length_for(rows) < min_thumb ? track_length_for(rows) : min_thumb; }
PAGE_FN int thumb_scale_for(int rows) { return page_bytes_for(rows) * track_length_for(rows); }

// The rows a canvas of this height holds below the label line and above the
// status line, at least one and at most page_rows.
PAGE_FN int rows_for_height(int height) {
    int rows = (height - label_height - status_height) / row_height;
    return rows < 1 ? 1 : rows > page_rows ? page_rows : rows;
}

PAGE_CONST int max_zoom = 4;

// The status line: one glyph code per 6-pixel cell across the canvas.
PAGE_CONST int status_cells = 60;

// The inspector panel right of the canvas: a grid of 6-pixel cells, its
// first line in the label line and one line per row below it, names in the
// first cells of each line.
PAGE_CONST int panel_cells = 50;
PAGE_CONST int panel_lines = 32;
PAGE_CONST int panel_name_cells = 9;
PAGE_CONST int panel_margin = 4;
PAGE_FN int panel_width_for(int cells) { return 2 * panel_margin + 6 * cells; }
PAGE_CONST int panel_width = 2 * panel_margin + 6 * panel_cells;

// The help panel is drawn as the inspector's is, from a wider grid with a
// line for the label line and for each row.
PAGE_CONST int help_cells = 80;
PAGE_CONST int help_panel_lines = page_rows + 1;
PAGE_CONST int panel_capacity = help_cells * help_panel_lines;  // glyph codes

#undef PAGE_CONST
#undef PAGE_FN
#endif
