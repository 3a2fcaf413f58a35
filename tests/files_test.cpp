// The platform's numbered files, where they meet the operator's folders: links, pipes,
// modes, and what reaches the disk.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/journal_file.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_synced;  // the paths of the descriptors synced, in order

}  // namespace

// Every fsync of the test process passes here on its way to the system.
extern "C" int fsync(int fd) {
    char path[4096];
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
    g_synced.emplace_back(path, n > 0 ? static_cast<size_t>(n) : 0);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

// A new file gets the mode the umask gives, never the set-id bits of the one it replaces.
TEST(Files, SavingOverALinkKeepsItWithTheUmasksModeAndAPipeDoesNotHang) {
    support::ScratchDir dir;
    platform::Files files;
    std::ofstream("real.txt") << "old";
    ::chmod("real.txt", 06777);
    const mode_t mask = ::umask(027);
    fs::create_symlink("real.txt", "link.txt");
    files.openOutput(1, "link.txt");
    files.print(1, "new\r\n");
    files.close(1);
    EXPECT_TRUE(fs::is_symlink("link.txt"));
    EXPECT_EQ(support::bytesOf("real.txt"), "new\r\n");
    ::umask(mask);
    EXPECT_EQ(fs::status("real.txt").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 2);  // no temporary left

    ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
    EXPECT_THROW(files.openInput(2, "pipe.txt"), platform::RuntimeError);
    EXPECT_FALSE(files.isOpen(2));
}

// At start (when it takes its journal) a program removes the temporary files of a killed
// one: not a link of that pattern, nor another name, nor one a live program still writes.
TEST(Files, AStartRemovesOnlyTheTemporaryFilesAKillLeft) {
    support::ScratchDir dir;
    std::ofstream(".vorbixloader-aaaaaa") << "left by a kill";
    std::ofstream(".vorbixloader-aaaaaaa") << "another name";
    std::ofstream("victim") << "theirs";
    fs::create_symlink("victim", ".vorbixloader-bbbbbb");
    platform::io::Output live = platform::io::createOutput("saving.txt");
    platform::systemJournalFile(".vorbixloader.journal")->read(1);
    EXPECT_FALSE(fs::exists(".vorbixloader-aaaaaa"));
    EXPECT_TRUE(fs::exists(".vorbixloader-aaaaaaa"));
    EXPECT_TRUE(fs::is_symlink(".vorbixloader-bbbbbb"));
    EXPECT_TRUE(fs::exists(live.temp));
    platform::io::close(live.handle);
}

// The name is the longest ext4 takes (255 bytes): the temporary file's must not grow from it.
TEST(Files, ASaveOfAnyNameIsSyncedAndThenItsFolderSoTheNewNameOutlivesACrash) {
    support::ScratchDir dir;
    platform::Files files;
    const std::string name = std::string(251, 'n') + ".txt";
    files.openOutput(1, name);
    files.print(1, "12.345\r\n");
    g_synced.clear();
    files.close(1);
    EXPECT_EQ(support::bytesOf(name), "12.345\r\n");
    ASSERT_EQ(g_synced.size(), 2u);
    EXPECT_EQ(g_synced[1], fs::canonical(dir.path()).string());
}

}  // namespace
