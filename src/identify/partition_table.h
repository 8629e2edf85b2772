#pragma once

#include "base/goto_target.h"

#include <cstdint>
#include <string>
#include <vector>

// A file system as libblkid names it: its type ("ext4", "vfat") and label.
struct FileSystem {
    std::string type;   // "" when none was recognised
    std::string label;
};

struct Partition {
    int number = 0;       // as the table numbers it: p2 is number 2
    uint64_t first = 0;   // the first byte
    uint64_t end = 0;     // one past the last byte
    bool past_end = false;  // the table puts it wholly past the file's end (first and end are the end)
    FileSystem file_system;
};

// What libblkid found in a file: its partitions, or, without a table, the
// file system of the whole file.
struct PartitionTable {
    std::string scheme;   // "gpt", "dos", ...; "" without a table
    std::vector<Partition> partitions;
    FileSystem whole;     // the file's own, when it has no table
};

// Reads the partition table of the file at `path` and probes each partition
// (or the whole file, when it has none) for a file system. A file that
// cannot be read, or is no regular file or block device, has neither.
PartitionTable read_partition_table(const std::string& path);
// The same of an open file, which stays open.
PartitionTable read_partition_table_of(int fd);

// The partitions as go-to names them.
PartitionSpans partition_spans(const PartitionTable& table);

// "ext4 'root'", "vfat", or "" for none.
std::string file_system_text(const FileSystem& file_system);

// Where `offset` lies, as the inspector's "in:" line says it:
// "partition 2 of 3 (ext4 'root'), 7e00 into it" (where the numbers are no
// places among those found, as with an empty first slot, "partition 4 (3rd
// of 3, ext4 'root'), 7e00 into it"), "before partition 1",
// "between partitions 1 and 2", "after partition 3", or for a file system
// image "ext4 'root', 7e00 into it"; "" when the file has neither.
std::string where_text(const PartitionTable& table, uint64_t offset);
