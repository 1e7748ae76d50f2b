#include "ui/file_list.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "ui/folder_path.h"
#include "ui/list_rows.h"

namespace veldan {

namespace {

constexpr int kRowHeight = 12;
// Every file: what the mask "*.*" means to the program, whether or not a name has a dot.
constexpr char kMask[] = "*";

}  // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new ListRowDelegate(kRowHeight, 0, this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  Reload();
}

void FileList::SetDrive(char letter) {
  char normal_root[4];
  if (!NormaliseFolderText(DriveRoot(letter).c_str(), normal_root, sizeof normal_root)) return;
  if (folder_[0] == normal_root[0]) return;
  SetFolder(normal_root);
}

void FileList::SetFolder(const char* folder) {
  char normal[512];
  if (!NormaliseFolderText(folder, normal, sizeof normal)) normal[0] = '\0';
  std::memcpy(folder_, normal, sizeof folder_);
  ShowFiles();
}

void FileList::Reload() {
  // Like the folder list, it keeps its own folder once it has one.
  char folder[512];
  if (folder_[0] != '\0') {
    std::memcpy(folder, folder_, sizeof folder);
  } else if (!CurrentFolder(folder, sizeof folder)) {
    folder[0] = '\0';
  }
  SetFolder(folder);
}

void FileList::ShowFiles() {
  clear();
  char pattern[512];
  DirListing listing;
  if (folder_[0] == '\0' || !JoinFolderText(folder_, kMask, pattern, sizeof pattern) ||
      !listing.Open(pattern)) {
    return;
  }
  std::vector<QString> names;
  DirItem item;
  // Hidden files (a leading dot) are left out, as this host's file managers do.
  while (listing.Next(&item)) {
    if (!item.is_folder && item.name[0] != '.') {
      names.push_back(QString::fromStdString(ProgramTextToDisplay(item.name)));
    }
  }
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  addItems(QStringList(names.begin(), names.end()));
}

}  // namespace veldan
