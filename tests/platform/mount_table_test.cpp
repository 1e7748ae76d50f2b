#include "platform/mount_table.h"

#include <gtest/gtest.h>

namespace veldan {
namespace {

TEST(MountTable, ParsesLinesAndUndoesEscapes) {
  const auto mounts = ParseMounts(
      "proc /proc proc rw 0 0\n"
      "/dev/sr0 /media/My\\040Disc iso9660 ro 0 0\n"
      "garbage\n"
      "\n"
      "tmpfs relative tmpfs rw 0 0\n"
      "/dev/sda1 /back\\134slash ext4 rw 0 0");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[1].device, "/dev/sr0");
  EXPECT_EQ(mounts[1].mount_point, "/media/My Disc");
  EXPECT_EQ(mounts[1].fs_type, "iso9660");
  EXPECT_EQ(mounts[2].mount_point, "/back\\slash");
  EXPECT_TRUE(IsVirtualFsType("proc"));
  EXPECT_TRUE(IsVirtualFsType("cgroup2"));
  EXPECT_FALSE(IsVirtualFsType("tmpfs"));
  EXPECT_FALSE(IsVirtualFsType("iso9660"));
}

// Every type known by number is one the names' rule knows; the file systems music lives on
// are not among them.
TEST(MountTable, VirtualTypesByNumber) {
  EXPECT_TRUE(IsVirtualFsMagic(0x9fa0));       // proc
  EXPECT_TRUE(IsVirtualFsMagic(0x62656572));   // sysfs
  EXPECT_TRUE(IsVirtualFsMagic(0x63677270));   // cgroup2
  EXPECT_FALSE(IsVirtualFsMagic(0xef53));      // ext4
  EXPECT_FALSE(IsVirtualFsMagic(0x01021994));  // tmpfs (and devtmpfs)
  EXPECT_FALSE(IsVirtualFsMagic(0x9660));      // iso9660
  EXPECT_FALSE(IsVirtualFsMagic(0x65735546));  // FUSE: sshfs and the like hold music too
  EXPECT_FALSE(IsVirtualFsMagic(0x4d44));      // vfat
}

}  // namespace
}  // namespace veldan
