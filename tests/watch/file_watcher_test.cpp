// The watcher's thread against real files: one notice per burst until it is
// taken, and the path followed through deletes, renames and new files.
#include "support/temp_file.h"
#include "watch/file_watcher.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    void TearDown() override {
        watcher.stop();
        SDL_Quit();
    }
    // Waits for the notice of a change, takes it, and lets the changes
    // that came with it settle, so that the next step starts quiet.
    bool noticed(int ms = 5000) {
        SDL_Event event;
        while (SDL_WaitEventTimeout(&event, ms)) {
            if (event.type == FileWatcher::event_type()) {
                SDL_Delay(50);
                watcher.take_notice();  // as the viewer does: take, read, draw
                watcher.frame_drawn();
                SDL_FlushEvent(FileWatcher::event_type());
                return true;
            }
        }
        return false;
    }
    int waiting_notices() {
        SDL_PumpEvents();
        return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, FileWatcher::event_type(), FileWatcher::event_type());
    }
    FileWatcher watcher;
};

TEST_F(WatcherTest, OneNoticePerBurstUntilItIsTaken) {
    TempFile file(counting_bytes(1000));
    ASSERT_TRUE(watcher.arm(file.path()));
    file.write_at(1000, {1});  // kept by the kernel until the thread runs
    watcher.start();
    for (int i = 0; i < 200; ++i) {
        file.write_at(1001 + uint64_t(i), {2});
    }
    SDL_Delay(200);
    EXPECT_EQ(waiting_notices(), 1);
    EXPECT_TRUE(noticed());
    file.write_at(0, {3});
    EXPECT_TRUE(noticed()) << "taken, the next change sends another";
    EXPECT_FALSE(noticed(300)) << "a still file sends nothing";
}

TEST_F(WatcherTest, FollowsThePathThroughDeletesRenamesAndNewFiles) {
    TempFile file(counting_bytes(1000));
    TempFile elsewhere(counting_bytes(10));
    const std::string path = file.path();
    ASSERT_TRUE(watcher.arm(path));
    watcher.start();

    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_TRUE(noticed()) << "deleted";
    file.write_at(0, {1, 2, 3});
    EXPECT_TRUE(noticed()) << "created again";
    file.write_at(3, {4});
    EXPECT_TRUE(noticed()) << "the new file is watched";

    TempFile replacement(counting_bytes(500));
    ASSERT_EQ(std::rename(replacement.path().c_str(), path.c_str()), 0);
    EXPECT_TRUE(noticed()) << "replaced by rename";
    file.write_at(500, {5});
    EXPECT_TRUE(noticed()) << "the replacement is watched";

    const std::string moved = elsewhere.path() + ".moved";
    ASSERT_EQ(std::rename(path.c_str(), moved.c_str()), 0);
    EXPECT_TRUE(noticed()) << "moved away";
    std::FILE* away = std::fopen(moved.c_str(), "ab");
    ASSERT_NE(away, nullptr);
    std::fputs("written elsewhere", away);
    std::fclose(away);
    EXPECT_FALSE(noticed(300)) << "a file that left the path is no longer watched";
    file.write_at(0, {6});
    EXPECT_TRUE(noticed()) << "a file at the path again";
}

// What the path resolves through may change too: its folder, and the target
// of a link on the way. Each time the file at the path is followed after.
TEST_F(WatcherTest, FollowsThePathThroughFolderChangesAndLinkTargets) {
    namespace fs = std::filesystem;
    TempFile anchor(counting_bytes(1));
    const fs::path root = fs::path(anchor.path()).parent_path();
    auto write = [](const fs::path& path, const char* text) {
        std::FILE* file = std::fopen(path.c_str(), "ab");
        ASSERT_NE(file, nullptr);
        std::fputs(text, file);
        std::fclose(file);
    };
    const fs::path folder = root / "logs";
    const fs::path path = folder / "app.log";
    fs::create_directory(folder);
    write(path, "one");
    ASSERT_TRUE(watcher.arm(path));
    watcher.start();

    fs::remove_all(folder);
    EXPECT_TRUE(noticed()) << "the folder deleted";
    fs::create_directory(folder);
    noticed(300);  // the folder alone may tell
    write(path, "two");
    EXPECT_TRUE(noticed()) << "a file in the folder made again";
    write(path, "three");
    EXPECT_TRUE(noticed()) << "that file is watched";

    const fs::path renamed = root / "logs.old";
    fs::rename(folder, renamed);
    EXPECT_TRUE(noticed()) << "the folder renamed";
    write(renamed / "app.log", "elsewhere");
    EXPECT_FALSE(noticed(300)) << "a file in the renamed folder left the path";
    fs::create_directory(folder);
    noticed(300);
    write(path, "four");
    EXPECT_TRUE(noticed()) << "a file at the path again";

    // The path through a link whose target is replaced by a rename.
    const fs::path targets = root / "targets";
    fs::create_directory(targets);
    write(targets / "current", "old");
    const fs::path link = root / "current.log";
    fs::create_symlink(targets / "current", link);
    watcher.stop();
    ASSERT_TRUE(watcher.arm(link));
    watcher.start();
    write(targets / "next", "new");
    fs::rename(targets / "next", targets / "current");
    EXPECT_TRUE(noticed()) << "the link's target replaced";
    write(targets / "current", "more");
    EXPECT_TRUE(noticed()) << "the new target is watched";
}

TEST_F(WatcherTest, StopsWhileWaitingAndArmsAgain) {
    TempFile file(counting_bytes(10));
    ASSERT_TRUE(watcher.arm(file.path()));
    watcher.start();
    watcher.stop();
    EXPECT_FALSE(watcher.arm(""));
    ASSERT_TRUE(watcher.arm(file.path()));
    watcher.start();
    file.write_at(0, {1});
    EXPECT_TRUE(noticed());
}

}  // namespace
