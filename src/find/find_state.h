#pragma once

#include "base/goto_target.h"
#include "base/offset_text.h"
#include "find/search_pattern.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The find and go-to state the main thread keeps: the open prompt, the
// one-line status and the last search.
struct FindState {
    enum class Prompt { None, Goto, Search, Save };

    Prompt prompt = Prompt::None;
    std::string input;        // what the user typed, as UTF-8
    bool text_mode = false;   // the search input is text, not hexadecimal
    bool ignore_case = false; // text mode only
    bool backward = false;    // the search prompt runs backward
    // The input is the last search the prompt opened with: Enter runs it
    // again, the first character typed replaces it, and editing keys edit it.
    bool input_remembered = false;

    std::string status;       // progress or the last result; shown while no prompt is open
    bool searching = false;
    bool search_backward = false;  // of the search running or last run
    uint64_t search_generation = 0;

    SearchPattern last_pattern;  // for n and N
    // The last search as typed, which the search prompt opens with.
    std::string last_input;
    bool last_text_mode = false, last_ignore_case = false;
    PartitionSpans partitions;   // for p2 and p2$ in the go-to prompt
    // The range the save prompt was opened for: what Enter saves, whatever
    // the selection does meanwhile.
    uint64_t save_first = 0;
    uint64_t save_end = 0;

    SearchPattern pattern() const;
    // The label line's text, or "" for the normal label line.
    std::string line(uint64_t file_size, uint64_t shown_offset) const;
};

// The label line's glyph cells, and those a prompt's message always has
// beside the prompt's short head, the input's last characters and its end.
inline constexpr size_t label_line_cells = 60;
inline constexpr size_t prompt_message_cells = 47;

// A text for the label line: one longer than the line keeps its end (the
// reason, in a message), behind a "<".
std::string fit_label_line(const std::string& text);


// The line while a search runs: where it is, how far, how fast, how to stop.
std::string progress_line(uint64_t position, uint64_t file_size, uint64_t bytes_done, double seconds);
