#include "ui/drive_list.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ui/temp_drives.h"

namespace veldan {
namespace {

class DriveListTest : public testing::Test {
 protected:
  void SetUp() override { drives_.EnterFolder(drives_.Q()); }
  test::TempDrives drives_;
};

TEST_F(DriveListTest, ShowsLettersWithLabelsAndSelectsTheProcessDrive) {
  DriveList list;
  EXPECT_EQ(list.Drive(), 'Q');
  EXPECT_EQ(list.currentText(), "q: [MUSIC]");
  const int r = list.findData(static_cast<int>('R'));
  ASSERT_GE(r, 0);
  EXPECT_EQ(list.itemText(r), "r:");  // no medium, no label
  EXPECT_GE(list.findData(static_cast<int>('C')), 0);
}

TEST_F(DriveListTest, RaisesChangedForEveryNewDrive) {
  DriveList list;
  QSignalSpy changed(&list, &DriveList::Changed);
  EXPECT_TRUE(list.SetDrive('r'));
  EXPECT_EQ(list.Drive(), 'R');
  EXPECT_EQ(changed.count(), 1);
  EXPECT_TRUE(list.SetDrive('R'));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_FALSE(list.SetDrive('Z'));
  EXPECT_EQ(list.Drive(), 'R');
  list.setCurrentIndex(list.findData(static_cast<int>('Q')));  // as a user's pick does
  EXPECT_EQ(changed.count(), 2);
}

TEST_F(DriveListTest, ReloadKeepsTheDriveAndPicksUpNewLabels) {
  drives_.MakeFolder(drives_.R());
  DriveList list;
  ASSERT_TRUE(list.SetDrive('R'));
  QSignalSpy changed(&list, &DriveList::Changed);
  list.Reload();
  EXPECT_EQ(list.Drive(), 'R');
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(list.currentText(), "r: []");  // a medium now, without a label
}

}  // namespace
}  // namespace veldan
