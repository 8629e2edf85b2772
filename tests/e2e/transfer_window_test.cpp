// Copy and save in the real window: a search selects, the copy keys fill the
// clipboard and the primary selection (read back with xclip), and the save
// prompt writes a file, asks before replacing one and refuses the file shown.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"
#include "transfer/transfer_format.h"
#include "transfer/x11_selection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string run_output(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What xclip reads from a selection, once the viewer has answered.
::testing::AssertionResult selection_holds(const char* selection, const std::string& expected) {
    std::string got;
    for (int attempt = 0; attempt < 50; ++attempt) {
        got = run_output(std::string("timeout 5 xclip -o -selection ") + selection + " 2>/dev/null");
        if (got == expected) return ::testing::AssertionSuccess();
        ::usleep(100000);
    }
    return ::testing::AssertionFailure() << selection << " holds \"" << got << "\"";
}

TEST(Transfer, CopyAndSaveASelection) {
    REQUIRE_DISPLAY();
    if (std::system("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "needs xclip (scripts/setup installs it)";
    TempFile file(random_bytes(64 << 10, 5));
    const std::vector<uint8_t> marked = {'M', 'A', 'G', 'I', 'C', 0x01, 0xc3, 0xa9};
    file.write_at(1000, marked);
    // The viewer saves into its working directory: the file's own folder.
    const std::filesystem::path folder = std::filesystem::path(file.path()).parent_path();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    ViewerSession session(file.path());
    std::filesystem::current_path(previous);
    ASSERT_TRUE(session.shows_model_page("transfer_start"));

    session.key_with("c", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("nothing_selected"));
    session.key_with("f", KMOD_LCTRL);
    session.type("4d 41 47 49 43 01 c3 a9");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("selected", 20));

    session.key_with_unmodelled("c", KMOD_LCTRL);
    session.set_model_status("copied 8 bytes as hex");
    ASSERT_TRUE(session.shows_model_page("copied_hex"));
    EXPECT_TRUE(selection_holds("clipboard", "4d 41 47 49 43 01 c3 a9"));
    EXPECT_TRUE(selection_holds("primary", "4d 41 47 49 43 01 c3 a9"));
    session.key_with_unmodelled("c", SDL_Keymod(KMOD_LCTRL | KMOD_LSHIFT));
    session.set_model_status("copied 8 bytes as text");
    ASSERT_TRUE(session.shows_model_page("copied_text"));
    // As the page shows the bytes, in KOI8-R: UTF-8's two bytes are two letters there.
    EXPECT_TRUE(selection_holds("clipboard", "MAGIC.ц╘"));
    EXPECT_TRUE(selection_holds("primary", "MAGIC.ц╘"));
    session.key_with("c", SDL_Keymod(KMOD_LCTRL | KMOD_LALT));
    ASSERT_TRUE(session.shows_model_page("copy_menu"));
    session.key_unmodelled("p");
    session.set_model_status("copied 8 bytes as Python bytes");
    ASSERT_TRUE(session.shows_model_page("copied_python"));
    EXPECT_TRUE(selection_holds("clipboard", "b'MAGIC\\x01\\xc3\\xa9'"));

    // A byte pressed in the character column copies as text, Shift the other way.
    const int z = session.model_zoom();
    const int row = int((1000 - session.model_offset()) / 16);
    session.press_left((263 + 8 * 6 + 3) * z, (label_height + row * row_height + 6) * z);
    session.release_left((263 + 8 * 6 + 3) * z, (label_height + row * row_height + 6) * z);
    session.key_with_unmodelled("c", KMOD_LCTRL);
    session.set_model_status("copied 1 byte as text");
    ASSERT_TRUE(session.shows_model_page("copied_characters_as_text"));
    EXPECT_TRUE(selection_holds("clipboard", "M"));
    session.key_with_unmodelled("c", SDL_Keymod(KMOD_LCTRL | KMOD_LSHIFT));
    session.set_model_status("copied 1 byte as hex");
    ASSERT_TRUE(session.shows_model_page("copied_characters_as_hex"));
    EXPECT_TRUE(selection_holds("clipboard", "4d"));
    session.key_with("f", KMOD_LCTRL);  // the search again, from its prompt's memory
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("selected_again", 20));

    const std::string name = default_save_name(file.path(), 1000, 1007);
    session.key_with("s", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("save_prompt"));  // prefilled with the name
    session.key_unmodelled("Return");
    session.set_model_status("saved 8 bytes to " + name);
    ASSERT_TRUE(session.shows_model_page("saved"));
    EXPECT_EQ(contents(folder / name), std::string(marked.begin(), marked.end()));

    // Saved again, the name exists: a first Enter asks, the second replaces.
    file.write_at(1000, {'m'});
    session.file_changed();  // the page shows the change
    session.key_with("s", KMOD_LCTRL);
    session.key_unmodelled("Return");
    session.set_model_status(name + " exists: Enter replaces it");
    ASSERT_TRUE(session.shows_model_page("exists"));
    EXPECT_EQ(contents(folder / name)[0], 'M');
    session.key_unmodelled("Return");
    session.set_model_status("saved 8 bytes to " + name);
    ASSERT_TRUE(session.shows_model_page("replaced"));
    EXPECT_EQ(contents(folder / name)[0], 'm');

    // The file shown, by its own name, is refused.
    session.key_with("s", KMOD_LCTRL);
    for (size_t i = 0; i < name.size(); ++i) session.key("BackSpace");
    session.type("file");
    session.key_with("period", KMOD_NONE, ".");
    session.type("bin");
    ASSERT_TRUE(session.shows_model_page("save_prompt_edited"));
    session.key_unmodelled("Return");
    session.set_model_status("file.bin is shown here; choose another name");
    ASSERT_TRUE(session.shows_model_page("refused"));
    EXPECT_EQ(contents(file.path()).size(), size_t(64 << 10));

    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
    EXPECT_EQ(session.process().err(), "");
}

// A 16 MiB copy as hex is 48 MiB of text, past the X server's largest
// request: it is served in pieces, and a second offer replaces the first.
TEST(Transfer, LongTextReachesOtherProgramsInPieces) {
    REQUIRE_DISPLAY();
    if (std::system("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "needs xclip (scripts/setup installs it)";
    const std::vector<uint8_t> bytes = random_bytes(16 << 20, 9);
    std::string hex(3 * bytes.size(), ' ');
    append_hex(bytes.data(), bytes.size(), hex.data());
    hex.pop_back();
    X11Selection selection;
    ASSERT_TRUE(selection.offer(hex));
    for (const char* which : {"clipboard", "primary"}) {
        std::string got;
        for (int attempt = 0; attempt < 50 && got.size() != hex.size(); ++attempt) {
            if (attempt > 0) ::usleep(100000);  // the text is still on its way to the server
            got = run_output(std::string("timeout 60 xclip -o -selection ") + which + " 2>/dev/null");
        }
        EXPECT_EQ(got.size(), hex.size()) << which;
        EXPECT_TRUE(got == hex) << which;
    }
    ASSERT_TRUE(selection.offer("7f 45 4c 46"));
    EXPECT_TRUE(selection_holds("clipboard", "7f 45 4c 46"));
}

}  // namespace
