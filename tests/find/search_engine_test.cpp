#include "find/search_engine.h"
#include "find/search_worker.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

const uint64_t TiB = uint64_t{1} << 40;

struct OpenFile {
    explicit OpenFile(const TempFile& file) : fd(::open(file.path().c_str(), O_RDONLY)) {}
    ~OpenFile() { ::close(fd); }
    int fd;
};

SearchOutcome search(const TempFile& file, const SearchPattern& pattern, uint64_t from, bool backward = false,
                     size_t block = 4096) {
    OpenFile open(file);
    std::atomic<bool> cancel{false};
    SearchRequest request{pattern, from, backward, true};
    return run_search(open.fd, request, cancel, [](const SearchProgress&) {}, block);
}

SearchPattern hex(const std::string& text) { return parse_hex_pattern(text); }

// Every offset of a 16 KiB file, searched with 4 KiB blocks: each match is
// found exactly where it is, also across every block boundary.
TEST(SearchEngine, FindsMatchesAtEveryPlaceIncludingBlockBoundaries) {
    for (uint64_t at : {uint64_t{0}, uint64_t{4093}, uint64_t{4094}, uint64_t{4095}, uint64_t{4096}, uint64_t{8190},
                        uint64_t{16384 - 4}}) {
        TempFile file(16384, at, {0xde, 0xad, 0xbe, 0xef});
        const SearchOutcome forward = search(file, hex("deadbeef"), 0);
        ASSERT_EQ(forward.kind, SearchOutcome::Kind::Found) << at;
        EXPECT_EQ(forward.offset, at);
        EXPECT_FALSE(forward.wrapped);
        const SearchOutcome backward = search(file, hex("de ad be ef"), 16384, true);
        EXPECT_EQ(backward.offset, at) << at;
        EXPECT_EQ(search(file, hex("de ?? be ef"), 0, false, 1 << 20).offset, at) << at;
    }
}

TEST(SearchEngine, OverlappingMatchesWrapAroundAndNotFound) {
    TempFile file(10000, 5000, {'a', 'a', 'a', 'a'});
    EXPECT_EQ(search(file, hex("\"aa\""), 0).offset, 5000u);
    EXPECT_EQ(search(file, hex("\"aa\""), 5001).offset, 5001u) << "overlapping";
    EXPECT_EQ(search(file, hex("\"aa\""), 5003).offset, 5000u) << "past the last: wraps";
    EXPECT_TRUE(search(file, hex("\"aa\""), 5003).wrapped);
    EXPECT_EQ(search(file, hex("\"aa\""), 5002, true).offset, 5001u);
    const SearchOutcome wrapped_back = search(file, hex("\"aa\""), 5000, true);
    EXPECT_EQ(wrapped_back.offset, 5002u);
    EXPECT_TRUE(wrapped_back.wrapped);
    // A match that straddles the start of a wrapping search is found by its second pass.
    EXPECT_EQ(search(file, hex("\"aaaa\""), 5002).offset, 5000u);
    EXPECT_EQ(search(file, hex("\"ab\""), 0).kind, SearchOutcome::Kind::NotFound);
}

TEST(SearchEngine, WildcardsAndCaseFolding) {
    TempFile file(20000, 12345, {'x', 'P', 'k', 0x03, 0x04, 'M', 'a', 'G', 'i', 'C'});
    EXPECT_EQ(search(file, hex("\"P\" ?? 03 04"), 0).offset, 12346u);
    EXPECT_EQ(search(file, hex("?? ?? 03"), 0).offset, 12346u);
    EXPECT_EQ(search(file, parse_text_pattern("magic", true), 0).offset, 12350u);
    EXPECT_EQ(search(file, parse_text_pattern("magic", false), 0).kind, SearchOutcome::Kind::NotFound);
    EXPECT_EQ(search(file, parse_text_pattern("pK\\x03", true), 0).offset, 12346u);
}

// Holes are skipped without reading them, and a match that runs from data
// into a hole (whose bytes read as zeros) is still found.
TEST(SearchEngine, SparseTerabyteWithDataRunsIsSearchedQuickly) {
    TempFile file(TiB, 0, {1, 2, 3});
    file.write_at(TiB / 2, {7, 7, 7});
    file.write_at(TiB - 4096 - 2, {0x41, 0x42});  // the hole follows
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(search(file, hex("41 42 00 00"), 4, false, 4 << 20).offset, TiB - 4096 - 2);
    EXPECT_EQ(search(file, hex("07 07 07"), TiB - 10, true, 4 << 20).offset, TiB / 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "holes were read";
}

// The progress report comes after 50 ms of searching; cancelling from it
// must stop the search at the next block.
TEST(SearchEngine, CancelStopsWithinABlockAndShrinkingFilesEndCleanly) {
    TempFile file(std::vector<uint8_t>(size_t{512} << 20, 1));
    OpenFile open(file);
    std::atomic<bool> cancel{false};
    uint64_t reported = 0;
    SearchRequest absent{hex("02"), 0, false, true};
    const SearchOutcome cancelled = run_search(open.fd, absent, cancel, [&](const SearchProgress& progress) {
        reported = progress.position;
        cancel = true;
    }, 4096);
    EXPECT_EQ(cancelled.kind, SearchOutcome::Kind::Cancelled);
    EXPECT_GT(reported, 0u);

    std::atomic<bool> keep_going{false};
    file.resize(1000);
    file.write_at(500, {2});
    SearchRequest request{hex("02"), 0, false, true};
    const SearchOutcome shrunk = run_search(open.fd, request, keep_going, [](const SearchProgress&) {});
    EXPECT_EQ(shrunk.offset, 500u);
}

// The file changes under a search: `change` runs once, from the report of
// the block that ends (or, backward, starts) at `at`, after that block is
// mapped and before it is scanned.
SearchOutcome search_while(const TempFile& file, const SearchPattern& pattern, bool backward, uint64_t at,
                           const std::function<void()>& change) {
    OpenFile open(file);
    std::atomic<bool> cancel{false};
    bool changed = false;
    SearchRequest request{pattern, backward ? uint64_t(::lseek(open.fd, 0, SEEK_END)) : 0, backward, true};
    return run_search(open.fd, request, cancel, [&](const SearchProgress& progress) {
        if (progress.position == at && !changed) {
            changed = true;
            change();
        }
    }, 64 << 10, std::chrono::milliseconds(0));
}

// A file cut to half while its block across the new end is mapped: the
// scan faults there, and the bytes still there are searched; the same
// backward, from a block now wholly past the end.
TEST(SearchEngine, FileShrinkingToHalfIsSearchedUpToItsNewEnd) {
    const uint64_t K = 1024;
    auto search_shrinking = [&](const SearchPattern& pattern, bool backward) {
        TempFile file(std::vector<uint8_t>(192 * K, 1));
        file.write_at(90 * K, {4});
        file.write_at(100 * K, {3});
        return search_while(file, pattern, backward, 128 * K, [&] { file.resize(96 * K); });
    };
    EXPECT_EQ(search_shrinking(hex("03"), false).kind, SearchOutcome::Kind::NotFound);
    EXPECT_EQ(search_shrinking(hex("04"), false).offset, 90 * K);
    const SearchOutcome backward = search_shrinking(hex("04"), true);
    EXPECT_EQ(backward.kind, SearchOutcome::Kind::Found);
    EXPECT_EQ(backward.offset, 90 * K);
}

// A file that grows is searched as long as it was at the start; one cut to
// nothing ends the search with "not found".
TEST(SearchEngine, FileGrowingOrTruncatedToZeroDuringTheScan) {
    const uint64_t K = 1024;
    TempFile file(std::vector<uint8_t>(192 * K, 1));
    file.write_at(150 * K, {6});
    EXPECT_EQ(search_while(file, hex("07"), false, 64 * K, [&] { file.write_at(300 * K, {7}); }).kind,
              SearchOutcome::Kind::NotFound);
    EXPECT_EQ(search(file, hex("07"), 0).offset, 300 * K) << "the next search sees the new end";
    EXPECT_EQ(search_while(file, hex("06"), false, 128 * K, [&] { file.resize(0); }).kind,
              SearchOutcome::Kind::NotFound);
}

// The worker's notices arrive as SDL events, and its state is read on the
// main thread; a new search replaces a running one.
TEST(SearchWorker, NotifiesThroughTheEventQueueAndReplacesARunningSearch) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile long_file(std::vector<uint8_t>(size_t{256} << 20, 1));
    TempFile short_file(100000, 77777, {0xca, 0xfe});
    SearchWorker worker;
    worker.start(long_file.path(), SearchRequest{hex("02"), 0, false, true});
    const uint64_t second = worker.start(short_file.path(), SearchRequest{hex("ca fe"), 0, false, true});
    SearchWorker::State state;
    SDL_Event event;
    while (SDL_WaitEventTimeout(&event, 5000)) {
        if (event.type != SearchWorker::event_type()) continue;
        state = worker.snapshot();
        if (state.generation == second && !state.running) break;
    }
    EXPECT_EQ(state.generation, second);
    EXPECT_EQ(state.outcome.kind, SearchOutcome::Kind::Found);
    EXPECT_EQ(state.outcome.offset, 77777u);

    const uint64_t cancelled = worker.start(long_file.path(), SearchRequest{hex("02"), 0, false, true});
    worker.cancel();
    EXPECT_EQ(wait_for_end(worker, cancelled).outcome.kind, SearchOutcome::Kind::Cancelled);
    SDL_Quit();
}

// Reads failing on [0x1000, 0x1200) (the read shim linked into these
// tests): the search steps around them, finds matches in the bytes it
// read on both sides and in both directions, never in the stretch it could
// not read, and counts that stretch.
TEST(SearchEngine, UnreadableStretchesAreSteppedAroundAndCounted) {
    TempFile file(random_bytes(0x4000, 23));
    file.write_at(0x0ffe, {0, 0});  // a run of zeros that would go on into the stretch
    file.write_at(0x1200, {0xca, 0xfe, 0xf0, 0x0d});
    file.write_at(0x0f00, {0xca, 0xfe, 0xf0, 0x0d});
    setenv("QUIRN_UNREADABLE", (file.path() + ":0x1000:0x1200").c_str(), 1);
    for (size_t block : {size_t{4096}, size_t{1} << 20}) {
        const SearchOutcome after = search(file, hex("ca fe f0 0d"), 0x1000, false, block);
        EXPECT_EQ(after.kind, SearchOutcome::Kind::Found) << block;
        EXPECT_EQ(after.offset, 0x1200u) << block;
        const SearchOutcome before = search(file, hex("ca fe f0 0d"), 0x1200, true, block);
        EXPECT_EQ(before.offset, 0x0f00u) << block;
        const SearchOutcome zeros = search(file, hex("00 00 00 00 00 00 00 00"), 0, false, block);
        EXPECT_EQ(zeros.kind, SearchOutcome::Kind::NotFound) << block;
        EXPECT_EQ(zeros.unreadable, 0x200u) << block;
    }
    unsetenv("QUIRN_UNREADABLE");
    EXPECT_EQ(search(file, hex("00 00 00 00 00 00 00 00"), 0).unreadable, 0u);
}

// A file replaced (renamed over) while it was searched: the outcome is not
// the shown file's, whatever the scan found; one that shrank loses a match
// past its new end.
TEST(SearchWorker, AnOutcomeHoldsOnlyForTheFileStillShown) {
    TempFile file(random_bytes(8192, 29));
    OpenFile searched(file);
    const SearchOutcome found{SearchOutcome::Kind::Found, 4000, false, "", 0};
    EXPECT_EQ(as_shown(found, searched.fd, file.path(), 4).kind, SearchOutcome::Kind::Found);
    file.resize(4002);
    EXPECT_EQ(as_shown(found, searched.fd, file.path(), 4).kind, SearchOutcome::Kind::NotFound);
    TempFile replacement(std::vector<uint8_t>(8192, 0));
    ASSERT_EQ(std::rename(replacement.path().c_str(), file.path().c_str()), 0);
    for (const SearchOutcome::Kind kind : {SearchOutcome::Kind::Found, SearchOutcome::Kind::NotFound}) {
        EXPECT_EQ(as_shown(SearchOutcome{kind, 16, false, "", 0}, searched.fd, file.path(), 4).kind,
                  SearchOutcome::Kind::Changed);
    }
}

TEST(SearchPatterns, HexTextAndTheirErrors) {
    const SearchPattern mixed = parse_hex_pattern("\"PK\" 0304 ??");
    EXPECT_EQ(mixed.bytes, (std::vector<uint8_t>{'P', 'K', 3, 4, 0}));
    EXPECT_EQ(mixed.any, (std::vector<bool>{false, false, false, false, true}));
    EXPECT_EQ(parse_text_pattern("a\\x41\\n\\t\\0\\\\\\\"", false).bytes,
              (std::vector<uint8_t>{'a', 'A', '\n', '\t', 0, '\\', '"'}));
    for (const char* bad : {"7f 4", "", "   ", "zz", "\"open", "?", "\"\\q\""}) {
        EXPECT_FALSE(parse_hex_pattern(bad).valid()) << bad;
        EXPECT_FALSE(parse_hex_pattern(bad).error.empty()) << bad;
    }
    for (const char* bad : {"", "\\x4", "\\q", "end\\"}) {
        EXPECT_FALSE(parse_text_pattern(bad, false).valid()) << bad;
    }
}

}  // namespace
