#include "base/goto_target.h"
#include "identify/partition_table.h"
#include "select/goto_range.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const uint64_t MiB = uint64_t{1} << 20;

// Runs shell commands, stopping at the first that fails; false when one did.
// The tools run without the sanitizers' runtime that the tests may preload.
bool shell(const std::string& command) {
    return std::system(("unset LD_PRELOAD; set -e; " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// A file system made as a file of its own and copied into the image at a
// sector, holes kept.
std::string place(const std::string& image, const std::string& mkfs, uint64_t sector, uint64_t bytes) {
    const std::string part = image + ".part";
    return "rm -f " + part + "; truncate -s " + std::to_string(bytes) + " " + part + "; " + mkfs + " " + part +
           "; dd if=" + part + " of=" + image + " bs=512 seek=" + std::to_string(sector) +
           " conv=notrunc,sparse status=none; rm -f " + part;
}

// A sparse 64 MiB GPT image: partition 1 (8 MiB, ext4 'root') at 1 MiB,
// partition 2 (8 MiB, vfat 'BOOT') right after it, and partition 3 (4 MiB,
// no file system) after a gap.
class GptImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        image = new TempFile(std::vector<uint8_t>{});
        const std::string path = image->path();
        made = shell("truncate -s 64M " + path +
                          "; printf 'label: gpt\\nstart=2048, size=16384\\nstart=18432, size=16384\\n"
                          "start=40960, size=8192\\n' | sfdisk -q " + path + "; " +
                          place(path, "mkfs.ext4 -q -F -L root", 2048, 8 * MiB) + "; " +
                          place(path, "mkfs.vfat -n BOOT", 18432, 8 * MiB));
    }
    static void TearDownTestSuite() { delete image; }
    void SetUp() override { ASSERT_TRUE(made) << "sfdisk, mkfs.ext4 or mkfs.vfat failed"; }
    static TempFile* image;
    static bool made;
};
TempFile* GptImage::image = nullptr;
bool GptImage::made = false;

TEST_F(GptImage, PartitionsFileSystemsAndWhereOffsetsLie) {
    const PartitionTable table = read_partition_table(image->path());
    EXPECT_EQ(table.scheme, "gpt");
    ASSERT_EQ(table.partitions.size(), 3u);
    const Partition& p1 = table.partitions[0];
    const Partition& p2 = table.partitions[1];
    const Partition& p3 = table.partitions[2];
    EXPECT_EQ(p1.number, 1);
    EXPECT_EQ(p1.first, 1 * MiB);
    EXPECT_EQ(p1.end, 9 * MiB);
    EXPECT_EQ(file_system_text(p1.file_system), "ext4 'root'");
    EXPECT_EQ(p2.first, 9 * MiB);
    EXPECT_EQ(file_system_text(p2.file_system), "vfat 'BOOT'");
    EXPECT_EQ(p3.number, 3);
    EXPECT_EQ(p3.first, 20 * MiB);
    EXPECT_EQ(file_system_text(p3.file_system), "");

    const struct {
        uint64_t offset;
        const char* where;
    } cases[] = {
        {0, "before partition 1"},
        {MiB - 1, "before partition 1"},
        {MiB, "partition 1 of 3 (ext4 'root'), 0 into it"},
        {MiB + 0x7e00, "partition 1 of 3 (ext4 'root'), 7e00 into it"},
        {9 * MiB - 1, "partition 1 of 3 (ext4 'root'), 7fffff into it"},
        {9 * MiB, "partition 2 of 3 (vfat 'BOOT'), 0 into it"},
        {17 * MiB, "between partitions 2 and 3"},
        {20 * MiB - 1, "between partitions 2 and 3"},
        {20 * MiB, "partition 3 of 3, 0 into it"},
        {24 * MiB, "after partition 3"},
        {64 * MiB - 1, "after partition 3"},
    };
    for (const auto& c : cases) EXPECT_EQ(where_text(table, c.offset), c.where) << c.offset;
}

// p2..p2$ selects exactly the partition, in every place a go-to form is taken.
TEST_F(GptImage, GoToNamesPartitionsByNumber) {
    const PartitionSpans spans = partition_spans(read_partition_table(image->path()));
    const uint64_t size = 64 * MiB;
    const GotoRange whole = parse_goto_range("p2..p2$", size, 0, spans);
    ASSERT_TRUE(whole.valid) << whole.error;
    EXPECT_EQ(whole.first, 9 * MiB);
    EXPECT_EQ(whole.end, 17 * MiB);
    EXPECT_EQ(parse_goto(" P3 ", size, 0, spans).offset, 20 * MiB);
    EXPECT_EQ(parse_goto("p1$", size, 0, spans).offset, 9 * MiB - 1);
    EXPECT_EQ(parse_goto_range("p1..+200", size, 0, spans).end, MiB + 0x200);
    EXPECT_EQ(parse_goto("p7", size, 0, spans).error, "no partition 7 (3 found)");
    EXPECT_EQ(parse_goto("p2", size, 0).error, "no partition 2 (0 found)");
    EXPECT_EQ(parse_goto("p", size, 0, spans).error, "a partition number expected, as in p2 or p2$");
    EXPECT_EQ(parse_goto("p2$", 12 * MiB, 0, spans).error, "past the end");
}

TEST(PartitionTable, MbrImageAndAFileSystemWithoutTable) {
    TempFile mbr(std::vector<uint8_t>{});
    ASSERT_TRUE(shell("truncate -s 16M " + mbr.path() + "; printf 'label: dos\\nstart=2048, size=8192, type=c\\n"
                      "start=12288, size=4096, type=83\\n' | sfdisk -q " + mbr.path() + "; " +
                      place(mbr.path(), "mkfs.vfat -n MBRFAT", 2048, 4 * MiB)));
    const PartitionTable table = read_partition_table(mbr.path());
    EXPECT_EQ(table.scheme, "dos");
    ASSERT_EQ(table.partitions.size(), 2u);
    EXPECT_EQ(table.partitions[1].number, 2);
    EXPECT_EQ(table.partitions[1].first, 6 * MiB);
    EXPECT_EQ(table.partitions[1].end, 8 * MiB);
    EXPECT_EQ(where_text(table, MiB + 0x200), "partition 1 of 2 (vfat 'MBRFAT'), 200 into it");
    EXPECT_EQ(where_text(table, 5 * MiB), "between partitions 1 and 2");

    TempFile plain(std::vector<uint8_t>{});
    ASSERT_TRUE(shell("truncate -s 4M " + plain.path() + "; mkfs.ext4 -q -F -L root " + plain.path()));
    const PartitionTable whole = read_partition_table(plain.path());
    EXPECT_TRUE(whole.partitions.empty());
    EXPECT_EQ(where_text(whole, 0x7e00), "ext4 'root', 7e00 into it");

    TempFile nothing(random_bytes(8192, 3));
    EXPECT_EQ(where_text(read_partition_table(nothing.path()), 0), "");
}


// A table whose first slot is empty and whose last partition lies past the
// file's end: numbered as the table numbers them, counted alike, and the
// one past the end said to be there; a number no table has is refused.
TEST(PartitionTable, EmptySlotsAndPartitionsPastTheEnd) {
    TempFile image(std::vector<uint8_t>{});
    const std::string path = image.path();
    // Slot 1's size and slot 4's start patched: 0 sectors, and 512 MiB in.
    ASSERT_TRUE(shell("truncate -s 16M " + path + "; printf 'label: dos\\nstart=2048, size=2048\\n"
                      "start=4096, size=4096\\nstart=8192, size=4096\\nstart=12288, size=2048\\n' | sfdisk -q " +
                      path + "; printf '\\0\\0\\0\\0' | dd of=" + path + " bs=1 seek=458 conv=notrunc status=none" +
                      "; printf '\\0\\0\\20\\0' | dd of=" + path + " bs=1 seek=502 conv=notrunc status=none"));
    const PartitionTable table = read_partition_table(path);
    ASSERT_EQ(table.partitions.size(), 3u);
    EXPECT_EQ(table.partitions[0].number, 2);
    EXPECT_EQ(where_text(table, 4 * MiB + 0x200), "partition 3 (2nd of 3), 200 into it");
    EXPECT_TRUE(table.partitions[2].past_end);
    EXPECT_EQ(table.partitions[2].first, 16 * MiB);
    const PartitionSpans spans = partition_spans(table);
    EXPECT_EQ(parse_goto("p3", 16 * MiB, 0, spans).offset, 4 * MiB);
    EXPECT_EQ(parse_goto("p4", 16 * MiB, 0, spans).error, "partition 4 lies past the end of the file");
    EXPECT_EQ(parse_goto("p1", 16 * MiB, 0, spans).error, "no partition 1 (3 found)");
    EXPECT_EQ(parse_goto("p99999999999999999999", 16 * MiB, 0, spans).error, "partition number out of range");
    EXPECT_EQ(parse_goto("p2147483648$", 16 * MiB, 0, spans).error, "partition number out of range");
}

}  // namespace
