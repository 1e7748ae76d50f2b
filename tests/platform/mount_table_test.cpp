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

}  // namespace
}  // namespace veldan
