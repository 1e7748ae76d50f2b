#include "platform/drives.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "platform/drive_config.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

using test::DriveEnv;
using test::TempTree;

TEST(DriveConfig, KeepsGoodEntriesAndIgnoresGarbage) {
  const auto entries = ParseDriveConfig(
      "D=cdrom:/media/cd1:DISC01; e=CDROM:/tmp/cd2/ ;C=fixed:/;"
      "Q=floppy:/x;9=cdrom:/x;R=cdrom:relative;S=cdrom:;=cdrom:/x;TT=fixed:/x;U;;"
      "F=removable:/a/./b/../c:;D=cdrom:/media/cd3");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].letter, 'D');
  EXPECT_EQ(entries[0].folder, "/media/cd3");  // the later D replaces the earlier one
  EXPECT_EQ(entries[0].label, "");
  EXPECT_EQ(entries[1].letter, 'E');
  EXPECT_EQ(entries[1].kind, DriveKind::kCdRom);
  EXPECT_EQ(entries[1].folder, "/tmp/cd2");
  EXPECT_EQ(entries[2].letter, 'C');
  EXPECT_EQ(entries[2].kind, DriveKind::kFixed);
  EXPECT_EQ(entries[3].letter, 'F');
  EXPECT_EQ(entries[3].kind, DriveKind::kRemovable);
  EXPECT_EQ(entries[3].folder, "/a/c");
}

TEST(Drives, ConfiguredDiscComesAndGoesWithItsFolder) {
  TempTree tree;
  DriveEnv env("Q=cdrom:" + tree.Path("cd") + ":DISC01;R=removable:" + tree.Path("usb"));
  char label[64] = "junk";

  EXPECT_EQ(DriveKindOf("Q:\\"), DriveKind::kCdRom);
  EXPECT_EQ(DriveKindOf("r:"), DriveKind::kRemovable);
  EXPECT_EQ(DriveKindOf("C:/"), DriveKind::kFixed);
  EXPECT_EQ(DriveKindOf("P:\\"), DriveKind::kNoSuchDrive);
  EXPECT_FALSE(MediaPresent("Q:\\"));
  EXPECT_FALSE(VolumeLabel("Q:\\", label, sizeof label));
  EXPECT_EQ(DriveHostRoot('Q'), "");

  tree.MakeFolder("cd");  // insert the disc
  EXPECT_TRUE(MediaPresent("Q:\\"));
  EXPECT_TRUE(MediaPresent("q:"));
  EXPECT_EQ(DriveHostRoot('Q'), tree.Path("cd"));
  ASSERT_TRUE(VolumeLabel("Q:\\", label, sizeof label));
  EXPECT_STREQ(label, "DISC01");
  tree.MakeFolder("usb");
  ASSERT_TRUE(VolumeLabel("R:\\", label, sizeof label));
  EXPECT_STREQ(label, "");

  ASSERT_EQ(rename(tree.Path("cd").c_str(), tree.Path("ejected").c_str()), 0);
  EXPECT_FALSE(MediaPresent("Q:\\"));
  EXPECT_EQ(DriveKindOf("Q:\\"), DriveKind::kCdRom);  // the drive stays, empty

  for (const char* bad : {"Q", "QQ:\\", "Q:\\x", "", "1:\\"}) EXPECT_FALSE(MediaPresent(bad)) << bad;
  EXPECT_FALSE(MediaPresent(nullptr));
}

TEST(Drives, ListsRootsInLetterOrder) {
  TempTree tree;
  DriveEnv env("Y=fixed:" + tree.root() + ";X=cdrom:" + tree.root());
  char buf[256];
  const int len = ListDriveRoots(buf, sizeof buf);
  ASSERT_GT(len, 0);
  ASSERT_EQ(len % 4, 0);
  std::string letters;
  for (int i = 0; i < len; i += 4) {
    EXPECT_EQ(std::string(buf + i + 1, 3), std::string(":\\\0", 3));
    letters += buf[i];
  }
  EXPECT_EQ(buf[len], '\0');
  EXPECT_EQ(letters.front(), 'C');
  EXPECT_EQ(letters.substr(letters.size() - 2), "XY");

  char small[4] = "abc";
  EXPECT_EQ(ListDriveRoots(small, sizeof small), len + 1);
  EXPECT_STREQ(small, "abc");  // nothing written
}

TEST(Drives, LongLabelIsCutAtACharacterBoundary) {
  TempTree tree;
  std::string label(20, 'a');
  label += "表表表";
  DriveEnv env("Q=cdrom:" + tree.root() + ":" + label);
  char out[22];
  ASSERT_TRUE(VolumeLabel("Q:", out, sizeof out));
  EXPECT_EQ(std::string(out), std::string(20, 'a'));  // "表" would need bytes 21-22 and the zero a 23rd
  char roomy[64];
  ASSERT_TRUE(VolumeLabel("Q:", roomy, sizeof roomy));
  EXPECT_EQ(std::string(roomy), std::string(20, 'a') + "\x95\x5C\x95\x5C\x95\x5C");
}

}  // namespace
}  // namespace veldan
