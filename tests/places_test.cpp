#include "platform/places.h"

#include <gtest/gtest.h>

namespace {

using platform::placeOf;
using platform::placesIn;
using Places = std::vector<std::string>;

// A desktop with a stick, a second disk and the usual plumbing, seen from a container.
const char* const Desktop =
    "overlay / overlay rw,relatime,lowerdir=/x 0 0\n"
    "proc /proc proc rw,nosuid 0 0\n"
    "sysfs /sys sysfs rw 0 0\n"
    "devtmpfs /dev devtmpfs rw 0 0\n"
    "devpts /dev/pts devpts rw 0 0\n"
    "tmpfs /dev/shm tmpfs rw 0 0\n"
    "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
    "tmpfs /run tmpfs rw 0 0\n"
    "tmpfs /run/user/1000 tmpfs rw 0 0\n"
    "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
    "/dev/sda2 /home ext4 rw 0 0\n"
    "/dev/sda1 /boot/efi vfat rw 0 0\n"
    "/dev/sda3 /etc/hosts ext4 rw 0 0\n"
    "/dev/loop3 /snap/core/123 squashfs ro 0 0\n"
    "tmpfs /tmp tmpfs rw 0 0\n"
    "/dev/sdb1 /media/op/LAP\\040DATA vfat rw 0 0\n"
    "/dev/sdc1 /run/media/op/STICK exfat rw 0 0\n"
    "systemd-1 /mnt/usb autofs rw 0 0\n"
    "/dev/sdd1 /mnt/usb ext4 rw 0 0\n"
    "/dev/sdd1 /mnt/usb/ ext4 rw 0 0\n"
    "tmpfs /mnt/ram tmpfs rw 0 0\n"
    "/dev/sde1 /data/back\\134slash\\011tab ext4 rw 0 0\n"
    "\n"
    "short line\n"
    "/dev/sdf1 relative ext4 rw 0 0\n";

TEST(Places, KeepsOperatorVolumesInMountOrder) {
    const Places expected{"/",        "/home",    "/media/op/LAP DATA",    "/run/media/op/STICK",
                          "/mnt/usb", "/mnt/ram", "/data/back\\slash\ttab"};
    EXPECT_EQ(placesIn(Desktop), expected);
    EXPECT_EQ(placesIn(""), Places{"/"});
    EXPECT_EQ(placesIn("/dev/sdb1 /media/a\\04 vfat rw 0 0\n"), (Places{"/", "/media/a\\04"}));
}

TEST(Places, PlaceOfIsLongestPrefixOnComponentBoundary) {
    const Places among{"/", "/media/op/LAP DATA", "/mnt/usb", "/mnt/usb/inner", "/home"};
    const std::pair<const char*, const char*> cases[] = {
        {"/media/op/LAP DATA/laps", "/media/op/LAP DATA"},
        {"/media/op/LAP DATA", "/media/op/LAP DATA"},
        {"/media/op/LAP DATAX", "/"},
        {"/media/op", "/"},
        {"/mnt/usb/inner/x", "/mnt/usb/inner"},
        {"/mnt/usb/innerx", "/mnt/usb"},
        {"/home/", "/home"},
        {"/", "/"},
        {"relative/home", "/"},
        {"", "/"},
    };
    for (auto [path, place] : cases) EXPECT_EQ(placeOf(path, among), place) << path;
    EXPECT_EQ(placeOf("/home/x", Places{}), "/");
}

TEST(Places, LiveTableStartsAtRootAndHoldsNoPlumbing) {
    const Places live = platform::places();
    ASSERT_FALSE(live.empty());
    EXPECT_EQ(live.front(), "/");
    for (const auto& p : live) {
        EXPECT_EQ(p.front(), '/') << p;
        for (const char* plumbing : {"/proc", "/sys", "/dev"})
            EXPECT_NE(p.rfind(plumbing, 0), 0u) << p;
    }
    EXPECT_EQ(platform::placeOf("/"), "/");
}

}  // namespace
