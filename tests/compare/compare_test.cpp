#include "compare/compare_state.h"
#include "core/application.h"
#include "core/command_line.h"
#include "select/goto_range.h"
#include "status/status_line.h"
#include "support/command_line_words.h"
#include "support/temp_file.h"
#include "support/worker_notices_wait.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

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
    EXPECT_EQ(summary_text(1234, 17), "1,234 bytes differ in 17 runs");
    EXPECT_EQ(summary_text(1, 1), "1 byte differs in 1 run");
    EXPECT_EQ(summary_text(0, 0), "the files are identical");
    EXPECT_EQ(thousands(1234567), "1,234,567");
    EXPECT_EQ(thousands(999), "999");
}

namespace {

// A compare of file.bin (0x100 bytes) with B.bin (0x64) in one folder, as
// the viewer holds it after its first frame's reads.
struct ComparePair {
    TempFile a{counting_bytes(0x100)};
    std::string folder = a.path().substr(0, a.path().rfind('/'));
    std::string b_path = folder + "/B.bin";
    Application app;

    ComparePair() {
        std::vector<uint8_t> bytes = counting_bytes(0x64);
        FILE* out = std::fopen(b_path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        app.set_fname(a.c_path());
        app.file_b.path = b_path.data();
        app.load_file_window();
    }
    ~ComparePair() { std::remove(b_path.c_str()); }

    bool ctrl(SDL_Keycode sym) {
        SDL_Keysym key{};
        key.sym = sym;
        key.mod = KMOD_LCTRL;
        return app.on_transfer_key(key);
    }
    StatusFacts second_page() const {
        StatusFacts facts;
        app.describe_selection(1, facts);
        return facts;
    }
};

}  // namespace

// A selection that holds no byte of the focused file says so on its page's
// status line, and copy and save refuse it; one that holds some uses those
// bytes alone, never a range past the file's end.
TEST(CompareCommands, SelectionsOfTheFocusedFileAlone) {
    ComparePair pair;
    Application& app = pair.app;
    app.compare.shift = -0x64;  // B's byte 0 faces A's 0x64: A's 0..f face nothing
    app.selection.set(0, 0x10);
    app.compare.focus = 1;
    EXPECT_EQ(pair.second_page().nothing_selected, "no bytes of B.bin selected");
    EXPECT_EQ(view_segments(pair.second_page()).back().value, "no bytes of B.bin selected");
    for (SDL_Keycode key : {SDLK_c, SDLK_s}) {
        app.find.status.clear();
        ASSERT_TRUE(pair.ctrl(key));
        EXPECT_EQ(app.find.status, "no bytes of B.bin selected");
        EXPECT_FALSE(app.transfer.busy) << "nothing copied: the clipboard stays as it was";
        EXPECT_EQ(app.find.prompt, FindState::Prompt::None);
    }
    app.compare.focus = 0;
    StatusFacts first_page;
    app.describe_selection(0, first_page);
    EXPECT_EQ(range_text(first_page.first, first_page.end), range_text(0, 0x10)) << "A holds them all";

    // Partly in B: only B's bytes, up to its end.
    app.compare.shift = 0;
    app.compare.focus = 1;
    app.selection.set(0x60, 0x70);
    EXPECT_EQ(pair.second_page().first, 0x60u);
    EXPECT_EQ(pair.second_page().end, 0x64u);
    ASSERT_TRUE(pair.ctrl(SDLK_s));
    EXPECT_EQ(app.label_line().substr(0, 16), "save 60..63 to: ");
    EXPECT_EQ(app.find.save_end, 0x64u);

    // The pure rule at its edges: a shift either way, a file of no bytes.
    using Range = std::optional<std::pair<uint64_t, uint64_t>>;
    EXPECT_EQ(selection_in_file(0, 0x10, -0x64, 0x64), Range());
    EXPECT_EQ(selection_in_file(0x60, 0x70, 4, 0x66), Range({0x64, 0x66}));
    EXPECT_EQ(selection_in_file(0, 0x10, -8, 0x64), Range({0, 8}));
    EXPECT_EQ(selection_in_file(0, 0x10, 0, 0), Range());
}

// No shown file, the first or the second, is a save's target by any name;
// the refusal names it; and a message about one file names which.
TEST(CompareCommands, ShownFilesAreNoTargetAndMessagesNameTheirFile) {
    ComparePair pair;
    Application& app = pair.app;
    const std::string hard = pair.folder + "/hard", soft = pair.folder + "/soft";
    ASSERT_EQ(::link(pair.b_path.c_str(), hard.c_str()), 0);
    ASSERT_EQ(::symlink(pair.b_path.c_str(), soft.c_str()), 0);
    const int open_b = ::open(pair.b_path.c_str(), O_RDONLY);
    const std::string by_fd = "/proc/self/fd/" + std::to_string(open_b);
    app.selection.set(0, 0x100);
    for (const std::string& name : {pair.b_path, hard, soft, by_fd}) {
        for (int focus : {0, 1}) {
            app.compare.focus = focus;
            ASSERT_TRUE(pair.ctrl(SDLK_s));
            app.find.input = name;
            SDL_Keysym enter{};
            enter.sym = SDLK_RETURN;
            ASSERT_TRUE(app.on_transfer_key(enter));
            EXPECT_EQ(app.find.status, "B.bin is shown here; choose another name") << name << " from " << focus;
            EXPECT_FALSE(app.transfer.busy) << name;
        }
    }
    app.compare.focus = 1;
    ASSERT_TRUE(pair.ctrl(SDLK_s));
    app.find.input = pair.a.path();
    SDL_Keysym enter{};
    enter.sym = SDLK_RETURN;
    ASSERT_TRUE(app.on_transfer_key(enter));
    EXPECT_EQ(app.find.status, "file.bin is shown here; choose another name");
    ::close(open_b);
    std::vector<uint8_t> bytes = counting_bytes(0x64);
    std::string kept(0x64, '\0');
    FILE* in = std::fopen(pair.b_path.c_str(), "rb");
    ASSERT_EQ(std::fread(kept.data(), 1, kept.size(), in), kept.size());
    std::fclose(in);
    EXPECT_EQ(kept, std::string(bytes.begin(), bytes.end()));
    std::remove(hard.c_str());
    std::remove(soft.c_str());

    // The label line names the file a notice is about.
    app.find.status.clear();
    ASSERT_EQ(std::remove(pair.b_path.c_str()), 0);
    app.on_watch_notice();
    EXPECT_EQ(app.label_line(), "B.bin: file removed");
    EXPECT_EQ(file_label("/x/d1/f", "/x/d2/f"), "/x/d1/f") << "one name for both: the paths tell them apart";
    EXPECT_EQ(file_label("w/d1/f", "A"), "f");
}

// A shift is said on the label line, and kept on the second page's status
// line where it fits; the inspector's first line names the focused file.
TEST(CompareFocus, TheShiftIsSaidAndTheInspectorNamesItsFile) {
    TempFile a(random_bytes(0x100, 1)), b(random_bytes(0x300, 2));
    Application app;
    app.set_fname(a.c_path());
    app.file_b.path = b.c_path();
    app.load_file_window();
    app.set_shift(3);
    EXPECT_EQ(app.label_line(), "shift +3");
    app.inspector.open = true;
    app.compare.focus = 1;
    OverlayBlock overlay = app.overlay_block();
    app.fill_pair_record(overlay);
    const auto text_of = [](const uint8_t* codes, size_t cells) {
        std::string text;
        for (size_t i = 0; i < cells && codes[i]; ++i) text += char(codes[i] & 0x7F);
        return text;
    };
    EXPECT_EQ(text_of(overlay.pair_status, status_cells), "at 3 100%  size 0x300 = 768 bytes  shift +3");
    const std::string path = b.path();
    const std::string name = path.substr(path.rfind('/') + 1);
    std::string expected = "file";
    expected.resize(panel_name_cells, ' ');
    EXPECT_EQ(text_of(overlay.panel_text, panel_cells), (expected + name).substr(0, panel_cells));
    EXPECT_EQ(overlay.panel_text[0], uint8_t('f' | 0x80)) << "drawn as a name";
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
