#pragma once

#include "identify/literal_engine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A file found inside another: where it starts, where the signature that
// found it lies, and what libmagic says it is.
struct EmbeddedFile {
    uint64_t start = 0;
    uint64_t signature_at = 0;
    uint32_t signature_length = 0;
    std::string description;
};

struct EmbeddedScanProgress {
    uint64_t position = 0;  // the offset reached
    uint64_t file_size = 0;
    size_t found = 0;
};

struct EmbeddedScanOutcome {
    enum class Kind { Done, Cancelled, Failed };
    Kind kind = Kind::Done;
    std::vector<EmbeddedFile> files;  // by start; one per start
    uint64_t file_size = 0;           // as the scan found it, at its end
    uint64_t unreadable = 0;          // bytes that could not be read, and were passed over
    std::string error;
};

// The most files a scan keeps, and the most of a description it keeps (the
// label line shows less), so that its memory stays bounded.
inline constexpr size_t most_embedded_files = size_t{1} << 14;
inline constexpr size_t kept_description_bytes = 64;

// Finds the embedded files of the open file `fd` in one pass: every
// signature of the built-in table at once (by `engine`), over blocks of `block_bytes`
// scanned in place through a mapping where they are in the page cache and
// read into a buffer where they are not, skipping holes. A candidate whose
// quick check passes is confirmed by libmagic from 64 KiB read at its start
// (a description of plain "data" drops it). Stops within a block of
// `cancel`; calls `progress` at most every `report_every`. Memory is
// libmagic's database, a block's mapping or buffer and 64 KiB, whatever the
// file's size: 1 MiB blocks keep the scan's share of resident memory small
// at the same speed. A read that fails is tried again in sectors: the bytes
// that cannot be read match nothing and are counted, and the scan goes on. A
// file that shrinks is scanned to its new end, and a file whose signature
// does not lie wholly within the file as it is at the scan's end is dropped.
EmbeddedScanOutcome scan_embedded(int fd, const std::atomic<bool>& cancel,
                                  const std::function<void(const EmbeddedScanProgress&)>& progress,
                                  size_t block_bytes = size_t{1} << 20,
                                  std::chrono::milliseconds report_every = std::chrono::milliseconds(50),
                                  LiteralEngine engine = LiteralEngine::Prefilter);

// Drops the files whose signature does not lie wholly within `size` bytes:
// what a scan found past the end of a file that has shrunk since.
void drop_past_end(std::vector<EmbeddedFile>& files, uint64_t size);

// The embedded file `}` (forward) or `{` reaches, wrapping around at the
// ends; -1 when there is none. From `current` when the view stands on that
// file, else from `position`: forward, the first file starting at it (or
// after it, when `past` is set), backward, the last one starting before it.
int64_t step_embedded(const std::vector<EmbeddedFile>& files, int64_t current, uint64_t position, bool past,
                      bool backward);
