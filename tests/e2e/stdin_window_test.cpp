// Standard input through a real pipe: the page follows it as it arrives, the
// status line says how much so far and then that it ended, and a hash of
// the whole of it goes to the label line and the clipboard.
#include "e2e/viewer_session.h"
#include "hash/hash_kind.h"
#include "hash/hash_range.h"
#include "stdin/stdin_reader.h"
#include "support/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

void write_all(int fd, const std::vector<uint8_t>& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += size_t(n);
    }
}

std::string clipboard() {
    std::string out;
    if (FILE* pipe = ::popen("timeout 5 xclip -o -selection clipboard 2>/dev/null", "r")) {
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

TEST(StandardInput, FollowsAPipeAndHashesIt) {
    REQUIRE_DISPLAY();
    int pipe_fds[2];
    ASSERT_EQ(::pipe2(pipe_fds, O_CLOEXEC), 0);
    TempFile model_file(std::vector<uint8_t>{});  // the same bytes, for the model
    ViewerSession session("-", {}, {}, pipe_fds[0], model_file.path());
    ::close(pipe_fds[0]);
    ASSERT_TRUE(session.has_window());
    EXPECT_EQ(session.title(), "(standard input) - quirn");
    const auto arrived = [&](const std::vector<uint8_t>& bytes, uint64_t total, bool ended) {
        if (!bytes.empty()) {
            write_all(pipe_fds[1], bytes);
            model_file.write_at(total - bytes.size(), bytes);
        }
        session.model_status_line().put("standard input", {{"", standard_input_text(total, ended, 0)}});
        session.file_changed();
    };
    arrived({}, 0, false);
    ASSERT_TRUE(session.shows_model_page("stdin_empty"));

    // The view of the last page follows the end as it grows.
    const std::vector<uint8_t> first = random_bytes(5000, 11);
    arrived(first, first.size(), false);
    ASSERT_TRUE(session.shows_model_page("stdin_grown"));
    EXPECT_EQ(session.model_offset(), end_target(first.size(), page_rows));

    // A view elsewhere stays; the size still grows, until the end.
    session.key("Home");
    const std::vector<uint8_t> second = random_bytes(3 << 20, 12);
    arrived(second, first.size() + second.size(), false);
    ASSERT_TRUE(session.shows_model_page("stdin_more"));
    ::close(pipe_fds[1]);
    arrived({}, first.size() + second.size(), true);
    ASSERT_TRUE(session.shows_model_page("stdin_ended"));

    // Hashed without a selection: the whole of it.
    session.key_with("3", KMOD_LSHIFT, "#");
    ASSERT_TRUE(session.shows_model_page("hash_menu"));
    session.key_unmodelled("2");
    const std::atomic<bool> cancel{false};
    const uint64_t total = first.size() + second.size();
    const HashOutcome expected = hash_range(model_file.path(), HashKind::Sha256, 0, total, cancel, [](uint64_t) {});
    ASSERT_EQ(expected.kind, HashOutcome::Kind::Done);
    session.set_model_status(hash_result_line(HashKind::Sha256, 0, total, expected.digest, 60));
    ASSERT_TRUE(session.shows_model_page("hash_shown"));
    if (std::system("command -v xclip >/dev/null") == 0) {
        EXPECT_EQ(clipboard(), expected.digest);
    }
}

}  // namespace
