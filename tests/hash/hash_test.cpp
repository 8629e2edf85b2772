// Hashes of a range: each kind against the command-line tool that computes
// it, on random and on sparse data, and the refusals that keep a digest true.
#include "hash/hash_kind.h"
#include "hash/hash_range.h"
#include "hash/hash_worker.h"
#include "stdin/stdin_reader.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <iterator>

namespace {

const uint64_t MiB = uint64_t{1} << 20;

// The first word the command prints.
std::string first_word_of(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "";
    char word[256] = {};
    const int got = std::fscanf(pipe, "%255s", word);
    ::pclose(pipe);
    return got == 1 ? word : "";
}

const struct {
    HashKind kind;
    const char* tool;
} tools[] = {
    {HashKind::Crc32, "crc32"},         {HashKind::Md5, "md5sum"},       {HashKind::Sha1, "sha1sum"},
    {HashKind::Sha256, "sha256sum"},    {HashKind::Sha512, "sha512sum"}, {HashKind::Xxh64, "xxhsum -H1"},
};

HashOutcome hash_of(const TempFile& file, HashKind kind, uint64_t first, uint64_t length) {
    const std::atomic<bool> cancel{false};
    return hash_range(file.path(), kind, first, length, cancel, [](uint64_t) {});
}

// Whole files and a range inside one; the range's bytes are given to the
// tool as a file of their own.
TEST(Hash, EachKindAgreesWithItsTool) {
    const std::vector<uint8_t> random = random_bytes(3 * MiB + 1234, 7);
    const TempFile random_file(random);
    // Holes around data, the data neither starting nor ending on a block.
    const TempFile sparse(9 * MiB + 7, 2 * MiB + 3, random_bytes(300000, 8));
    const uint64_t range_first = 1000, range_length = 700001;
    const TempFile range_file(std::vector<uint8_t>(random.begin() + range_first,
                                                   random.begin() + range_first + range_length));
    const TempFile empty(std::vector<uint8_t>{});
    for (const auto& [kind, tool] : tools) {
        SCOPED_TRACE(tool);
        const struct {
            const TempFile& file;
            uint64_t first, length;
            const TempFile& tool_file;
        } cases[] = {
            {random_file, 0, random.size(), random_file},
            {sparse, 0, 9 * MiB + 7, sparse},
            {random_file, range_first, range_length, range_file},
            {empty, 0, 0, empty},
        };
        for (const auto& c : cases) {
            const HashOutcome outcome = hash_of(c.file, kind, c.first, c.length);
            ASSERT_EQ(outcome.kind, HashOutcome::Kind::Done) << outcome.error;
            EXPECT_EQ(outcome.digest, first_word_of(std::string(tool) + " " + c.tool_file.path() + " 2>/dev/null")) << c.file.path();
        }
    }
}

// The holes are not read: reads of them would fail here, and the hash is
// still the tool's.
TEST(Hash, HolesAreZerosWithoutReads) {
    const TempFile sparse(64 * MiB, 40 * MiB, random_bytes(5000, 3));
    const std::string setting = sparse.path() + ":0:" + std::to_string(40 * MiB);
    ::setenv("QUIRN_UNREADABLE", setting.c_str(), 1);
    const HashOutcome outcome = hash_of(sparse, HashKind::Sha256, 0, 64 * MiB);
    ::unsetenv("QUIRN_UNREADABLE");
    ASSERT_EQ(outcome.kind, HashOutcome::Kind::Done) << outcome.error;
    EXPECT_EQ(outcome.digest, first_word_of("sha256sum " + sparse.path()));
}

TEST(Hash, RefusesWhatItCannotReadWhole) {
    const TempFile file(random_bytes(2 * MiB, 5));
    const struct {
        const char* variable;
        std::string setting;
        uint64_t first, length;
        std::string error;
    } cases[] = {
        {"QUIRN_UNREADABLE", file.path() + ":0x12345:0x12400", 0, 2 * MiB, "cannot read at 12200: Input/output error"},
        {"QUIRN_SHRUNK", file.path() + ":1000000", 4096, 2 * MiB - 4096, "the file ended before the selection did"},
        {"", "", 2 * MiB - 10, 11, "the file ended before the selection did"},
    };
    for (const auto& c : cases) {
        if (*c.variable) ::setenv(c.variable, c.setting.c_str(), 1);
        const HashOutcome outcome = hash_of(file, HashKind::Md5, c.first, c.length);
        if (*c.variable) ::unsetenv(c.variable);
        EXPECT_EQ(outcome.kind, HashOutcome::Kind::Failed) << c.setting;
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.digest, "");
    }
}

TEST(Hash, CancelStopsWithoutDigest) {
    const TempFile file(random_bytes(MiB, 2));
    const std::atomic<bool> cancel{true};
    const HashOutcome outcome = hash_range(file.path(), HashKind::Sha512, 0, MiB, cancel, [](uint64_t) {});
    EXPECT_EQ(outcome.kind, HashOutcome::Kind::Cancelled);
    EXPECT_EQ(outcome.digest, "");
}

TEST(Hash, ResultLineKeepsAsManyDigitsAsFit) {
    const std::string sha512(128, 'a');
    const struct {
        HashKind kind;
        uint64_t first, end;
        std::string digest, line;
    } cases[] = {
        {HashKind::Crc32, 0, 0x10000, "3a7b9c01", "crc32 of 0..ffff: 3a7b9c01"},
        {HashKind::Sha512, 0x7e00, 0x8000, sha512, "sha512 of 7e00..7fff: " + std::string(35, 'a') + "..."},
        {HashKind::Md5, 0, 0, "d41d8cd98f00b204e9800998ecf8427e", "md5 of 0 bytes: d41d8cd98f00b204e9800998ecf8427e"},
    };
    for (const auto& c : cases) EXPECT_EQ(hash_result_line(c.kind, c.first, c.end, c.digest, 60), c.line);
}

// The worker's last notice carries the digest; a second job stops the first,
// whose notices then no longer count.
TEST(Hash, WorkerReportsTheDigestOrTheCancel) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    const TempFile file(random_bytes(2 * MiB, 9));
    const TempFile hole(uint64_t{1} << 40, 0, {1});
    HashWorker worker;
    start_hash(worker, {hole.path(), HashKind::Sha512, 0, uint64_t{1} << 40});
    const uint64_t second = start_hash(worker, {file.path(), HashKind::Xxh64, 0, 2 * MiB});
    HashRunState state = wait_for_end(worker, second);
    EXPECT_EQ(state.outcome.kind, HashOutcome::Kind::Done);
    EXPECT_EQ(state.outcome.digest, first_word_of("xxhsum -H1 " + file.path() + " 2>/dev/null"));
    const uint64_t third = start_hash(worker, {hole.path(), HashKind::Sha512, 0, uint64_t{1} << 40});
    worker.cancel();
    state = wait_for_end(worker, third);
    EXPECT_EQ(state.outcome.kind, HashOutcome::Kind::Cancelled);
    SDL_Quit();
}

// Standard input through a pipe: the spool file holds every byte by the
// notice of the end, and the count says so.
TEST(StdinReader, KeepsAPipeWhole) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    StdinReader reader;
    reader.open(fds[0]);
    reader.start();
    const std::vector<uint8_t> bytes = random_bytes(3 * MiB + 5, 4);
    std::thread writer([&] {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fds[1], bytes.data() + done, std::min<size_t>(bytes.size() - done, 100000));
            if (n <= 0) break;
            done += size_t(n);
        }
        ::close(fds[1]);
    });
    SDL_Event event;
    while (!reader.ended() && SDL_WaitEventTimeout(&event, 10000)) {
        if (event.type == StdinReader::event_type()) reader.take_notice();
    }
    writer.join();
    EXPECT_TRUE(reader.ended());
    EXPECT_EQ(reader.error(), 0);
    EXPECT_EQ(reader.copied(), bytes.size());
    std::ifstream kept(reader.path(), std::ios::binary);
    EXPECT_TRUE(std::vector<uint8_t>(std::istreambuf_iterator<char>(kept), {}) == bytes);
    EXPECT_EQ(standard_input_text(reader.copied(), false, 0), "standard input, 3 MiB so far");
    reader.stop();
    ::close(fds[0]);
    SDL_Quit();
}

}  // namespace
