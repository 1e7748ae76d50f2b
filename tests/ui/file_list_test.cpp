#include "ui/file_list.h"

#include <gtest/gtest.h>

#include "support/temp_drives.h"

namespace veldan {
namespace {

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
  return texts;
}

TEST(FileListTest, ShowsEveryFileOfItsFolderAndNoFolders) {
  test::TempDrives drives;
  drives.MakeFolder(drives.Q("Music/Live"));
  for (const char* name : {"b.txt", "A.mp3", "README", ".hidden", "Björk.mp3"}) {
    drives.WriteFile(drives.Q(std::string("Music/") + name));
  }
  drives.EnterFolder(drives.Q("Music"));

  FileList list;  // opens at the process's folder
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  EXPECT_EQ(Texts(list), (QStringList{"A.mp3", "b.txt", QString::fromUtf8("Björk.mp3"), "README"}));

  list.SetDrive('q');  // already on Q: stays
  EXPECT_STREQ(list.Folder(), "Q:\\Music");
  drives.MakeFolder(drives.R());
  drives.WriteFile(drives.R("track.mp3"));
  list.SetDrive('R');  // another drive: its root
  EXPECT_STREQ(list.Folder(), "R:\\");
  EXPECT_EQ(Texts(list), QStringList{"track.mp3"});
  list.SetFolder("Q:\\Gone");
  EXPECT_EQ(list.count(), 0);
}

}  // namespace
}  // namespace veldan
