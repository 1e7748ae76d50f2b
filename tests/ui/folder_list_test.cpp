#include "ui/folder_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "ui/temp_drives.h"

namespace veldan {
namespace {

class FolderListTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"Music/Live", "Music/jazz", "Music/Beat", "Music/.cache", "Docs"}) {
      drives_.MakeFolder(drives_.Q(folder));
    }
    drives_.MakeFile(drives_.Q("Music/a.mp3"));
    drives_.EnterFolder(drives_.Q("Music"));
  }

  static QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
    return texts;
  }

  static void DoubleClick(QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    const QPoint at = list.visualItemRect(found.front()).center();
    // A double-click arrives after a press and release, as from a real mouse.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
  }

  test::TempDrives drives_;
};

TEST_F(FolderListTest, OpensAtTheProcessFolderWithPathAboveAndSubfoldersBelow) {
  FolderList list;
  list.resize(153, 400);
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  // Subfolders sorted without regard to case; hidden ones and files left out.
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Music", "Beat", "jazz", "Live"}));
  EXPECT_EQ(list.currentItem()->text(), "Music");
}

TEST_F(FolderListTest, OpensOnDoubleClickOnlyAndMovesTheProcessFolder) {
  FolderList list;
  list.resize(153, 400);
  list.show();
  QSignalSpy changed(&list, &FolderList::Changed);

  const auto live = list.findItems("Live", Qt::MatchExactly).front();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(live).center());
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  EXPECT_EQ(changed.count(), 0);

  DoubleClick(list, "Live");
  EXPECT_STREQ(list.Folder(), "Q:\\Music\\Live");
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(QDir::currentPath(), QDir(drives_.Q("Music/Live")).canonicalPath());
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Music", "Live"}));

  // Up to the root: reported with its separator.
  DoubleClick(list, "Q:\\");
  EXPECT_STREQ(list.Folder(), "Q:\\");
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Docs", "Music"}));
}

TEST_F(FolderListTest, DriveSwitchReturnsToTheFolderLastOpenedThere) {
  drives_.MakeFolder(drives_.R("Disc"));
  FolderList list;
  QSignalSpy changed(&list, &FolderList::Changed);

  ASSERT_TRUE(list.SetDrive('r'));  // never visited: its root
  EXPECT_STREQ(list.Folder(), "R:\\");
  ASSERT_TRUE(list.SetFolder("R:\\Disc\\"));
  EXPECT_STREQ(list.Folder(), "R:\\Disc");
  ASSERT_TRUE(list.SetDrive('Q'));  // the drive the process started in: its folder
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  ASSERT_TRUE(list.SetDrive('R'));
  EXPECT_STREQ(list.Folder(), "R:\\Disc");
  EXPECT_EQ(changed.count(), 4);

  // Back on the same folder: nothing changed, nothing raised.
  ASSERT_TRUE(list.SetDrive('R'));
  EXPECT_EQ(changed.count(), 4);
}

TEST_F(FolderListTest, KeepsItsFolderWhenTheTargetCannotBeEntered) {
  FolderList list;
  QSignalSpy changed(&list, &FolderList::Changed);
  EXPECT_FALSE(list.SetDrive('R'));  // a CD drive without a medium
  EXPECT_FALSE(list.SetFolder("Q:\\Nowhere"));
  EXPECT_FALSE(list.SetFolder("not a folder"));
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  EXPECT_EQ(changed.count(), 0);

  // A remembered folder that is gone: the drive's root instead.
  ASSERT_TRUE(list.SetFolder("Q:\\Music\\Beat"));
  drives_.MakeFolder(drives_.R());
  ASSERT_TRUE(list.SetDrive('R'));
  ASSERT_TRUE(QDir(drives_.Q("Music/Beat")).removeRecursively());
  ASSERT_TRUE(list.SetDrive('Q'));
  EXPECT_STREQ(list.Folder(), "Q:\\");
}

TEST_F(FolderListTest, DoubleClickOnAVanishedFolderShowsWhatIsThere) {
  FolderList list;
  list.resize(153, 400);
  list.show();
  ASSERT_TRUE(QDir(drives_.Q("Music/jazz")).removeRecursively());
  DoubleClick(list, "jazz");
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Music", "Beat", "Live"}));
}

TEST_F(FolderListTest, ReloadReadsTheProcessFolderAnewWithoutNotice) {
  FolderList list;
  QSignalSpy changed(&list, &FolderList::Changed);
  drives_.MakeFolder(drives_.Q("Docs/New"));
  drives_.EnterFolder(drives_.Q("Docs"));
  list.Reload();
  EXPECT_STREQ(list.Folder(), "Q:\\Docs");
  EXPECT_EQ(Texts(list), (QStringList{"Q:\\", "Docs", "New"}));
  EXPECT_EQ(changed.count(), 0);
}

TEST_F(FolderListTest, ShowsNamesThroughTheCodec) {
  drives_.MakeFolder(drives_.Q(QString::fromUtf8("Music/Björk")));
  drives_.MakeFolder(drives_.Q(QString::fromUtf8("Music/日本")));
  FolderList list;
  EXPECT_TRUE(list.findItems(QString::fromUtf8("Björk"), Qt::MatchExactly).size() == 1);
  EXPECT_TRUE(list.findItems(QString::fromUtf8("日本"), Qt::MatchExactly).size() == 1);
  // Program text: 日本 is 93 FA 96 7B in Shift-JIS.
  ASSERT_TRUE(list.SetFolder("Q:\\Music\\\x93\xFA\x96\x7B"));
  EXPECT_EQ(QDir::currentPath(), QDir(drives_.Q(QString::fromUtf8("Music/日本"))).canonicalPath());
}

}  // namespace
}  // namespace veldan
