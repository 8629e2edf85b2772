#pragma once

#include "base/goto_target.h"
#include "identify/embedded_scan.h"
#include "identify/identify_workers.h"
#include "identify/partition_table.h"
#include "identify/type_worker.h"
#include "status/status_line.h"

#include <cstdint>
#include <string>
#include <vector>

// What the bytes are, as the main thread keeps it: the type line of the
// inspector's offset, the partition table, and the embedded files of the
// last completed scan.
struct IdentifyState {
    // The type line: the offset and file size it was asked for, and the answer.
    bool type_asked = false;
    uint64_t type_offset = 0;
    uint64_t type_size = 0;
    const char* type_path = nullptr;  // the file asked about: a compare's focused one
    uint64_t type_generation = 0;
    std::string type_text;  // "…" until the answer
    TypeWorker type_worker;

    // The partitions, read at start and again when the size changes.
    bool partitions_known = false;
    bool partitions_reading = false;
    uint64_t partitions_size = 0;  // the file size they were asked for
    uint64_t partitions_generation = 0;
    PartitionTable partitions;
    PartitionWorker partition_worker;

    // Embedded files: a scan's progress, and what a completed one found,
    // kept until the file changes.
    bool scanning = false;
    bool scanned = false;
    bool changed_while_scanning = false;
    int pending_step = 0;  // +1 for `}`, -1 for `{`, run when the scan completes
    uint64_t scan_generation = 0;
    std::vector<EmbeddedFile> files;
    int64_t current = -1;  // the file `}` or `{` last reached
    ScanWorker scan_worker;

};

// Text cut to at most `cells` glyph cells, ending in "…" when it was cut.
std::string cut_to_cells(const std::string& text, size_t cells);
// The type line's value: the description, "…" until there is one.
std::string type_value(const TypeWorker::State& state);
// The label line on reaching an embedded file: "gzip compressed data, from Unix at 40".
std::string embedded_label(const EmbeddedFile& file);
// The status line's segment while a scan runs ("scan 37%, 3 found  Esc
// cancels"), and the count it leaves ("embedded 20 files", then "cannot
// read 200 bytes" when some could not be read).
std::vector<StatusSegment> scan_progress(const EmbeddedScanProgress& progress);
std::vector<StatusSegment> scan_count(size_t files, uint64_t unreadable = 0);
