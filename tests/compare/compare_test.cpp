#include "compare/compare_state.h"
#include "core/application.h"
#include "core/command_line.h"
#include "support/command_line_words.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const auto parse = parse_words;

}  // namespace

TEST(CompareOpening, PairsShiftsAndAThirdFileRefused) {
    const CommandLine pair = parse({"--shift", "-3", "a", "--at", "10", "b"});
    EXPECT_STREQ(pair.path, "a");
    EXPECT_STREQ(pair.second_path, "b");
    EXPECT_EQ(pair.start.shift, "-3");
    EXPECT_EQ(pair.start.at, "10");
    EXPECT_EQ(parse({"a"}).second_path, nullptr);
    EXPECT_STREQ(parse({"--", "-a", "-b"}).second_path, "-b");
    for (const auto& words : {std::vector<std::string>{"a", "b", "c"}, {"--", "a", "b", "c"}}) {
        const CommandLine third = parse(words);
        EXPECT_EQ(third.action, CommandLine::Action::Error);
        EXPECT_EQ(third.error, "quirn: at most two files");
    }

    // The shift in any go-to form, of the second file; the view spans the longer with it.
    TempFile a(random_bytes(0x100, 1)), b(random_bytes(0x300, 2));
    for (const auto& [shift, want] : std::vector<std::pair<std::string, int64_t>>{
             {"10", 0x10}, {"-10", -0x10}, {"#16", 16}, {"$-100", 0x200}, {"50%", 0x180}}) {
        Application app;
        app.set_fname(a.c_path());
        app.file_b.path = b.c_path();
        app.start_position = parse({"--shift", shift, "a", "b"}).start;
        app.load_file_window();
        app.apply_start_position();
        EXPECT_EQ(app.compare.shift, want) << shift;
        EXPECT_EQ(app.view_size(), uint64_t(std::max<int64_t>(0x100, 0x300 - want))) << shift;
    }

    // Either file failing fails the start, naming which.
    Application missing;
    missing.set_fname(a.c_path());
    char nowhere[] = "/nonexistent/quirn-b";
    missing.file_b.path = nowhere;
    try {
        missing.load_file_window();
        ADD_FAILURE() << "opened a missing second file";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "failed to open input file! No such file or directory: /nonexistent/quirn-b");
    }
}

TEST(CompareTexts, TheLabelLinesWords) {
    EXPECT_EQ(shift_text(3), "shift +3");
    EXPECT_EQ(shift_text(-0x1f), "shift -1f");
    EXPECT_EQ(difference_text({0x7e05, 3}), "difference at 7e05, 3 bytes");
    EXPECT_EQ(difference_text({0, 1}), "difference at 0, 1 byte");
    const uint64_t unreadable[2] = {1, 1536};
    EXPECT_EQ(unreadable_note(unreadable), "; cannot read 1 byte of A and 1,536 bytes of B");
    EXPECT_EQ(no_difference_text(0x7e05, false), "no difference after 7e05");
    EXPECT_EQ(no_difference_text(0x7e05, true), "no difference before 7e05");
    EXPECT_EQ(summary_text(1234, 17), "1,234 bytes differ in 17 runs");
    EXPECT_EQ(summary_text(1, 1), "1 byte differs in 1 run");
    EXPECT_EQ(summary_text(0, 0), "the files are identical");
    EXPECT_EQ(thousands(1234567), "1,234,567");
    EXPECT_EQ(thousands(999), "999");
}

// The map's summary follows a change that keeps both sizes, a write or a
// replace by rename: the watcher's notice starts the map again.
TEST(ComparePairMap, AChangeOfTheSameSizeStartsTheMapAgain) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    std::vector<uint8_t> bytes = random_bytes(64 << 10, 7);
    TempFile a(bytes), b(bytes);
    {
        Application app;
        app.set_fname(a.c_path());
        app.file_b.path = b.c_path();
        app.load_file_window();
        app.file_map.on = true;
        auto summary = [&] {
            OverlayBlock overlay{};
            app.fill_map_record(overlay);
            wait_for_end(app.compare.map_worker, app.file_map.generation);
            app.on_pair_map_notice();
            return app.compare.summary_ready ? summary_text(app.compare.differing_bytes, app.compare.differing_runs)
                                             : "not ready";
        };
        EXPECT_EQ(summary(), "the files are identical");
        b.write_at(16, {uint8_t(~bytes[16]), uint8_t(~bytes[17]), uint8_t(~bytes[18])});
        app.on_watch_notice();
        EXPECT_EQ(summary(), "3 bytes differ in 1 run");

        bytes[40000] ^= 1;
        TempFile replacement(bytes);
        ASSERT_EQ(std::rename(replacement.path().c_str(), a.path().c_str()), 0);
        app.on_watch_notice();
        EXPECT_EQ(summary(), "4 bytes differ in 2 runs");
    }
    SDL_Quit();
}
