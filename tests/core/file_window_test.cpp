#include "core/application.h"
#include "core/page_rules.h"
#include "render/view_block.h"
#include "support/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// Prepares one frame's view block, which is where the file window is checked and loaded.
class FileWindow : public ::testing::Test {
protected:
    void open(TempFile& file) { app.set_fname(file.c_path()); }
    void frame() {
        UniformBufferObject ubo;
        app.fill_view_block(ubo);
    }
    void frame_at(int64_t offset) {
        app.offset = offset;
        frame();
    }
    Application app;
};

TEST_F(FileWindow, EmptyFileIsReadOnceAsZeros) {
    TempFile file({});
    open(file);
    frame();
    EXPECT_EQ(app.file_reads, 1u);
    EXPECT_EQ(app.file_size, 0u);
    EXPECT_EQ(app.chunk, std::vector<uint8_t>(2048, 0));
    for (int64_t offset : {int64_t{16}, int64_t{4096}, int64_t{1} << 40}) {
        frame_at(offset);
        EXPECT_EQ(app.offset, 0);
    }
    EXPECT_EQ(app.file_reads, 1u);
}

TEST_F(FileWindow, FileOfAtMost2048BytesIsReadOnce) {
    TempFile file(counting_bytes(2048));
    open(file);
    for (int64_t offset : {0, 16, 864, 2048, 4096, 0, 1184, 16}) {
        frame_at(offset);
    }
    EXPECT_EQ(app.file_reads, 1u);
    EXPECT_EQ(app.chunk, counting_bytes(2048));
}

TEST_F(FileWindow, WindowMovesWithTheirMargins) {
    TempFile file(counting_bytes(1 << 20));
    open(file);
    frame();
    EXPECT_EQ(app.file_reads, 1u);
    frame_at(848);
    EXPECT_EQ(app.file_reads, 1u) << "the page still fits in the window";
    frame_at(864);
    EXPECT_EQ(app.file_reads, 2u);
    EXPECT_EQ(app.chunk_offset, 784u);
    frame_at(768);
    EXPECT_EQ(app.file_reads, 3u);
    EXPECT_EQ(app.chunk_offset, 48u);
    const std::vector<uint8_t> all = counting_bytes(48 + 2048);
    const std::vector<uint8_t> expected(all.begin() + 48, all.end());
    EXPECT_EQ(app.chunk, expected);
}

TEST_F(FileWindow, RowByRowReadsOnceEvery49RowsForwardAnd46Back) {
    TempFile file(counting_bytes(1 << 20));
    open(file);
    frame();
    frame_at(864);  // the first move forward
    const uint64_t first = app.file_reads;
    for (int row = 1; row <= 49 * 10; ++row) {
        frame_at(864 + row * 16);
    }
    EXPECT_EQ(app.file_reads - first, 10u);

    // Back: five rows are still inside the window, the sixth moves it.
    int64_t view = app.offset - 6 * 16;
    frame_at(view);
    const uint64_t before = app.file_reads;
    for (int row = 1; row <= 46 * 5; ++row) {
        frame_at(view - row * 16);
    }
    EXPECT_EQ(app.file_reads - before, 5u);
}

TEST_F(FileWindow, JumpOutsideTheWindowReadsExactlyOnce) {
    TempFile file(counting_bytes(1 << 20));
    open(file);
    frame();
    for (int64_t offset : {500000, 16, 700000, 699000}) {
        const uint64_t before = app.file_reads;
        frame_at(offset);
        EXPECT_EQ(app.file_reads - before, 1u) << offset;
        EXPECT_EQ(app.chunk[uint64_t(offset) - app.chunk_offset], uint8_t(offset % 251)) << offset;
    }
}

TEST_F(FileWindow, EndOfA10000ByteFile) {
    TempFile file(counting_bytes(10000));
    open(file);
    frame();
    frame_at(8816);
    EXPECT_EQ(app.chunk_offset, 8736u);
    for (size_t k = 0; k < 1264; ++k) {
        ASSERT_EQ(app.chunk[k], uint8_t((8736 + k) % 251)) << k;
    }
    for (size_t k = 1264; k < 2048; ++k) {
        ASSERT_EQ(app.chunk[k], 0) << k;
    }
}

TEST_F(FileWindow, OffsetPastTheEndIsClampedToTheLastRow) {
    TempFile file(counting_bytes(1000));
    open(file);
    frame();
    frame_at(1008);
    EXPECT_EQ(app.offset, 992);
    TempFile whole_rows(counting_bytes(4096));
    app.set_fname(whole_rows.c_path());
    app.chunk.clear();
    frame();
    frame_at(5000);
    EXPECT_EQ(app.offset, 4096) << "a size that is a multiple of 16 may start the page at the end";
}

TEST_F(FileWindow, ReadsAreAbsoluteAtAnyDistance) {
    const uint64_t size = (uint64_t{1} << 40) + 4096;
    TempFile file(size, size - 5, {1, 2, 3, 4, 5});
    open(file);
    frame();
    EXPECT_EQ(app.file_size, size);
    frame_at(int64_t(size - 16));
    const uint64_t k = size - 5 - app.chunk_offset;
    EXPECT_EQ(std::vector<uint8_t>(app.chunk.begin() + long(k), app.chunk.begin() + long(k) + 5),
              (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(app.chunk[k + 5], 0);
}

TEST_F(FileWindow, UnreadablePathsFailWithTheMessage) {
    char missing[] = "/nonexistent/quirn/file";
    char directory[] = "/tmp";
    for (auto [path, message] : {std::pair{missing, "failed to open input file! No such file or directory"},
                                 std::pair{directory, "failed to open input file!"}}) {
        Application viewer;
        viewer.set_fname(path);
        UniformBufferObject ubo;
        try {
            viewer.fill_view_block(ubo);
            ADD_FAILURE() << path << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST_F(FileWindow, PipesFailInsteadOfShowingAMadeUpSize) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    std::string path = "/proc/self/fd/" + std::to_string(fds[0]);
    app.set_fname(path.data());
    EXPECT_THROW(frame(), std::runtime_error);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(FileWindow, FifoWithoutWriterFailsAtOnce) {
    TempFile dir({});
    std::string fifo = dir.path() + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    app.set_fname(fifo.data());
    EXPECT_THROW(frame(), std::runtime_error);  // would hang in a blocking open
    unlink(fifo.c_str());
}

TEST_F(FileWindow, DeviceWithoutSizeIsShownAsEmpty) {
    char dev_null[] = "/dev/null";
    app.set_fname(dev_null);
    frame();
    EXPECT_EQ(app.file_size, 0u);
    frame_at(4096);
    EXPECT_EQ(app.offset, 0);
}

TEST_F(FileWindow, NewSizeIsLearnedAtTheNextReadAndAsksForAFrame) {
    TempFile file(counting_bytes(100000));
    open(file);
    frame();
    EXPECT_TRUE(app.file_size_changed) << "the first read learns the size";
    app.file_size_changed = false;

    file.resize(50000);
    frame_at(200);
    EXPECT_EQ(app.file_size, 100000u) << "no read, no news";
    EXPECT_FALSE(app.file_size_changed);

    frame_at(60000);
    EXPECT_EQ(app.file_size, 50000u);
    EXPECT_TRUE(app.file_size_changed);
    const uint64_t k = 60000 - app.chunk_offset;
    EXPECT_EQ(app.chunk[k], 0) << "past the new end the window holds zeros";

    app.file_size_changed = false;
    frame();
    EXPECT_EQ(app.offset, 50000 & ~15) << "the next frame clamps to the new end";
}

// --- Live files: what a watcher's notice does to the window and the view ---

TEST(LiveFileRules, OnlyAViewOfTheLastPageFollowsTheEnd) {
    const uint64_t size = 100000;
    const int64_t end = end_target(size, page_rows);
    EXPECT_EQ(follow_end(end, size, size + 5000, page_rows), end_target(size + 5000, page_rows));
    // The old end on the shown rows, a little short of the End key's target.
    EXPECT_EQ(follow_end(end - 16, size, size + 5000, page_rows), end_target(size + 5000, page_rows));
    EXPECT_EQ(follow_end(int64_t(size & ~uint64_t{15}), size, size + 5, page_rows), int64_t(size & ~uint64_t{15}))
        << "a view below the End key's target does not move back";
    const int64_t last_byte_below = int64_t(size) - page_bytes_for(page_rows) - 16;
    EXPECT_EQ(follow_end(last_byte_below + 16, size, size + 5000, page_rows), end_target(size + 5000, page_rows))
        << "the last byte on the last row";
    EXPECT_EQ(follow_end(last_byte_below, size, size + 5000, page_rows), last_byte_below)
        << "the last byte a row below the page: no follow";
    EXPECT_EQ(follow_end(0, size, size + 5000, page_rows), 0);
    EXPECT_EQ(follow_end(end, size, size - 5000, page_rows), end) << "shrinking leaves it to the end clamp";
    EXPECT_EQ(follow_end(0, 1000, 5000, page_rows), end_target(5000, page_rows)) << "a file that fit a page";
    EXPECT_EQ(follow_end(0, 0, 100, 10), 0);
    EXPECT_EQ(follow_end(0, 0, 1000, 10), end_target(1000, 10)) << "a short window follows its own last page";
}

TEST_F(FileWindow, NoticeReadsTheWindowAgainAndTheLastPageFollows) {
    TempFile file(counting_bytes(100000));
    open(file);
    frame();
    frame_at(end_target(100000));
    app.file_size_changed = false;
    const std::vector<uint8_t> more = random_bytes(5000, 3);
    file.write_at(100000, more);
    uint64_t reads = app.file_reads;
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.file_size, 105000u);
    EXPECT_FALSE(app.file_size_changed) << "the frame was described with the new size";
    EXPECT_EQ(app.offset, end_target(105000));
    EXPECT_EQ(app.chunk[105000 - 1 - app.chunk_offset], more.back());
    EXPECT_EQ(app.file_reads - reads, 1u);

    frame_at(50000);  // in the middle: written over, the view stays
    file.write_at(50016, {0xAB, 0xCD});
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.offset, 50000);
    EXPECT_EQ(app.chunk[50017 - app.chunk_offset], 0xCD);

    file.resize(20000);
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.offset, 20000) << "the usual end clamp";

    // A frame's own read that learns of growth first follows it too: the
    // notice that comes after finds no growth left to follow.
    frame_at(end_target(20000));
    file.write_at(20000, random_bytes(30000, 5));
    app.live.reread = true;
    frame();
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.offset, end_target(50000));

    TempFile small(counting_bytes(1000));  // read once, unless it changes
    Application viewer;
    viewer.set_fname(small.c_path());
    UniformBufferObject ubo;
    viewer.fill_view_block(ubo);
    small.write_at(10, {0xEE});
    small.write_at(1000, random_bytes(500, 4));
    reads = viewer.file_reads;
    viewer.on_watch_notice();
    viewer.fill_view_block(ubo);
    EXPECT_EQ(viewer.file_reads - reads, 1u);
    EXPECT_EQ(viewer.chunk[10], 0xEE);
    EXPECT_EQ(viewer.offset, end_target(1500)) << "the whole file was its last page";
    EXPECT_EQ(viewer.chunk_offset, 0u);
}

TEST_F(FileWindow, FileThatGoesKeepsThePageUntilOneIsBack) {
    auto file = std::make_unique<TempFile>(counting_bytes(100000));
    std::string path = file->path();
    app.set_fname(path.data());
    frame_at(4096);
    const std::vector<uint8_t> page = app.chunk;
    ::unlink(path.c_str());
    EXPECT_NO_THROW(app.on_watch_notice());
    EXPECT_NO_THROW(frame());
    EXPECT_EQ(app.chunk, page);
    EXPECT_EQ(app.file_size, 100000u);
    EXPECT_EQ(app.label_line(), "file removed");
    EXPECT_NO_THROW(frame_at(90000)) << "moving on reads nothing, ends nothing";
    EXPECT_EQ(app.label_line(), "file removed");

    app.find.status = "not found";
    EXPECT_EQ(app.label_line(), "not found") << "find's line comes first";
    app.find.status.clear();

    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);  // something else at the path
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.label_line(), "cannot read: Is a directory");
    ASSERT_EQ(::rmdir(path.c_str()), 0);

    TempFile again(random_bytes(120000, 5));  // a new file moved to the path
    ASSERT_EQ(std::rename(again.path().c_str(), path.c_str()), 0);
    app.on_watch_notice();
    frame();
    EXPECT_EQ(app.label_line(), "");
    EXPECT_EQ(app.file_size, 120000u);
    EXPECT_EQ(app.offset, 90000);
    EXPECT_EQ(app.chunk[90000 - app.chunk_offset], random_bytes(120000, 5)[90000]);
}

// From 2^48 bytes on the page cannot address the file: a clear failure instead
// of offsets cut to 48 bits. tmpfs takes such a sparse file; a filesystem
// that does not is skipped.
TEST_F(FileWindow, FilePast48BitsIsRefusedAtTheFirstRead) {
    char folder[] = "/dev/shm/quirn-huge-XXXXXX";
    if (!mkdtemp(folder)) {
        GTEST_SKIP() << "no /dev/shm";
    }
    std::string path = std::string(folder) + "/huge";
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    const bool made = fd >= 0 && ::ftruncate(fd, off_t(uint64_t{1} << 48)) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (made) {
        app.set_fname(path.data());
        try {
            frame();
            ADD_FAILURE() << "a file of 2^48 bytes was shown, its size wrapped to 0";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "failed to show input file: it is 256 TiB or larger!");
        }
        ASSERT_EQ(::truncate(path.c_str(), off_t((uint64_t{1} << 48) - 1)), 0);
        Application shown;
        shown.set_fname(path.data());
        UniformBufferObject ubo;
        EXPECT_NO_THROW(shown.fill_view_block(ubo)) << "2^48 - 1 bytes is shown";
        EXPECT_EQ(shown.file_size, (uint64_t{1} << 48) - 1);
    }
    ::unlink(path.c_str());
    ::rmdir(folder);
    if (!made) {
        GTEST_SKIP() << "this filesystem takes no file past 2^48 bytes";
    }
}

}  // namespace

// Reads that fail on [0x1000, 0x1200), one sector, through the read shim linked into
// these tests, for as long as the object lives.
class UnreadableRange {
public:
    UnreadableRange(const std::string& path, const char* variable, const std::string& range) : variable_(variable) {
        setenv(variable, (path + ":" + range).c_str(), 1);
    }
    ~UnreadableRange() { unsetenv(variable_); }

private:
    const char* variable_;
};

// A bad stretch costs only its own bytes: the window is read around it,
// the page marks it, the label line says it, the inspector's values stop
// at it; bytes read are never zeros made up.
TEST_F(FileWindow, UnreadableBytesAreReadAroundAndMarked) {
    const std::vector<uint8_t> bytes = random_bytes(0x3000, 17);
    TempFile file(bytes);
    open(file);
    frame();
    const UnreadableRange failing(file.path(), "QUIRN_UNREADABLE", "0x1000:0x1200");
    frame_at(0xf00);
    // The window holds the stretch and bytes on both sides.
    ASSERT_LE(app.chunk_offset, 0xf00u);
    ASSERT_GE(app.chunk_offset + 2048, 0x1300u);
    const uint64_t bad = 0x1000 - app.chunk_offset;
    uint64_t marked = 0;
    for (uint64_t i = 0; i < 2048; ++i) {
        const uint64_t at = app.chunk_offset + i;
        const bool unreadable = (app.live.unreadable[i / 8] >> (i % 8)) & 1;
        EXPECT_EQ(unreadable, at >= 0x1000 && at < 0x1200) << std::hex << at;
        if (!unreadable) {
            EXPECT_EQ(app.chunk[i], bytes[at]) << std::hex << at;
        }
        marked += unreadable;
    }
    EXPECT_EQ(marked, 0x200u);
    EXPECT_EQ(app.label_line(), "cannot read 200 bytes at 1000: Input/output error");
    const OverlayBlock overlay = app.overlay_block();
    EXPECT_EQ(overlay.flags[3], 1u);
    EXPECT_EQ(overlay.unreadable[bad / 32] >> (bad % 32), 0xFFFFFFFFu >> (bad % 32));
    EXPECT_EQ(overlay.unreadable[bad / 32 - 1], 0u);

    // The inspector: two readable bytes before the stretch, none in it; out
    // of the window it reads for itself with the same rule.
    app.inspector.open = true;
    for (const auto& [first, readable] : {std::pair<uint64_t, unsigned>{0xffe, 2}, {0x10f0, 0}, {0x2ffc, 4}}) {
        app.selection.set(first, first + 1);
        frame();
        EXPECT_EQ(app.inspector.count, readable) << std::hex << first;
    }
    app.selection.set(0xf00, 0xf01);
    frame();
    EXPECT_EQ(app.inspector.count, 16u);
    EXPECT_EQ(std::memcmp(app.inspector.bytes, bytes.data() + 0xf00, 16), 0);

    // Readable again, the page is the plain page.
    unsetenv("QUIRN_UNREADABLE");
    app.live.reread = true;
    frame();
    EXPECT_EQ(app.label_line(), "");
    EXPECT_EQ(app.overlay_block().flags[3], 0u);
}

// A read that ends early saw a shorter file than the size measured before
// it: that read's size is the one kept, not zeros past its end.
TEST_F(FileWindow, AShortReadGivesTheSizeItSaw) {
    TempFile file(counting_bytes(10000));
    open(file);
    frame();
    const UnreadableRange cut(file.path(), "QUIRN_SHRUNK", "6000");
    frame_at(5000);
    EXPECT_EQ(app.file_size, 6000u);
    EXPECT_TRUE(app.file_size_changed) << "the frame owes one more with the size the read saw";
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    EXPECT_EQ(ubo.chunkmeta[0], 6000u) << "the page ends where the read did";
}

// Once the page is shown, the inspector's own read of a file that went
// keeps the panel and says why; it never ends the viewer.
TEST_F(FileWindow, InspectorReadOfAFileThatWentKeepsThePanel) {
    TempFile file(counting_bytes(1 << 20));
    open(file);
    frame();
    app.inspector.open = true;
    app.selection.set(900000, 900001);
    frame();
    const std::vector<uint8_t> shown(app.inspector.bytes, app.inspector.bytes + 16);
    ASSERT_EQ(::unlink(file.path().c_str()), 0);
    app.selection.set(500000, 500001);
    EXPECT_NO_THROW(frame());
    EXPECT_EQ(app.label_line(), "file removed");
    EXPECT_EQ(std::vector<uint8_t>(app.inspector.bytes, app.inspector.bytes + 16), shown);
}
