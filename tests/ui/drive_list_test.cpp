#include "ui/drive_list.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "support/temp_drives.h"

namespace veldan {
namespace {

TEST(DriveListTest, ShowsTheDrivesAndRaisesChangedForEveryNewDrive) {
  test::TempDrives drives;
  drives.EnterFolder(drives.Q());
  DriveList list;
  EXPECT_EQ(list.Drive(), 'Q');  // the process's drive
  EXPECT_EQ(list.currentText(), "q: [MUSIC]");
  ASSERT_GE(list.findData(static_cast<int>('C')), 0);
  const int r = list.findData(static_cast<int>('R'));
  EXPECT_EQ(list.itemText(r), "r:");  // no medium, no label

  QSignalSpy changed(&list, &DriveList::Changed);
  EXPECT_TRUE(list.SetDrive('r'));
  EXPECT_TRUE(list.SetDrive('R'));
  EXPECT_FALSE(list.SetDrive('Z'));
  EXPECT_EQ(list.Drive(), 'R');
  EXPECT_EQ(changed.count(), 1);

  drives.MakeFolder(drives.R());  // a disc goes in
  list.Reload();
  EXPECT_EQ(list.Drive(), 'R');
  EXPECT_EQ(list.currentText(), "r: []");
  EXPECT_EQ(changed.count(), 1);
}

}  // namespace
}  // namespace veldan
