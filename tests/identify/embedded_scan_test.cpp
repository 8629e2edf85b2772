#include "core/application.h"
#include "identify/embedded_scan.h"
#include "identify/identify_state.h"
#include "identify/identify_workers.h"
#include "identify/literal_finder.h"
#include "identify/magic_describer.h"
#include "identify/signatures.h"
#include "identify/type_worker.h"
#include "render/overlay_block.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>

namespace {

const uint64_t KiB = 1024;
const uint64_t MiB = KiB * KiB;

const std::vector<uint8_t> gzip = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03};
const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                  0,    0,   0,   16,  0,    0,    0,    16,   8, 2, 0, 0,  0};
const std::vector<uint8_t> xz = {0xfd, '7', 'z', 'X', 'Z', 0, 0, 4};
const std::vector<uint8_t> elf = {0x7f, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A tar header: a name, a mode, the magic, and the checksum libmagic checks.
std::vector<uint8_t> tar_header() {
    std::vector<uint8_t> header(512, 0);
    const std::string fields[][2] = {{"0", "a.txt"}, {"100", "0000644"}, {"124", "00000000000"}, {"257", "ustar"},
                                     {"263", "00"}};
    for (const auto& field : fields) std::copy(field[1].begin(), field[1].end(), header.begin() + std::stoi(field[0]));
    std::fill(header.begin() + 148, header.begin() + 156, ' ');
    unsigned sum = 0;
    for (uint8_t b : header) sum += b;
    std::snprintf(reinterpret_cast<char*>(header.data()) + 148, 8, "%06o", sum);
    return header;
}

EmbeddedScanOutcome scan(const TempFile& file, size_t block,
                         LiteralFinder::Engine engine = LiteralFinder::Engine::Prefilter) {
    const int fd = ::open(file.path().c_str(), O_RDONLY);
    std::atomic<bool> cancel{false};
    EmbeddedScanOutcome outcome =
        scan_embedded(fd, cancel, [](const EmbeddedScanProgress&) {}, block, std::chrono::milliseconds(50), engine);
    ::close(fd);
    return outcome;
}

// Random bytes with a hole between 1 and 2 MiB, and signatures planted
// across block edges (64 KiB blocks), beside the hole, and past a block's
// end from the start of their file; candidates that the quick checks or
// libmagic reject are planted too.
class PlantedFile : public ::testing::Test {
protected:
    PlantedFile() : file(3 * MiB, 0, random_bytes(MiB, 7)) {
        file.write_at(2 * MiB, random_bytes(MiB, 8));
        file.write_at(64 * KiB - 1, gzip);          // across the first block edge
        file.write_at(128 * KiB, png);              // a block's first byte
        file.write_at(MiB - elf.size(), elf);       // its last byte the hole's first
        file.write_at(2 * MiB, xz);                 // the first byte after the hole
        file.write_at(2 * MiB + 192 * KiB - 100, tar_header());  // its signature in the next block
        // Rejected by the quick checks: bad gzip flags, a cpio header without its digits.
        file.write_at(2 * MiB + 300 * KiB, {0x1f, 0x8b, 0x08, 0xff, 0, 0, 0, 0, 9, 99});
        file.write_at(2 * MiB + 310 * KiB, {'0', '7', '0', '7', '0', '1', 0, 0, 0, 0});
        // A GPT header's signature among random bytes passes them, and libmagic calls it "data".
        file.write_at(2 * MiB + 400 * KiB, {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T', 0, 0, 1, 0, 92, 0, 0, 0});
    }
    TempFile file;
    const std::vector<uint64_t> starts = {64 * KiB - 1, 128 * KiB, MiB - elf.size(), 2 * MiB, 2 * MiB + 192 * KiB - 100};
};

TEST_F(PlantedFile, FindsEachPlantedFileOnceWithLibmagicsDescription) {
    for (size_t block : {size_t{64} << 10, size_t{4} << 20}) {
        const EmbeddedScanOutcome outcome =
            scan(file, block, block > MiB ? LiteralFinder::Engine::Hyperscan : LiteralFinder::Engine::Prefilter);
        ASSERT_EQ(outcome.kind, EmbeddedScanOutcome::Kind::Done);
        ASSERT_EQ(outcome.files.size(), starts.size()) << block;
        for (size_t i = 0; i < starts.size(); ++i) EXPECT_EQ(outcome.files[i].start, starts[i]) << i;
        EXPECT_EQ(outcome.files[0].description.rfind("gzip compressed data, from Unix", 0), 0u);
        EXPECT_EQ(outcome.files[1].description.rfind("PNG image data, 16 x 16", 0), 0u);
        EXPECT_EQ(outcome.files[2].description.rfind("ELF 64-bit LSB", 0), 0u);
        EXPECT_EQ(outcome.files[3].description.rfind("XZ compressed data", 0), 0u);
        EXPECT_NE(outcome.files[4].description.find("tar archive"), std::string::npos);
        EXPECT_EQ(outcome.files[4].signature_at, starts[4] + 257);
        EXPECT_EQ(outcome.files[4].signature_length, 5u);
        EXPECT_EQ(outcome.file_size, 3 * MiB);
    }
    // The GPT candidate was libmagic's to reject: the quick check passes it.
    const Signature& gpt = signatures().back();
    const uint8_t header[16] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T', 0, 0, 1, 0, 92, 0, 0, 0};
    ASSERT_EQ(gpt.bytes, "EFI PART");
    EXPECT_TRUE(plausible(gpt, header, 512, sizeof header));
}

// Both engines find every literal of the table where a plain comparison at
// each position does: planted at random places (the last bytes among
// them, where the prefilter's step does not reach), by chance in random
// bytes (the 2-byte ones), and in bytes that the literals' nibbles make
// likely to pass the prefilter's tables.
TEST(LiteralFinder, FindsWhatAComparisonAtEachPositionFinds) {
    const std::vector<std::string_view> literals = [] {
        std::vector<std::string_view> l;
        for (const Signature& s : signatures()) l.push_back(s.bytes);
        return l;
    }();
    std::vector<uint8_t> likely;  // bytes of the literals, mixed
    for (std::string_view l : literals) likely.insert(likely.end(), l.begin(), l.end());
    std::mt19937 random(5);
    using Found = std::vector<std::pair<size_t, unsigned>>;
    for (LiteralFinder::Engine engine : {LiteralFinder::Engine::Prefilter, LiteralFinder::Engine::Hyperscan}) {
        LiteralFinder finder(literals, engine);
        ASSERT_EQ(finder.error(), "");
        for (size_t size : {size_t{0}, size_t{2}, size_t{17}, size_t{18}, size_t{19}, size_t{333}, size_t{1} << 18}) {
            std::vector<uint8_t> data = random_bytes(size, unsigned(size));
            if (size > 1000) {
                for (size_t i = 0; i < size / 4; ++i) data[size / 2 + i] = likely[random() % likely.size()];
            }
            for (size_t i = 0; i < literals.size() && size > 0; ++i) {
                const std::string_view l = literals[(i * 7) % literals.size()];
                if (l.size() > size) continue;
                // Apart from one another where there is room, so that each is found.
                const size_t slot = size > 1000 ? size / literals.size() : size;
                const size_t at = i == 0 ? size - l.size() : (size > 1000 ? i * slot : 0) + random() % (slot - l.size() + 1);
                std::copy(l.begin(), l.end(), data.begin() + at);
            }
            for (size_t starts : {size, size - std::min<size_t>(size, 5)}) {
                Found expected, found;
                for (size_t at = 0; at < starts; ++at) {
                    for (unsigned i = 0; i < literals.size(); ++i) {
                        if (size - at >= literals[i].size() &&
                            std::memcmp(literals[i].data(), data.data() + at, literals[i].size()) == 0) {
                            expected.push_back({at, i});
                        }
                    }
                }
                finder.find(data.data(), size, starts,
                            [](void* c, unsigned index, size_t at) { static_cast<Found*>(c)->push_back({at, index}); },
                            &found);
                std::sort(found.begin(), found.end());
                EXPECT_EQ(found, expected) << int(engine) << " " << size << " " << starts;
                if (size > 1000) {
                    EXPECT_GT(expected.size(), literals.size());
                }
            }
        }
    }
}

// Reads failing on a stretch inside the xz file's first 64 KiB (the read
// shim linked into these tests): the scan reads around it, finds every
// file it found before, libmagic describes the xz file from the bytes
// before the stretch, and a signature inside the stretch is not found.
TEST_F(PlantedFile, UnreadableStretchesAreReadAroundAndCounted) {
    const uint64_t first = 2 * MiB + 8 * KiB, end = first + 1024;
    file.write_at(first + 512, gzip);
    setenv("QUIRN_UNREADABLE", (file.path() + ":" + std::to_string(first) + ":" + std::to_string(end)).c_str(), 1);
    for (size_t block : {size_t{64} << 10, size_t{4} << 20}) {
        const EmbeddedScanOutcome outcome = scan(file, block);
        ASSERT_EQ(outcome.kind, EmbeddedScanOutcome::Kind::Done) << outcome.error;
        ASSERT_EQ(outcome.files.size(), starts.size()) << block;
        for (size_t i = 0; i < starts.size(); ++i) EXPECT_EQ(outcome.files[i].start, starts[i]) << i;
        EXPECT_EQ(outcome.files[3].description.rfind("XZ compressed data", 0), 0u);
        EXPECT_EQ(outcome.unreadable, end - first) << block;
    }
    unsetenv("QUIRN_UNREADABLE");
    EXPECT_EQ(scan(file, 64 << 10).unreadable, 0u);
}

// A file cut while it is scanned: what was found past its new end is
// dropped, and the size is the new one.
TEST(EmbeddedScan, AFileThatShrinksKeepsNoFilePastItsEnd) {
    TempFile file(random_bytes(4 * MiB, 13));
    for (uint64_t at = 500000; at < 4 * MiB; at += MiB) file.write_at(at, gzip);
    const int fd = ::open(file.path().c_str(), O_RDONLY);
    std::atomic<bool> cancel{false};
    const EmbeddedScanOutcome outcome = scan_embedded(
        fd, cancel, [&](const EmbeddedScanProgress& progress) {
            if (progress.position >= 2 * MiB) file.resize(MiB);
        },
        64 << 10, std::chrono::milliseconds(0));
    ::close(fd);
    ASSERT_EQ(outcome.kind, EmbeddedScanOutcome::Kind::Done);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].start, 500000u);
    EXPECT_EQ(outcome.file_size, MiB);
}

// The checks follow offsets the file gives only within the bytes at hand:
// a PE header offset of fffffffc once wrapped a 32-bit bound and read 4 GiB
// past the block.
TEST(EmbeddedScan, QuickChecksFollowTheFilesOffsetsOnlyWithinTheBytes) {
    const Signature& pe = *std::find_if(signatures().begin(), signatures().end(),
                                        [](const Signature& s) { return s.check == Signature::Check::Pe; });
    const struct {
        uint32_t header;
        size_t after;
        bool plausible;
    } cases[] = {
        {0xfffffffc, 4096, false}, {0xffffffff, 4096, false}, {0x80, 4096, true},
        {0x80, 0x84, true},        {0x80, 0x83, false},       {0x3c, 4096, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(c.after, 0);
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i) bytes[0x3c + i] = uint8_t(c.header >> (8 * i));
        if (c.header + uint64_t{4} <= c.after) std::copy_n("PE\0\0", 4, bytes.begin() + c.header);
        EXPECT_EQ(plausible(pe, bytes.data(), 0, bytes.size()), c.plausible) << std::hex << c.header << " " << c.after;
    }
    std::vector<uint8_t> far(4096, 0);
    far[0] = 'M';
    far[1] = 'Z';
    for (int i = 0; i < 4; ++i) far[0x3c + i] = 0xff - (i == 0 ? 3 : 0);
    TempFile file(far);
    const EmbeddedScanOutcome outcome = scan(file, 4096);
    EXPECT_EQ(outcome.kind, EmbeddedScanOutcome::Kind::Done);
    EXPECT_TRUE(outcome.files.empty());
}

// `}` and `{` walk the files in order from where the view stands, and wrap.
TEST_F(PlantedFile, StepsForwardAndBackwardAndWrap) {
    const std::vector<EmbeddedFile> files = scan(file, 64 << 10).files;
    ASSERT_EQ(files.size(), 5u);
    const struct {
        int64_t current;
        uint64_t position;
        bool past, backward;
        int64_t expected;
    } cases[] = {
        {-1, 0, false, false, 0},              // from the first shown byte
        {-1, 128 * KiB, false, false, 1},      // a file at the first shown byte is reached
        {-1, 128 * KiB, true, false, 2},       // past the selection's first byte
        {-1, 3 * MiB - 1, false, false, 0},    // wraps to the first
        {-1, 128 * KiB, false, true, 0},       // back: the last before
        {-1, 0, false, true, 4},               // wraps to the last
        {4, 0, true, false, 0},                // from the tar reached, whose signature lies past its start
        {4, 0, true, true, 3},
        {0, 0, true, true, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(step_embedded(files, c.current, c.position, c.past, c.backward), c.expected)
            << c.current << " " << c.position << " " << c.backward;
    }
    EXPECT_EQ(step_embedded({}, -1, 0, false, false), -1);
}

// A step past the last file to the first, or back past the first, says
// that it wrapped, as a search does.
TEST(EmbeddedScan, StepsThatWrapSaySo) {
    TempFile file(counting_bytes(0x10000));
    Application app;
    app.set_fname(file.c_path());
    app.load_file_window();
    app.identify.files = {{0x100, 0x100, 2, "one"}, {0x800, 0x800, 2, "two"}};
    for (const auto& [backward, start, said] : std::vector<std::tuple<bool, uint64_t, std::string>>{
             {false, 0x100, "one at 100"},
             {false, 0x800, "two at 800"},
             {false, 0x100, "one at 100, wrapped to the start"},
             {true, 0x800, "two at 800, wrapped to the end"},
             {true, 0x100, "one at 100"}}) {
        app.go_to_embedded_file(backward);
        EXPECT_EQ(app.selection.first(), start);
        EXPECT_EQ(app.find.status, said);
    }
    app.identify.current = -1;
    app.selection.clear();
    app.offset = 0x900;
    app.go_to_embedded_file(false);
    EXPECT_EQ(app.find.status, "one at 100, wrapped to the start") << "from the view, past the last";
}

TEST(EmbeddedScan, LabelsAreCutToTheLine) {
    EmbeddedFile file{0x40, 0x40, 3, "gzip compressed data, from Unix"};
    EXPECT_EQ(embedded_label(file), "gzip compressed data, from Unix at 40");
    file.description = std::string(80, 'x');
    const std::string label = embedded_label(file);
    EXPECT_EQ(label, std::string(51, 'x') + "\u2026 at 40");  // 51 + 3 dots + 6 cells: the line's 60
    EXPECT_EQ(cut_to_cells("PNG image data", 41), "PNG image data");
    // The page's glyphs have no ellipsis: it takes three cells of dots.
    EXPECT_EQ(glyph_text("type: \u2026 caf\u00e9"), "type: ... caf?");
    EXPECT_EQ(glyph_text(cut_to_cells("caf\u00e9 au lait", 6)), "caf...");
}

// The type line's answer comes from the worker as an event; without the
// magic database it says so.
TEST(TypeWorker, DescribesTheDataAtAnOffsetAndNamesAMissingDatabase) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile file(8192, 4096, png);
    TypeWorker worker;
    worker.ask(file.path(), 0);
    const uint64_t second = worker.ask(file.path(), 4096);
    const TypeWorker::State state = wait_for_end(worker, second);
    EXPECT_EQ(state.generation, second);
    EXPECT_EQ(state.offset, 4096u);
    EXPECT_EQ(type_value(state).rfind("PNG image data, 16 x 16, 8-bit/color RGB", 0), 0u) << type_value(state);
    SDL_Quit();

    setenv("MAGIC", "/nonexistent/magic.mgc", 1);
    MagicDescriber missing;
    const EmbeddedScanOutcome unconfirmed = scan(file, 4096);
    unsetenv("MAGIC");
    EXPECT_EQ(unconfirmed.kind, EmbeddedScanOutcome::Kind::Failed);
    EXPECT_EQ(unconfirmed.error, "no magic database");
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(type_value(describe_at(missing, file.path(), 4096)), "unknown (no magic database)");
}

// The type line reads as the page does: around a bad sector (the read
// shim), and only as far as a file's bytes go where its size says more.
TEST(TypeWorker, ReadsAroundBadSectorsAndToTheLengthReadingFinds) {
    TempFile file(70 * KiB, 0, png);
    MagicDescriber describer;
    setenv("QUIRN_UNREADABLE", (file.path() + ":" + std::to_string(63 * KiB) + ":" + std::to_string(64 * KiB)).c_str(), 1);
    const std::string readable = type_value(describe_at(describer, file.path(), 0));
    setenv("QUIRN_UNREADABLE", (file.path() + ":0:512").c_str(), 1);
    const std::string unreadable = type_value(describe_at(describer, file.path(), 0));
    unsetenv("QUIRN_UNREADABLE");
    EXPECT_EQ(readable.rfind("PNG image data, 16 x 16", 0), 0u) << readable;
    EXPECT_EQ(unreadable, "unknown (the file cannot be read here)");

    TempFile text(std::vector<uint8_t>(4096, 'x'));
    setenv("QUIRN_SHRUNK", (text.path() + ":0").c_str(), 1);  // as a kernel's file that says 4096 and holds none
    const std::string empty = type_value(describe_at(describer, text.path(), 0));
    unsetenv("QUIRN_SHRUNK");
    EXPECT_EQ(empty, "empty");
}

// The scan worker reports through the event queue, is cancelled by stop,
// and a new scan replaces a running one.
TEST(ScanWorker, NotifiesCancelsAndReplaces) {
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    TempFile long_file(random_bytes(size_t{64} << 20, 11));
    TempFile short_file(1 << 20, 5000, gzip);
    ScanWorker worker;
    const uint64_t cancelled = worker.start(long_file.path());
    worker.cancel();
    EXPECT_EQ(wait_for_end(worker, cancelled).outcome.kind, EmbeddedScanOutcome::Kind::Cancelled);

    worker.start(long_file.path());
    const uint64_t second = worker.start(short_file.path());
    const ScanWorker::State state = wait_for_end(worker, second);
    EXPECT_EQ(state.generation, second);
    ASSERT_EQ(state.outcome.files.size(), 1u);
    EXPECT_EQ(state.outcome.files[0].start, 5000u);
    SDL_Quit();
}

}  // namespace
