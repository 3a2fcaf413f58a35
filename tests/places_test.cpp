#include "platform/posix/places.h"

#include <gtest/gtest.h>

TEST(Places, MountTableGivesOperatorVolumesOnceInOrder) {
    const char* const mounts =
        "overlay / overlay rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "tmpfs /scratch tmpfs rw 0 0\n"
        "/dev/sdb1 /media/op/LAP\\040DATA vfat rw 0 0\n"
        "/dev/sdd1 /mnt/usb ext4 rw 0 0\n"
        "/dev/sdd1 /mnt/usb/ ext4 rw 0 0\n"
        "tmpfs /mnt/ram tmpfs rw 0 0\n"
        "short line\n";
    EXPECT_EQ(
        platform::placesIn(mounts),
        (std::vector<std::string>{"/", "/home", "/media/op/LAP DATA", "/mnt/usb", "/mnt/ram"}));
}

TEST(Places, DocumentsFolderFromTheUserFolderSettingsElseHome) {
    const struct {
        const char* userDirs;
        const char* folder;
    } cases[] = {
        {"# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
         "/home/op/Dokumente"},
        {"XDG_DOCUMENTS_DIR=\"/data/laps/\"\n", "/data/laps"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "/home/op"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=relative\n", "/home/op"},
        {"", "/home/op"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::documentsFolderIn(c.userDirs, "/home/op"), c.folder) << c.userDirs;
}
