// The structure in the real window: the fields' shades on the page, the
// panel (F2), stepping by fields with `.` and `,`, a go-to by path and the
// field's name on the status line.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

TEST(Structure, PanelStepsAndPathsOnAPng) {
    REQUIRE_DISPLAY();
    const std::string folder = ::testing::TempDir() + "/quirn-formats-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + folder).c_str()), 0);
    std::ofstream(folder + "/tiny.ksy") << R"(meta:
  id: tiny
  endian: be
  file-extension: tiny
seq:
  - id: magic
    contents: "TINY"
  - id: chunks
    type: chunk
    repeat: eos
types:
  chunk:
    seq:
      - id: len
        type: u4
      - id: kind
        type: str
        size: 4
        encoding: ASCII
      - id: body
        size: len
)";
    std::vector<uint8_t> bytes{'T', 'I', 'N', 'Y'};
    for (int i = 0; i < 40; ++i) {
        const uint8_t len = uint8_t(i % 7 + 1);
        const std::vector<uint8_t> head{0, 0, 0, len, 'd', 'a', 't', 'a'};
        bytes.insert(bytes.end(), head.begin(), head.end());
        for (uint8_t k = 0; k < len; ++k) bytes.push_back(uint8_t(0x40 + k));
    }
    TempFile file(bytes);
    setenv("QUIRN_FORMATS", folder.c_str(), 1);  // for the model, which looks as the viewer does
    ViewerSession session(file.path(), {"QUIRN_FORMATS=" + folder}, {"--format", "tiny"});
    ASSERT_TRUE(session.shows_model_page("structure_start"));  // shades under the bytes, "tiny magic" below

    session.key("F2");
    ASSERT_TRUE(session.shows_model_page("structure_panel"));

    session.type(".");
    session.type(".");
    ASSERT_TRUE(session.shows_model_page("structure_stepped"));
    EXPECT_EQ(session.model_selection().first(), 8u);  // chunks[0].kind
    EXPECT_EQ(session.model_label_line(), "chunks[0].kind = \"data\" (4 bytes at 8)");
    session.type(",");
    ASSERT_TRUE(session.shows_model_page("structure_stepped_back"));
    EXPECT_EQ(session.model_selection().first(), 4u);

    session.key_with("g", KMOD_LCTRL);
    session.key_with("2", KMOD_LSHIFT, "@");
    session.type("chunks[9].body");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("structure_path"));
    EXPECT_GT(session.model_selection().first(), 100u);
    session.key_with("g", KMOD_LCTRL);
    session.key_with("2", KMOD_LSHIFT, "@");
    session.type("chunks[99]");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("structure_no_path"));
    EXPECT_EQ(session.model_label_line(), "no field chunks[99]: chunks has 40");
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

}  // namespace
