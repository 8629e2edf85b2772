// Copy and save off the window: the formats at their edges, the save on real
// files (sparse, refused, cancelled, failing), and the worker's notices.
#include "core/application.h"
#include "render/view_block.h"
#include "support/temp_file.h"
#include "transfer/save_file.h"
#include "transfer/transfer_format.h"
#include "transfer/transfer_worker.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>
#include <chrono>
#include <cstdio>
#include <thread>

#include <filesystem>
#include <iomanip>
#include <map>
#include <sstream>
#include <fstream>

namespace {

namespace fs = std::filesystem;
const uint64_t MiB = uint64_t{1} << 20;

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out(3 * bytes.size(), '?');
    const char* end = append_hex(bytes.data(), bytes.size(), out.data());
    out.resize(size_t(end - out.data()));
    if (!out.empty()) out.pop_back();
    return out;
}

// The text of `bytes` as the page shows them in `charset`.
std::string text(const std::string& bytes, Charset charset = Charset::Koi8r) {
    std::string out(3 * bytes.size(), '?');
    const char* end = append_text(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), charset, out.data());
    out.resize(size_t(end - out.data()));
    return out;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(fs::file_size(path), '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    return bytes;
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TransferFormat, HexAndTextAtTheirEdges) {
    EXPECT_EQ(hex({}), "");
    EXPECT_EQ(hex({0x7f}), "7f");
    EXPECT_EQ(hex({0x7f, 0x45, 0x4c, 0x46, 0x00, 0xff}), "7f 45 4c 46 00 ff");
    const std::string all = hex(every_byte_value());
    EXPECT_EQ(all.size(), 3u * 256 - 1);
    EXPECT_EQ(all.substr(3 * 0xa5, 2), "a5");

    EXPECT_EQ(text(""), "");
    EXPECT_EQ(text("tab\tlf\ncr\r nul\x01\x1b\x7f end"), "tab\tlf\ncr\r nul... end");
    // Each byte as the page shows it in the set shown, never a raw byte:
    // UTF-8 in the file is two KOI8-R letters on the page, and so in the copy.
    for (const auto& [bytes, charset, shown] : std::vector<std::tuple<std::string, Charset, std::string>>{
             {"Caf\xe9 d\xe9j\xe0 vu", Charset::Latin1, "Café déjà vu"},
             {"\xc9\xcd\xcd\xcd\xbb", Charset::Cp437, "╔═══╗"},
             {"\xf0\xd2\xc9\xd7\xc5\xd4 \xa5", Charset::Koi8r, "Привет ╔"},
             {"\xc3\xa9", Charset::Koi8r, "ц╘"},
             {"\x85\x9f\xa0\xff", Charset::Latin1, "..\u00a0ÿ"},  // control codes as the dotted square shows them
             {"\xe9\xc9\xff", Charset::Ascii, "..."},
             {std::string("\0\t\x7f\xb0", 4), Charset::Cp437, ".\t.░"}}) {
        EXPECT_EQ(text(bytes, charset), shown) << charset_name(charset);
    }
    // Every byte of every set: valid UTF-8, one character a byte.
    for (const Charset charset : {Charset::Koi8r, Charset::Latin1, Charset::Cp437, Charset::Ascii}) {
        const std::vector<uint8_t> values = every_byte_value();
        const std::string copied = text(std::string(values.begin(), values.end()), charset);
        size_t characters = 0;
        for (const char c : copied) characters += (uint8_t(c) & 0xc0) != 0x80;
        EXPECT_EQ(characters, 256u) << charset_name(charset);
        EXPECT_EQ(std::string(copied).find("\xef\xbf\xbd"), std::string::npos);
    }
}

TEST(TransferFormat, SizesAndTheDefaultName) {
    EXPECT_EQ(size_text(1), "1 byte");
    EXPECT_EQ(size_text(9), "9 bytes");
    EXPECT_EQ(size_text(2 * MiB), "2 MiB");
    EXPECT_EQ(size_text(uint64_t(3.2 * 1024 * 1024 * 1024)), "3.2 GiB");
    EXPECT_EQ(exact_size_text(16 * MiB + 1), "16,777,217 bytes");  // beside the limit it passes
    EXPECT_EQ(exact_size_text(999), "999 bytes");
    EXPECT_EQ(default_save_name("/images/disk.img", 0x7e00, 0x1ffdff), "disk.img.7e00-1ffdff.bin");
    EXPECT_EQ(default_save_name("disk.img", 0, 0), "disk.img.0-0.bin");
    EXPECT_EQ(save_progress_line(42, 100, 35e-9), "saving 42% 1.2 GB/s  Esc cancels");
}

// The copy menu's forms of random bytes against a reference formatting of
// each, at lengths around a C array line (12) and a dump row (16), and at
// offsets whose dump needs more than 8 digits; base64 against coreutils'.
TEST(TransferFormat, CopyFormsAgainstAReference) {
    const uint64_t firsts[] = {0, 0x7e05, (uint64_t{1} << 40) + 3};
    for (const size_t n : {size_t(0), size_t(1), size_t(11), size_t(12), size_t(13), size_t(16), size_t(33), size_t(1000)}) {
        std::vector<uint8_t> bytes = random_bytes(n, unsigned(n) + 40);
        if (n == 13) bytes[3] = '\'';  // Python then quotes with "
        if (n == 33) bytes[3] = '\'', bytes[4] = '"', bytes[5] = '\\';
        const uint8_t* b = bytes.data();

        std::ostringstream c;
        c << "unsigned char data[" << n << "] = {";
        for (size_t i = 0; i < n; ++i) {
            c << (i % 12 ? " " : "\n    ") << "0x" << std::hex << std::setw(2) << std::setfill('0') << int(b[i])
              << std::dec << (i + 1 < n ? "," : "");
        }
        c << "\n};\n";
        EXPECT_EQ(format_copy(CopyForm::CArray, b, n, 0), c.str()) << n;

        const bool single = std::count(b, b + n, '\'') == 0 || std::count(b, b + n, '"') > 0;
        std::string py = single ? "b'" : "b\"";
        for (size_t i = 0; i < n; ++i) {
            const std::map<uint8_t, std::string> escapes = {{'\t', "\\t"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\\', "\\\\"},
                                                            {single ? '\'' : '"', single ? "\\'" : "\\\""}};
            char cell[8];
            std::snprintf(cell, sizeof cell, b[i] >= 32 && b[i] < 127 ? "%c" : "\\x%02x", b[i]);
            py += escapes.count(b[i]) ? escapes.at(b[i]) : cell;
        }
        py += single ? "'" : "\"";
        EXPECT_EQ(format_copy(CopyForm::Python, b, n, 0), py) << n;

        for (const uint64_t first : firsts) {
            std::ostringstream dump;
            const int digits = first + n > 0xffffffffu ? 11 : 8;
            for (size_t row = 0; row < n; row += 16) {
                dump << std::hex << std::setfill('0') << std::setw(digits) << first + row << " ";
                std::string ascii;
                for (size_t k = 0; k < 16; ++k) {
                    dump << (k == 8 ? "  " : " ");
                    if (row + k < n) {
                        dump << std::setw(2) << int(b[row + k]);
                        ascii += std::isprint(b[row + k]) ? char(b[row + k]) : '.';
                    } else {
                        dump << "  ";
                    }
                }
                dump << "  " << ascii << "\n";
            }
            EXPECT_EQ(format_copy(CopyForm::Dump, b, n, first), dump.str()) << n << " at " << first;
        }

        TempFile file(bytes);
        FILE* tool = popen(("base64 -w0 " + file.path()).c_str(), "r");
        ASSERT_NE(tool, nullptr);
        std::string expected;
        char chunk[4096];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, tool)) > 0;) expected.append(chunk, got);
        pclose(tool);
        EXPECT_EQ(format_copy(CopyForm::Base64, b, n, 0), expected) << n;
    }
}

// A range of a sparse file starting inside a data block: the bytes match and
// the holes stay holes.
TEST(SaveFile, SparseRangeKeepsItsBytesAndHoles) {
    const uint64_t size = 64 * MiB;
    TempFile file(size, 10 * MiB, random_bytes(MiB, 3));
    file.write_at(40 * MiB, random_bytes(MiB, 4));
    file.write_at(size - MiB, random_bytes(MiB, 5));
    const std::string target = fs::path(file.path()).parent_path() / "range.bin";
    const uint64_t first = 10 * MiB + 4097, length = size - first - 7;
    std::atomic<bool> cancel{false};
    uint64_t last_done = 0;
    const TransferOutcome outcome =
        save_range(file.path(), first, length, target, false, cancel, [&](uint64_t done) { last_done = done; });
    ASSERT_EQ(outcome.kind, TransferOutcome::Kind::Done) << outcome.error;
    EXPECT_EQ(last_done, length);
    EXPECT_EQ(contents(target), contents(file.path()).substr(first, length));
    struct stat saved {};
    ASSERT_EQ(::stat(target.c_str(), &saved), 0);
    EXPECT_EQ(uint64_t(saved.st_size), length);
    EXPECT_LE(uint64_t(saved.st_blocks) * 512, 4 * MiB) << "holes were written";
    EXPECT_EQ(saved.st_mode & 0777, 0666 & ~[] { const mode_t m = ::umask(0); ::umask(m); return m; }());
}

// An existing name is kept until a replace is asked for; the shown file is
// refused by its own name, a hard link, another path and a symbolic link.
TEST(SaveFile, RefusesExistingNamesAndTheShownFile) {
    TempFile file(counting_bytes(5000));
    const fs::path folder = fs::path(file.path()).parent_path();
    const std::string other = folder / "other.bin";
    std::ofstream(other) << "keep me";
    fs::create_hard_link(file.path(), folder / "hard");
    fs::create_symlink(file.path(), folder / "soft");
    const auto before = folder_names(folder);
    std::atomic<bool> cancel{false};
    EXPECT_EQ(save_range(file.path(), 0, 10, other, false, cancel, {}).kind, TransferOutcome::Kind::Exists);
    EXPECT_EQ(contents(other), "keep me");
    for (const std::string& shown : {file.path(), (folder / "hard").string(), (folder / "soft").string(),
                                     (folder / "." / fs::path(file.path()).filename()).string()}) {
        EXPECT_EQ(save_range(file.path(), 0, 10, shown, true, cancel, {}).kind, TransferOutcome::Kind::Shown)
            << shown;
    }
    EXPECT_EQ(folder_names(folder), before) << "a refused save left a file";
    const std::vector<uint8_t> bytes = counting_bytes(5000);
    EXPECT_EQ(contents(file.path()), std::string(bytes.begin(), bytes.end()));

    ASSERT_EQ(save_range(file.path(), 300, 10, other, true, cancel, {}).kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(contents(other), contents(file.path()).substr(300, 10));
    EXPECT_EQ(folder_names(folder), before);
}

// In a compare both files are shown: the other one is refused too, by a
// hard link, a symbolic link and /proc/self/fd, before the copy and again
// at the rename, when a name made a link to it meanwhile is caught.
TEST(SaveFile, NoShownFileIsATargetByAnyNameUntilTheRename) {
    TempFile a(counting_bytes(5000));
    const fs::path folder = fs::path(a.path()).parent_path();
    const std::string b = folder / "B.bin";
    std::ofstream(b) << "the second file";
    fs::create_hard_link(b, folder / "hard");
    fs::create_symlink(b, folder / "soft");
    const int open_b = ::open(b.c_str(), O_RDONLY);
    const std::vector<std::string> shown = {a.path(), b};
    std::atomic<bool> cancel{false};
    for (const std::string& name : {b, (folder / "hard").string(), (folder / "soft").string(),
                                    "/proc/self/fd/" + std::to_string(open_b)}) {
        EXPECT_EQ(shown_file_named(name, shown), 1) << name;
        const TransferOutcome refused = save_range(a.path(), 0, 10, name, true, cancel, {}, shown);
        EXPECT_EQ(refused.kind, TransferOutcome::Kind::Shown) << name;
        EXPECT_EQ(refused.error, b) << name;
    }
    ::close(open_b);
    EXPECT_EQ(shown_file_named(folder / "new.bin", shown), -1);

    // The name is free when the save starts and a link to B by the rename.
    const std::string late = folder / "late.bin";
    const TransferOutcome caught = save_range(a.path(), 0, 4000, late, true, cancel, [&](uint64_t) {
        if (!fs::exists(late)) fs::create_hard_link(b, late);
    }, shown);
    EXPECT_EQ(caught.kind, TransferOutcome::Kind::Shown);
    EXPECT_EQ(contents(b), "the second file");
}

TEST(SaveFile, CancelledOrFailedSaveLeavesNothing) {
    TempFile file(std::vector<uint8_t>(160 * MiB, 0x5a));
    const fs::path folder = fs::path(file.path()).parent_path();
    const auto before = folder_names(folder);
    std::atomic<bool> cancel{false};
    const TransferOutcome cancelled = save_range(file.path(), 0, 160 * MiB, folder / "cut.bin", false, cancel,
                                                 [&](uint64_t) { cancel = true; });
    EXPECT_EQ(cancelled.kind, TransferOutcome::Kind::Cancelled);
    EXPECT_EQ(folder_names(folder), before);

    cancel = false;
    const TransferOutcome missing = save_range(file.path(), 0, 10, folder / "none" / "x.bin", false, cancel, {});
    EXPECT_EQ(missing.kind, TransferOutcome::Kind::Failed);
    EXPECT_EQ(missing.error, "cannot write in " + (folder / "none").string() + ": No such file or directory");
    const TransferOutcome not_folder = save_range(file.path(), 0, 10, file.path() + "/x.bin", false, cancel, {});
    EXPECT_EQ(not_folder.kind, TransferOutcome::Kind::Failed);
    EXPECT_NE(not_folder.error.find("Not a directory"), std::string::npos) << not_folder.error;
    // A range past the file's end is a read that comes up short.
    const TransferOutcome short_read = save_range(file.path(), 160 * MiB - 5, 10, folder / "short.bin", false,
                                                  cancel, {});
    EXPECT_EQ(short_read.kind, TransferOutcome::Kind::Failed);
    EXPECT_EQ(short_read.error, "the file ended before the range did");
    EXPECT_EQ(folder_names(folder), before);
}

// Copies and saves report through SDL's event queue; a stopped save leaves
// nothing.
TEST(TransferWorker, CopiesAndSavesThroughTheEventQueue) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile file(std::vector<uint8_t>(96 * MiB, 'A'));
    file.write_at(1000, {0x7f, 0x45, 0x4c, 0x46, 0xc3, 0xa9, 0x00, '\n', 0xff});
    const fs::path folder = fs::path(file.path()).parent_path();
    TransferWorker worker;
    auto wait_for = [&](uint64_t generation) {
        TransferWorker::State state;
        SDL_Event event;
        while (SDL_WaitEventTimeout(&event, 20000)) {
            if (event.type != TransferWorker::event_type()) continue;
            state = worker.snapshot();
            if (state.generation == generation && !state.running) break;
        }
        EXPECT_EQ(state.generation, generation);
        return state;
    };
    auto finish = [&](TransferWorker::Job job) { return wait_for(worker.start(std::move(job))); };
    auto make_job = [&](TransferWorker::Job::Kind kind, uint64_t first, uint64_t length, const std::string& target) {
        TransferWorker::Job made;
        made.kind = kind;
        made.path = file.path();
        made.first = first;
        made.length = length;
        made.target = target;
        return made;
    };
    TransferWorker::Job job = make_job(TransferWorker::Job::Kind::CopyHex, 1000, 9, "");
    EXPECT_EQ(finish(job).outcome.kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(worker.take_text(), "7f 45 4c 46 c3 a9 00 0a ff");
    job.kind = TransferWorker::Job::Kind::CopyText;
    EXPECT_EQ(finish(job).outcome.kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(worker.take_text(), ".ELFц╘.\nЪ");
    job.charset = Charset::Latin1;
    EXPECT_EQ(finish(job).outcome.kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(worker.take_text(), ".ELFÃ©.\nÿ");
    job.charset = Charset::Koi8r;
    job.kind = TransferWorker::Job::Kind::CopyDump;
    EXPECT_EQ(finish(job).outcome.kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(worker.take_text(), "000003e8  7f 45 4c 46 c3 a9 00 0a  ff                       .ELF.....\n");

    const auto before = folder_names(folder);
    const uint64_t cut =
        worker.start(make_job(TransferWorker::Job::Kind::Save, 0, 96 * MiB, folder / "big.bin"));
    worker.cancel();  // returns at once; the last notice says how it ended
    EXPECT_EQ(wait_for(cut).outcome.kind, TransferOutcome::Kind::Cancelled);
    EXPECT_EQ(folder_names(folder), before);

    const TransferWorker::State saved =
        finish(make_job(TransferWorker::Job::Kind::Save, 990, 20, folder / "small.bin"));
    EXPECT_EQ(saved.outcome.kind, TransferOutcome::Kind::Done);
    EXPECT_EQ(contents(folder / "small.bin"), contents(file.path()).substr(990, 20));
    SDL_Quit();
}

// A replaced file keeps its mode; a name that is a link replaces its target
// and stays a link; the temporary files of saves killed midway go.
TEST(SaveFile, ReplacingKeepsModeAndLinksAndClearsStaleTemporaries) {
    TempFile file(counting_bytes(5000));
    const fs::path folder = fs::path(file.path()).parent_path();
    const fs::path secret = folder / "secret.bin", real = folder / "real.bin", link = folder / "link.bin";
    std::ofstream(secret) << "old";
    ::chmod(secret.c_str(), 0600);
    std::ofstream(real) << "old";
    fs::create_symlink(real, link);
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = "." + secret.filename().string() + ".quirn-save-" + std::to_string(gone) + "-0a1b2c3d";
    const std::string live = ".x.quirn-save-" + std::to_string(::getpid()) + "-0a1b2c3d";
    std::ofstream(folder / stale) << "partial";
    std::ofstream(folder / live) << "partial";
    std::atomic<bool> cancel{false};
    ASSERT_EQ(save_range(file.path(), 100, 10, secret, true, cancel, {}).kind, TransferOutcome::Kind::Done);
    struct stat saved {};
    ASSERT_EQ(::stat(secret.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(folder / stale)) << "its process is gone";
    EXPECT_TRUE(fs::exists(folder / live)) << "a save under way";
    ASSERT_EQ(save_range(file.path(), 200, 10, link, true, cancel, {}).kind, TransferOutcome::Kind::Done);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(real), contents(file.path()).substr(200, 10));
}

// The viewer's save keys: the range is the one Ctrl+S was pressed for,
// whatever is selected meanwhile, and it is checked against the file's size
// at Enter, so that a file cut meanwhile (a log rotated by copy and
// truncate) never empties the file a replace was confirmed for.
TEST(SaveCommand, SavesTheRangeChosenAndRefusesOnePastTheEnd) {
    TempFile file(counting_bytes(0x1000));
    const fs::path folder = fs::path(file.path()).parent_path();
    const std::string victim = folder / "victim.txt";
    std::ofstream(victim) << "keep me";
    Application app;
    app.set_fname(file.c_path());
    UniformBufferObject ubo;
    app.fill_view_block(ubo);
    auto key = [&](SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Keysym keysym{};
        keysym.sym = sym;
        keysym.mod = mod;
        return app.on_transfer_key(keysym);
    };
    auto finished = [&] {
        for (int i = 0; i < 2000 && app.transfer.worker.snapshot().running; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        app.on_transfer_notice();
    };
    app.selection.set(0, 0x100);
    ASSERT_TRUE(key(SDLK_s, KMOD_LCTRL));
    app.find.input = victim;
    app.selection.set(0x500, 0x501);  // a byte pressed while the prompt is open
    EXPECT_EQ(app.label_line().substr(0, 15), "save 0..ff to: ");
    ASSERT_TRUE(key(SDLK_RETURN));
    EXPECT_EQ(app.transfer.job.first, 0u);
    EXPECT_EQ(app.transfer.job.length, 0x100u);
    finished();
    EXPECT_EQ(app.find.status, victim + " exists: Enter replaces it");

    file.resize(0);
    app.selection.clear();  // as the watcher's notice cuts it
    ASSERT_TRUE(key(SDLK_RETURN));
    finished();
    EXPECT_EQ(app.find.status, "the file is shorter now than the selection; nothing written");
    EXPECT_EQ(contents(victim), "keep me");

    // A long reason keeps its end in sight.
    app.find.status = "save failed: cannot write in /a/folder/with/a/long/name/for/the/test: No space left on device";
    EXPECT_EQ(app.label_line().size(), 60u);
    EXPECT_EQ(app.label_line().substr(60 - 23), "No space left on device");
}

}  // namespace
