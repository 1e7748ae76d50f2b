#include "ui/folder_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "platform/name_codec.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

class FolderListTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"Music/Live", "Music/jazz", "Music/Björk", "Music/.cache", "Docs"}) {
      drives_.MakeFolder(drives_.Q(folder));
    }
    drives_.WriteFile(drives_.Q("Music/a.mp3"));
    drives_.EnterFolder(drives_.Q("Music"));
  }

  static QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
    return texts;
  }
  static QPoint Centre(const QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? list.visualItemRect(found.front()).center() : QPoint(-1, -1);
  }
  static void DoubleClick(QListWidget& list, const QString& text) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Centre(list, text));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, Centre(list, text));
  }

  test::TempDrives drives_;
};

// The list keeps its folder itself: the process's current folder stays where it was, so a disc
// browsed in the list can still be ejected.
TEST_F(FolderListTest, OpensOnDoubleClickOnlyAndLeavesTheProcessFolder) {
  const QString started_in = QDir::currentPath();
  FolderList list;
  list.resize(153, 400);
  list.show();
  QSignalSpy changed(&list, &FolderList::Changed);
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  // Path above, subfolders below sorted without regard to case; hidden ones and files left out.
  EXPECT_EQ(Texts(list),
            (QStringList{"Q:\\", "Music", QString::fromUtf8("Björk"), "jazz", "Live"}));

  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Centre(list, "Live"));
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  DoubleClick(list, "Live");
  EXPECT_STREQ(list.Folder(), "Q:\\Music\\Live");
  EXPECT_EQ(QDir::currentPath(), started_in);

  DoubleClick(list, "Q:\\");  // the root is reported with its separator
  EXPECT_STREQ(list.Folder(), "Q:\\");
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Docs", "Music"}));
  EXPECT_EQ(changed.count(), 2);

  // Names go through the codec both ways: Björk has no Shift-JIS form and is escaped.
  DoubleClick(list, "Music");
  DoubleClick(list, QString::fromUtf8("Björk"));
  const std::string bjork = "Q:\\Music\\" + HostNameToProgramText("Björk");
  EXPECT_EQ(list.Folder(), bjork);
  EXPECT_EQ(QDir::currentPath(), started_in);

  // Re-reading after a medium change stays on the list's own folder, not the process's.
  list.Reload();
  EXPECT_EQ(list.Folder(), bjork);
}

TEST_F(FolderListTest, DriveSwitchReturnsToTheFolderLastOpenedThere) {
  FolderList list;
  QSignalSpy changed(&list, &FolderList::Changed);
  EXPECT_FALSE(list.SetDrive('R'));  // a CD drive without a medium: nothing moves
  EXPECT_FALSE(list.SetFolder("Q:\\Nowhere"));
  EXPECT_EQ(changed.count(), 0);

  drives_.MakeFolder(drives_.R("Disc"));
  ASSERT_TRUE(list.SetDrive('r'));  // never visited: its root
  EXPECT_STREQ(list.Folder(), "R:\\");
  ASSERT_TRUE(list.SetFolder("R:\\Disc\\"));
  ASSERT_TRUE(list.SetDrive('Q'));  // the drive the process started in: its folder
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  ASSERT_TRUE(list.SetDrive('R'));
  EXPECT_STREQ(list.Folder(), "R:\\Disc");
  ASSERT_TRUE(list.SetDrive('R'));  // the same folder again: no change raised
  EXPECT_EQ(changed.count(), 4);

  // A remembered folder that is gone: the drive's root instead.
  ASSERT_TRUE(QDir(QString::fromStdString(drives_.Q("Music"))).removeRecursively());
  ASSERT_TRUE(list.SetDrive('Q'));
  EXPECT_STREQ(list.Folder(), "Q:\\");
}

}  // namespace
}  // namespace veldan
