#include "identify/partition_table.h"

#include "base/offset_text.h"

#include <blkid/blkid.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// The type and label of a file system at [first, first + size) of `fd`.
FileSystem probe_file_system(int fd, uint64_t first, uint64_t size) {
    FileSystem found;
    blkid_probe probe = blkid_new_probe();
    if (!probe) return found;
    if (blkid_probe_set_device(probe, fd, blkid_loff_t(first), blkid_loff_t(size)) == 0) {
        blkid_probe_enable_superblocks(probe, 1);
        blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL);
        blkid_probe_enable_partitions(probe, 0);
        if (blkid_do_safeprobe(probe) == 0) {
            const char* value = nullptr;
            if (blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0 && value) found.type = value;
            if (blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value) found.label = value;
        }
    }
    blkid_free_probe(probe);
    return found;
}

std::string partition_name(const Partition& p) { return std::to_string(p.number); }

// `count` sectors of 512 bytes, or `limit` when that is fewer.
uint64_t sectors_to_bytes(uint64_t count, uint64_t limit) { return count > limit / 512 ? limit : count * 512; }

std::string ordinal(size_t n) {
    const size_t tens = n % 100, ones = n % 10;
    const char* suffix = tens >= 11 && tens <= 13 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : ones == 3 ? "rd" : "th";
    return std::to_string(n) + suffix;
}

// Whether the partitions, in the order of their starts, are numbered 1, 2, 3 ...
bool numbered_in_order(const std::vector<Partition>& parts) {
    for (size_t i = 0; i < parts.size(); ++i) {
        if (size_t(parts[i].number) != i + 1) return false;
    }
    return true;
}

}  // namespace

PartitionTable read_partition_table(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {};
    PartitionTable table = read_partition_table_of(fd);
    ::close(fd);
    return table;
}

PartitionTable read_partition_table_of(int fd) {
    PartitionTable table;
    struct stat info {};
    uint64_t size = 0;
    if (::fstat(fd, &info) == 0 && (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) {
        size = S_ISBLK(info.st_mode) ? uint64_t(std::max<off_t>(::lseek(fd, 0, SEEK_END), 0)) : uint64_t(info.st_size);
    }
    blkid_probe probe = size > 0 ? blkid_new_probe() : nullptr;
    if (probe && blkid_probe_set_device(probe, fd, 0, blkid_loff_t(size)) == 0) {
        blkid_probe_enable_superblocks(probe, 0);
        blkid_probe_enable_partitions(probe, 1);
        blkid_partlist list = blkid_probe_get_partitions(probe);
        const int count = list ? blkid_partlist_numof_partitions(list) : 0;
        if (count > 0) {
            blkid_parttable root = blkid_partlist_get_table(list);
            const char* scheme = root ? blkid_parttable_get_type(root) : nullptr;
            table.scheme = scheme ? scheme : "";
        }
        for (int i = 0; i < count; ++i) {
            blkid_partition part = blkid_partlist_get_partition(list, i);
            if (!part) continue;
            const blkid_loff_t start = blkid_partition_get_start(part);
            const blkid_loff_t sectors = blkid_partition_get_size(part);
            if (start < 0 || sectors <= 0) continue;
            // Sector numbers come from the file: bytes beyond 64 bits, or
            // beyond the file, are the file's end.
            Partition p;
            p.number = blkid_partition_get_partno(part);
            p.first = sectors_to_bytes(uint64_t(start), size);
            p.end = p.first + std::min(sectors_to_bytes(uint64_t(sectors), size), size - p.first);
            p.past_end = p.first >= size;
            table.partitions.push_back(p);
        }
    }
    if (probe) blkid_free_probe(probe);
    for (Partition& p : table.partitions) {
        if (p.end > p.first) p.file_system = probe_file_system(fd, p.first, p.end - p.first);
    }
    if (table.partitions.empty() && size > 0) table.whole = probe_file_system(fd, 0, size);
    std::sort(table.partitions.begin(), table.partitions.end(),
              [](const Partition& a, const Partition& b) { return a.first != b.first ? a.first < b.first : a.end > b.end; });
    return table;
}

PartitionSpans partition_spans(const PartitionTable& table) {
    PartitionSpans spans;
    for (const Partition& p : table.partitions) spans.push_back(PartitionSpan{p.number, p.first, p.end, p.past_end});
    return spans;
}

std::string file_system_text(const FileSystem& file_system) {
    if (file_system.type.empty()) return "";
    return file_system.label.empty() ? file_system.type : file_system.type + " '" + file_system.label + "'";
}

std::string where_text(const PartitionTable& table, uint64_t offset) {
    const std::vector<Partition>& parts = table.partitions;
    if (parts.empty()) {
        const std::string whole = file_system_text(table.whole);
        return whole.empty() ? "" : whole + ", " + hex_offset(offset) + " into it";
    }
    // The innermost partition holding the offset: a logical partition
    // rather than the extended one around it.
    const Partition* inside = nullptr;
    for (const Partition& p : parts) {
        if (offset >= p.first && offset < p.end && (!inside || p.end - p.first < inside->end - inside->first)) {
            inside = &p;
        }
    }
    if (inside) {
        // Numbered as the table numbers them: where a slot is empty, the
        // number is no place among those found, and the line says both.
        const std::string fs = file_system_text(inside->file_system);
        const size_t place = size_t(inside - parts.data()) + 1;
        const std::string count = std::to_string(parts.size());
        const std::string among = size_t(inside->number) == place && numbered_in_order(parts)
                                      ? " of " + count + (fs.empty() ? "" : " (" + fs + ")")
                                      : " (" + ordinal(place) + " of " + count + (fs.empty() ? "" : ", " + fs) + ")";
        return "partition " + partition_name(*inside) + among + ", " + hex_offset(offset - inside->first) + " into it";
    }
    const Partition* before = nullptr;  // the last one that ends at or before the offset
    const Partition* after = nullptr;   // the first one that starts after it
    for (const Partition& p : parts) {
        if (p.end <= offset && (!before || p.end > before->end)) before = &p;
        if (p.first > offset && (!after || p.first < after->first)) after = &p;
    }
    if (!before) return "before partition " + partition_name(*after);
    if (!after) return "after partition " + partition_name(*before);
    return "between partitions " + partition_name(*before) + " and " + partition_name(*after);
}
