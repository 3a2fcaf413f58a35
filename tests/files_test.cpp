// The platform's numbered files and device names, where they meet the operator's
// folders: links, pipes, modes.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/serial_device.h"
#include "tests/support/fakes.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Files, SavingOverALinkOrAModeKeepsThemAndAPipeDoesNotHang) {
    support::ScratchDir dir;
    platform::Files files;
    std::ofstream("real.txt") << "old";
    ::chmod("real.txt", 0640);
    fs::create_symlink("real.txt", "link.txt");
    files.openOutput(1, "link.txt");
    files.print(1, "new\r\n");
    files.close(1);
    EXPECT_TRUE(fs::is_symlink("link.txt"));
    EXPECT_EQ(read("real.txt"), "new\r\n");
    EXPECT_EQ(fs::status("real.txt").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 2);  // no temporary left

    ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
    EXPECT_THROW(files.openInput(2, "pipe.txt"), platform::RuntimeError);
    EXPECT_FALSE(files.isOpen(2));
}

TEST(Files, SaveMarksTheSettingsForWritingHoweverTheDialogIsLeftAndLoadNever) {
    support::ScratchDir dir;
    fake::Program p;  // dialogs closed by their close box: no operator plays them
    p.vl.FILE_LOAD_Click();
    EXPECT_EQ(p.vl.SettingsChanged, 0);
    p.vl.FILE_SAVE_Click();
    EXPECT_EQ(p.vl.SettingsChanged, -1);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 0);  // nothing saved
}

TEST(SerialDevice, FollowsEveryLinkToTheDeviceWhoseNameIsLocked) {
    support::ScratchDir dir;
    fs::create_symlink("/dev/null", "by-id");
    fs::create_symlink("by-id", "COM5");
    EXPECT_EQ(platform::serialDevice(5), "/dev/null");
    EXPECT_EQ(platform::serialDevice(3), "/dev/ttyS2");
}

}  // namespace
