// The partition reader: 4 bytes of extra length, then the disk's first
// blocks. The disk is a file in memory holding the blocks at its start and
// their last 512 bytes again at its end, where a backup GPT lies, with a
// hole of the extra length (up to 64 MiB) between them.
#include "base/goto_target.h"
#include "fuzz_input.h"
#include "identify/partition_table.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

void write_all(int fd, const uint8_t* data, size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, at);
        if (n <= 0) std::abort();
        data += n;
        size -= size_t(n);
        at += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    const uint64_t extra = in.number(4) % (uint64_t{64} << 20);
    const int fd = ::memfd_create("disk", MFD_CLOEXEC);
    if (fd < 0) return 0;
    write_all(fd, in.data, in.size, 0);
    const size_t tail = in.size < 512 ? in.size : 512;
    write_all(fd, in.data + in.size - tail, tail, off_t(in.size + extra));
    const uint64_t disk = in.size + extra + tail;

    const PartitionTable table = read_partition_table_of(fd);
    ::close(fd);
    // Every partition lies inside the disk, a wholly past one at its end.
    for (const Partition& p : table.partitions) {
        REQUIRE(p.first <= p.end && p.end <= disk);
        REQUIRE(!p.past_end || (p.first == disk && p.end == disk));
        (void)where_text(table, p.first);
        if (p.end > 0) (void)where_text(table, p.end - 1);
    }
    (void)where_text(table, 0);
    (void)where_text(table, disk / 2);
    // Go-to names each one inside the disk, or says why not.
    const PartitionSpans spans = partition_spans(table);
    for (const PartitionSpan& p : spans) {
        for (const char* end : {"", "$"}) {
            const GotoTarget target = parse_goto("p" + std::to_string(p.number) + end, disk, 0, spans);
            REQUIRE(target.valid ? target.offset < disk : !target.error.empty());
        }
    }
    return 0;
}
