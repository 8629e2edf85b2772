#include "compare/diff_engine.h"
#include "compare/diff_worker.h"
#include "compare/compare_state.h"
#include "compare/pair_map.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <random>

namespace {

const uint64_t page = 4096;

// A file written page by page, leaving a hole wherever a page is all zeros.
std::unique_ptr<TempFile> sparse_file(const std::vector<uint8_t>& bytes) {
    auto file = std::make_unique<TempFile>(bytes.size(), 0, std::vector<uint8_t>{});
    for (uint64_t at = 0; at < bytes.size(); at += page) {
        const auto first = bytes.begin() + long(at), last = bytes.begin() + long(std::min<uint64_t>(at + page, bytes.size()));
        if (std::any_of(first, last, [](uint8_t b) { return b != 0; })) file->write_at(at, {first, last});
    }
    return file;
}

struct Pair {
    Pair(const TempFile& a, const TempFile& b, int64_t shift, size_t block = page)
        : fd_a(::open(a.path().c_str(), O_RDONLY)), fd_b(::open(b.path().c_str(), O_RDONLY)),
          scan(fd_a, fd_b, shift, cancel, block) {
        EXPECT_TRUE(scan.measure());
    }
    ~Pair() {
        ::close(fd_a);
        ::close(fd_b);
    }
    int fd_a, fd_b;
    std::atomic<bool> cancel{false};
    PairScan scan;
};

// The rule itself, byte by byte.
struct Naive {
    const std::vector<uint8_t>& a;
    const std::vector<uint8_t>& b;
    int64_t shift;

    uint64_t span() const { return pair_span(a.size(), b.size(), shift); }
    bool differs(uint64_t x) const {
        const int64_t y = int64_t(x) + shift;
        const bool in_a = x < a.size(), in_b = y >= 0 && y < int64_t(b.size());
        return in_a != in_b || (in_a && a[x] != b[size_t(y)]);
    }
    DiffOutcome find(uint64_t from, bool backward) const {
        DiffOutcome outcome;
        from = std::min(from, span());
        if (!backward) {
            uint64_t first = from;
            while (first < span() && !differs(first)) ++first;
            uint64_t end = first;
            while (end < span() && differs(end)) ++end;
            if (end > first) outcome = DiffOutcome{DiffOutcome::Kind::Found, {first, end - first}, ""};
        } else {
            uint64_t end = from;
            while (end > 0 && !differs(end - 1)) --end;
            uint64_t first = end;
            while (first > 0 && differs(first - 1)) --first;
            if (end > first) outcome = DiffOutcome{DiffOutcome::Kind::Found, {first, end - first}, ""};
        }
        return outcome;
    }
};

// Pages of random bytes and of zeros (holes once written).
std::vector<uint8_t> random_pages(std::mt19937& random, uint64_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint64_t at = 0; at < size; at += page) {
        if (random() % 3 == 0) continue;
        for (uint64_t i = at; i < std::min(size, at + page); ++i) bytes[i] = uint8_t(random() % 4);  // often equal by chance
    }
    return bytes;
}

}  // namespace

TEST(DiffEngine, VectorMatchesAgreeWithBytewiseAtEveryPosition) {
    std::vector<uint8_t> a = random_bytes(300, 1), b = a;
    for (size_t n : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{200}, size_t{300}}) {
        for (size_t at = 0; at < n; ++at) {
            b = a;
            b[at] ^= 0x40;
            EXPECT_EQ(first_match(a.data(), b.data(), n, false), at) << n;
            EXPECT_EQ(last_match(a.data(), b.data(), n, false), at) << n;
            EXPECT_EQ(first_match(a.data(), b.data(), n, true), at == 0 ? 1u : 0u) << n;
            std::vector<uint8_t> c(a.begin(), a.end());
            for (auto& byte : c) byte ^= 1;
            c[at] = a[at];
            EXPECT_EQ(first_match(a.data(), c.data(), n, true), at);
            EXPECT_EQ(last_match(a.data(), c.data(), n, true), at);
        }
        EXPECT_EQ(first_match(a.data(), a.data(), n, false), n);
        EXPECT_EQ(last_match(a.data(), a.data(), n, false), n);
    }
}

// Random pairs against the rule: block edges, holes in one or both, unequal
// lengths, shifts of both signs, forward and backward from many places.
TEST(DiffEngine, FindsTheSameRunsAsAByteByByteComparison) {
    std::mt19937 random(26);
    for (int round = 0; round < 60; ++round) {
        const uint64_t size_a = random() % (6 * page);
        const int64_t shift = round % 4 == 0 ? 0 : int64_t(random() % (3 * page + 1)) - int64_t(3 * page / 2);
        std::vector<uint8_t> a = random_pages(random, size_a);
        // B: A moved by the shift, some bytes, runs and pages changed, and a length of its own.
        const uint64_t size_b = round % 5 == 0 ? uint64_t(std::max<int64_t>(0, int64_t(size_a) + shift))
                                               : random() % (6 * page);
        std::vector<uint8_t> b(size_b);
        for (uint64_t y = 0; y < size_b; ++y) {
            const int64_t x = int64_t(y) - shift;
            b[y] = x >= 0 && x < int64_t(size_a) ? a[size_t(x)] : 0;
        }
        for (int change = 0; change < int(random() % 6) && size_b > 0; ++change) {
            const uint64_t at = random() % size_b;
            const uint64_t length = random() % 2 ? 1 : random() % (2 * page);
            const bool clear = random() % 3 == 0;
            for (uint64_t i = at; i < std::min(size_b, at + length); ++i) b[i] = clear ? 0 : uint8_t(b[i] + 1);
        }
        const auto file_a = sparse_file(a), file_b = sparse_file(b);
        Pair pair(*file_a, *file_b, shift);
        const Naive naive{a, b, shift};
        ASSERT_EQ(pair.scan.span(), naive.span());
        std::vector<uint64_t> froms = {0, naive.span(), naive.span() / 2, page, page - 1, page + 1};
        for (int i = 0; i < 6; ++i) froms.push_back(random() % (naive.span() + 1));
        // The map's count of bytes and runs, over the whole of both files:
        // B's bytes before A's first (a positive shift) are one run.
        const uint64_t leading = shift > 0 ? std::min(uint64_t(shift), size_b) : 0;
        uint64_t bytes = leading, runs = leading > 0;
        for (uint64_t x = 0; x < naive.span(); ++x) {
            bytes += naive.differs(x);
            runs += naive.differs(x) && (x == 0 ? leading == 0 : !naive.differs(x - 1));
        }
        for (int length : {7, 1048}) {  // the second: slices share bytes in the smaller pairs
            PairMapProgress last;
            run_pair_map(pair.fd_a, pair.fd_b, shift, length, pair.cancel, [] {},
                         [&](const PairMapProgress& progress) { last = progress; });
            ASSERT_TRUE(last.complete) << "round " << round;
            EXPECT_EQ(last.differing_bytes, bytes) << "round " << round << " length " << length;
            EXPECT_EQ(last.differing_runs, runs) << "round " << round << " length " << length;
        }
        for (uint64_t from : froms) {
            for (bool backward : {false, true}) {
                const DiffOutcome want = naive.find(from, backward);
                const DiffOutcome got = find_difference(pair.scan, from, backward);
                ASSERT_EQ(got.kind, want.kind) << "round " << round << " from " << from << " backward " << backward;
                EXPECT_EQ(got.run.first, want.run.first) << "round " << round << " from " << from << " " << backward;
                EXPECT_EQ(got.run.length, want.run.length) << "round " << round << " from " << from << " " << backward;
            }
        }
    }
}

// Two sparse files of a terabyte, each with three blocks of data and one byte
// that differs: found both ways without reading the holes, and the common
// holes read as holes in both.
TEST(DiffEngine, SkipsHolesInBothAcrossATerabyte) {
    const uint64_t size = uint64_t{1} << 40;
    const std::vector<uint8_t> data = random_bytes(page, 7);
    TempFile a(size, 0, data), b(size, 0, data);
    for (const TempFile* file : {&a, &b}) {
        file->write_at(size / 2, data);
        file->write_at(size - page, data);
    }
    std::vector<uint8_t> changed = data;
    changed[100] ^= 1;
    b.write_at(size - page, changed);
    Pair pair(a, b, 0, size_t{2} << 20);
    const DiffOutcome forward = find_difference(pair.scan, 0, false);
    ASSERT_EQ(forward.kind, DiffOutcome::Kind::Found);
    EXPECT_EQ(forward.run.first, size - page + 100);
    EXPECT_EQ(forward.run.length, 1u);
    const DiffOutcome backward = find_difference(pair.scan, size, true);
    EXPECT_EQ(backward.run.first, size - page + 100);
    EXPECT_EQ(find_difference(pair.scan, size - page + 101, false).kind, DiffOutcome::Kind::NotFound);
    EXPECT_EQ(find_difference(pair.scan, size - page + 100, true).kind, DiffOutcome::Kind::NotFound);
    EXPECT_TRUE(pair.scan.holes_in_both(page, size / 2));
    EXPECT_FALSE(pair.scan.holes_in_both(page, size / 2 + 1));
    pair.cancel = true;
    EXPECT_EQ(find_difference(pair.scan, 0, false).kind, DiffOutcome::Kind::Cancelled);
}

// Reads of B failing on the sector [50176, 50688) (the read shim): the difference
// before them is found in either direction, their bytes are neither equal
// nor different, and they are counted, by a look and by the pair map. A
// file whose reads end before its size says (a kernel's file) compares as
// far as its bytes go.
TEST(DiffEngine, UnreadableBytesAreNeitherEqualNorDifferentAndFilesAsLongAsTheirBytes) {
    std::vector<uint8_t> bytes = random_bytes(100000, 5);
    TempFile a(bytes);
    bytes[5000] ^= 1;
    bytes[50300] ^= 1;  // unreadable in B: not a difference
    TempFile b(bytes);
    setenv("QUIRN_UNREADABLE", (b.path() + ":50176:50688").c_str(), 1);
    for (size_t block : {size_t(page), size_t{2} << 20}) {
        Pair pair(a, b, 0, block);
        const DiffOutcome forward = find_difference(pair.scan, 0, false);
        ASSERT_EQ(forward.kind, DiffOutcome::Kind::Found) << forward.error;
        EXPECT_EQ(forward.run.first, 5000u);
        EXPECT_EQ(forward.run.length, 1u);
        const DiffOutcome backward = find_difference(pair.scan, 100000, true);
        ASSERT_EQ(backward.kind, DiffOutcome::Kind::Found) << backward.error;
        EXPECT_EQ(backward.run.first, 5000u);
        Pair after(a, b, 0, block);
        const DiffOutcome none = find_difference(after.scan, 5001, false);
        EXPECT_EQ(none.kind, DiffOutcome::Kind::NotFound) << none.error;
        EXPECT_EQ(none.unreadable[0], 0u);
        EXPECT_EQ(none.unreadable[1], 512u);

        PairMapProgress last;
        run_pair_map(
            pair.fd_a, pair.fd_b, 0, 100, pair.cancel, [] {}, [&](const PairMapProgress& p) { last = p; });
        ASSERT_TRUE(last.complete);
        EXPECT_EQ(summary_text(last.differing_bytes, last.differing_runs) + unreadable_note(last.unreadable),
                  "1 byte differs in 1 run; cannot read 512 bytes of B");
    }
    unsetenv("QUIRN_UNREADABLE");

    TempFile kernel(std::vector<uint8_t>(4096, 'x')), plain(std::vector<uint8_t>(23, 'x'));
    setenv("QUIRN_SHRUNK", (kernel.path() + ":23").c_str(), 1);
    {
        Pair pair(kernel, plain, 0);
        EXPECT_EQ(pair.scan.size_a(), 23u);
        const DiffOutcome outcome = find_difference(pair.scan, 0, false);
        EXPECT_EQ(outcome.kind, DiffOutcome::Kind::NotFound) << outcome.error;
    }
    unsetenv("QUIRN_SHRUNK");
}

// The map's summary counts every byte of both files: the same pairing
// counts the same whichever file is first (shift s of A B is -s of B A),
// and agrees with the byte-by-byte rule over the whole of both.
TEST(DiffEngine, ThePairMapCountsTheSameWhicheverFileIsFirst) {
    std::vector<uint8_t> a_bytes = random_bytes(5000, 8);
    std::vector<uint8_t> b_bytes(a_bytes.begin() + 3, a_bytes.end());
    b_bytes.insert(b_bytes.begin(), {1, 2, 3, 4, 5, 6});
    for (size_t at : {size_t{100}, size_t{101}, size_t{4000}}) b_bytes[at] ^= 0x40;
    TempFile a(a_bytes), b(b_bytes);
    auto summary = [](const TempFile& first, const TempFile& second, int64_t shift) {
        Pair pair(first, second, shift);
        PairMapProgress last;
        run_pair_map(pair.fd_a, pair.fd_b, shift, 64, pair.cancel, [] {}, [&](const PairMapProgress& p) { last = p; });
        EXPECT_TRUE(last.complete);
        return std::make_pair(last.differing_bytes, last.differing_runs);
    };
    for (int64_t shift : {int64_t{3}, int64_t{6}, int64_t{40}}) {
        // The rule: B's bytes before A's first, then every byte of the span.
        uint64_t bytes = uint64_t(shift), runs = 1;
        const Naive naive{a_bytes, b_bytes, shift};
        bool last = true;
        for (uint64_t x = 0; x < naive.span(); ++x) {
            const bool differs = naive.differs(x);
            bytes += differs;
            runs += differs && !last;
            last = differs;
        }
        EXPECT_EQ(summary(a, b, shift), std::make_pair(bytes, runs)) << shift;
        EXPECT_EQ(summary(b, a, -shift), std::make_pair(bytes, runs)) << shift;
    }
}

TEST(DiffWorker, NotifiesThroughTheEventQueueAndReplacesARunningLook) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    const std::vector<uint8_t> big(size_t{64} << 20, 1);
    TempFile a(big), b(big);
    b.write_at(big.size() - 3, {9, 9});
    DiffWorker worker;
    worker.start(DiffRequest{a.path(), a.path(), 0, 0, false});  // identical: reads to the end unless replaced
    const uint64_t second = worker.start(DiffRequest{a.path(), b.path(), 0, 0, false});
    DiffWorker::State state;
    SDL_Event event;
    while (SDL_WaitEventTimeout(&event, 5000)) {
        if (event.type != DiffWorker::event_type()) continue;
        state = worker.snapshot();
        if (state.generation == second && !state.running) break;
    }
    EXPECT_EQ(state.generation, second);
    ASSERT_EQ(state.outcome.kind, DiffOutcome::Kind::Found);
    EXPECT_EQ(state.outcome.run.first, big.size() - 3);
    EXPECT_EQ(state.outcome.run.length, 2u);

    const uint64_t cancelled = worker.start(DiffRequest{a.path(), a.path(), 0, 0, false});
    worker.cancel();
    EXPECT_EQ(wait_for_end(worker, cancelled).outcome.kind, DiffOutcome::Kind::Cancelled);
    const uint64_t failed = worker.start(DiffRequest{a.path(), "/nonexistent/quirn", 0, 0, false});
    EXPECT_EQ(wait_for_end(worker, failed).outcome.kind, DiffOutcome::Kind::Failed);
    SDL_Quit();
}

// The pair map's worker waits while held (a look or a search runs), goes on
// when released, and its last notice carries the summary.
TEST(DiffWorker, PairMapWaitsWhileHeldAndEndsWithTheSummary) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    std::vector<uint8_t> bytes = random_bytes(size_t{8} << 20, 3);
    TempFile a(bytes);
    bytes[5] ^= 1;
    bytes[6] ^= 1;
    bytes[size_t{6} << 20] ^= 1;
    TempFile b(bytes);
    PairMapWorker worker;
    worker.hold(true);
    worker.start(a.path(), b.path(), 0, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(worker.snapshot().running) << "held: it waits between blocks";
    worker.hold(false);
    for (int i = 0; i < 500 && worker.snapshot().running; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const PairMapWorker::State state = worker.snapshot();
    ASSERT_TRUE(state.progress.complete);
    EXPECT_EQ(summary_text(state.progress.differing_bytes, state.progress.differing_runs), "3 bytes differ in 2 runs");
    EXPECT_EQ(state.progress.classes[0], uint8_t(PairSlice::Differing));
    EXPECT_EQ(state.progress.classes[50], uint8_t(PairSlice::Same));
    worker.hold(true);
    worker.start(a.path(), b.path(), 0, 100);
    worker.stop();  // a held worker still stops
    SDL_Quit();
}
