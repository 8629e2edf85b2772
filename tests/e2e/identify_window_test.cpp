// What the bytes are, in the real window: the panel's type and partition
// lines on a disk image, p2..p2$ in go-to, the map's ticks, and `}` / `{`
// through the embedded files a scan finds.
#include "e2e/viewer_session.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Identify, DiskImagePanelPartitionsMapAndEmbeddedFiles) {
    REQUIRE_DISPLAY();
    // Partition 1 (vfat) at 1 MiB, partition 2 from 5 MiB with a gzip stream 0x40 into it.
    TempFile image(std::vector<uint8_t>{});
    const std::string path = image.path();
    ASSERT_EQ(std::system(("(unset LD_PRELOAD; set -e; truncate -s 12M " + path +
                           "; printf 'label: gpt\\nstart=2048, size=8192\\nstart=10240, size=8192\\n' | sfdisk -q " +
                           path + "; truncate -s 4M " + path + ".fat; mkfs.vfat -n BOOT " + path +
                           ".fat; dd if=" + path + ".fat of=" + path +
                           " bs=512 seek=2048 conv=notrunc,sparse status=none; rm " + path + ".fat) >/dev/null 2>&1")
                              .c_str()),
              0);
    image.write_at((5u << 20) + 0x40, {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03});
    ViewerSession session(path);
    ASSERT_TRUE(session.shows_model_page("identify_start"));

    session.zoom_key("i");
    session.key_with("m", KMOD_LCTRL);
    ASSERT_TRUE(session.shows_model_page("identify_panel_and_map"));  // the protective MBR, before partition 1

    session.key_with("g", KMOD_LCTRL);
    session.type("p2..p2");
    session.key_with("4", KMOD_LSHIFT, "$");
    session.key("Return");
    ASSERT_TRUE(session.shows_model_page("identify_partition_selected"));
    EXPECT_EQ(session.model_selection().first(), uint64_t{5} << 20);
    EXPECT_EQ(session.model_selection().end(), uint64_t{9} << 20);

    session.key_with("bracketright", KMOD_LSHIFT, "}");  // scans, then reaches the gzip stream
    ASSERT_TRUE(session.shows_model_page("identify_next_embedded", 20));
    EXPECT_EQ(session.model_selection().first(), (uint64_t{5} << 20) + 0x40);
    EXPECT_EQ(session.model_selection().length(), 3u);  // gzip's signature
    session.key_with("bracketleft", KMOD_LSHIFT, "{");  // back to the vfat boot sector, at once
    ASSERT_TRUE(session.shows_model_page("identify_previous_embedded"));
    EXPECT_EQ(session.model_selection().first(), uint64_t{1} << 20);  // through its signature, "FAT12   " at 0x36
    EXPECT_EQ(session.model_selection().end(), (uint64_t{1} << 20) + 0x3e);
    session.close();
    EXPECT_EQ(session.process().wait_exit(), 0);
}

}  // namespace
