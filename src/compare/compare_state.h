#pragma once

#include "compare/diff_engine.h"
#include "compare/diff_worker.h"
#include "compare/pair_map.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

// The main thread's side of a compare: the shift, which page has the focus,
// and the look for a run of differing bytes that `]` and `[` start.
struct CompareState {
    int64_t shift = 0;      // byte x of the first file faces byte x + shift of the second
    int focus = 0;          // 0: the first file's page, 1: the second's
    DiffWorker worker;
    uint64_t generation = 0;
    bool looking = false;   // a look runs
    bool backward = false;  // of the look running or last run
    uint64_t from = 0;      // where it started
    bool wrapped = false;   // it went on from the other end after finding none
    // The map of the pair: what it is of, and what it found once complete.
    PairMapWorker map_worker;
    uint64_t map_size_b = 0;
    int64_t map_shift = 0;
    bool map_stale = false;  // a file changed since the map began
    bool summary_ready = false;
    uint64_t differing_bytes = 0;
    uint64_t differing_runs = 0;
    uint64_t unreadable[2] = {0, 0};  // bytes of A, of B the map could not read
};

// The label line's texts of a compare.
std::string signed_hex(int64_t value);                          // "+3", "-1f"
std::string shift_text(int64_t shift);                          // "shift +3", "shift -1f"
std::string difference_text(const DiffRun& run);                // "difference at 7e05, 3 bytes"
std::string summary_text(uint64_t bytes, uint64_t runs);        // "1,234 bytes differ in 17 runs"
// What a compare could not read: "; cannot read 512 bytes of B", or "".
std::string unreadable_note(const uint64_t unreadable[2]);
std::string compare_progress_text(uint64_t position, uint64_t span);
std::string thousands(uint64_t value);                          // 1234567 as "1,234,567"

// How messages name a shown file: its name without the folders, or the path
// as given when both files have that name.
std::string file_label(const std::string& path, const std::string& other_path);

// The bytes of a pair's selection [first, end) that a file holds whose byte
// x + shift faces pair offset x, cut to its `size` bytes; none when it holds
// no byte of it.
std::optional<std::pair<uint64_t, uint64_t>> selection_in_file(uint64_t first, uint64_t end, int64_t shift,
                                                               uint64_t size);
// "no bytes of B.bin selected"
std::string nothing_selected_text(const std::string& label);
