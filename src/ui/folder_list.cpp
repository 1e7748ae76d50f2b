#include "ui/folder_list.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dir_listing.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "ui/drawn_icon.h"
#include "ui/folder_path.h"
#include "ui/list_rows.h"

namespace veldan {

namespace {

constexpr int kRowHeight = 16;
constexpr int kIndentStep = 10;
constexpr int kMaxDepth = 256;  // a 511-byte path has fewer components than this

int DriveSlot(char letter) {
  return letter - 'A';
}

QString Display(const char* program_text, std::size_t length) {
  return QString::fromStdString(ProgramTextToDisplay(std::string_view(program_text, length)));
}

bool FirstDriveRoot(char* out, std::size_t out_size) {
  char roots[128];
  const int length = ListDriveRoots(roots, sizeof roots);
  if (length <= 0 || length >= static_cast<int>(sizeof roots)) return false;
  return NormaliseFolderText(roots, out, out_size);
}

// The folders on the way down are drawn open and the subfolders closed; the style's folder
// pictures do not differ enough for that, so both are drawn here (16 x 16, manila).
QIcon FolderIcon(bool open) {
  return DrawnIcon(QSize(16, 16), [open](QPainter& painter) {
    const QColor outline(150, 112, 24);
    const QColor back(232, 192, 80);
    const QColor front(252, 224, 132);
    painter.setPen(outline);
    painter.setBrush(back);
    painter.drawRect(1, 2, 5, 2);   // tab
    painter.drawRect(1, 4, 13, 9);  // body
    painter.setBrush(front);
    if (open) {
      const QPoint flap[] = {{4, 7}, {15, 7}, {12, 13}, {1, 13}};
      painter.drawPolygon(flap, 4);
    } else {
      painter.drawLine(2, 6, 13, 6);
    }
  });
}

// Hidden folders (a leading dot) and the two self-references are not shown, as file managers on
// this host do not show them.
bool Listable(const DirItem& item) {
  return item.is_folder && item.name[0] != '.';
}

}  // namespace

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent), open_icon_(FolderIcon(true)), closed_icon_(FolderIcon(false)) {
  setItemDelegate(new ListRowDelegate(kRowHeight, kIndentStep, this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::OnDoubleClick);
  Reload();
}

bool FolderList::SetFolder(const char* folder) {
  return Open(folder, true);
}

bool FolderList::SetDrive(char letter) {
  char normal_root[4];
  if (!NormaliseFolderText(DriveRoot(letter).c_str(), normal_root, sizeof normal_root))
    return false;
  const char* last = drive_folders_[DriveSlot(normal_root[0])];
  if (last[0] != '\0' && Open(last, true)) return true;
  return Open(normal_root, true);
}

void FolderList::Reload() {
  // A new list opens at the process's current folder; afterwards the list keeps its own folder,
  // since it never moves the process there.
  char folder[512];
  if (folder_[0] == '\0' && CurrentFolder(folder, sizeof folder) &&
      NormaliseFolderText(folder, folder_, sizeof folder_)) {
    std::memcpy(drive_folders_[DriveSlot(folder_[0])], folder_, sizeof folder_);
    ShowFolder();
    return;
  }
  // Our folder is gone (a removed medium): its drive's root, or the first drive's.
  char root[4];
  if (folder_[0] != '\0' && Open(folder_, false)) return;
  if (folder_[0] != '\0' &&
      NormaliseFolderText(std::string(folder_, 2).c_str(), root, sizeof root) &&
      Open(root, false)) {
    return;
  }
  if (FirstDriveRoot(root, sizeof root)) Open(root, false);
}

bool FolderList::Open(const char* folder, bool notify) {
  char normal[512];
  if (!NormaliseFolderText(folder, normal, sizeof normal)) return false;
  // The process's current folder stays where it is: on a disc it would keep the disc busy.
  if (!CanEnterFolder(normal)) return false;
  const bool changed = std::strcmp(normal, folder_) != 0;
  std::memcpy(folder_, normal, sizeof folder_);
  std::memcpy(drive_folders_[DriveSlot(folder_[0])], folder_, sizeof folder_);
  ShowFolder();
  if (changed && notify) emit Changed();
  return true;
}

void FolderList::ShowFolder() {
  clear();
  if (folder_[0] == '\0') return;

  auto add = [this](const QIcon& icon, const QString& text, const char* path, std::size_t length,
                    int level) {
    auto* item = new QListWidgetItem(icon, text, this);
    item->setData(Qt::UserRole, QByteArray(path, static_cast<qsizetype>(length)));
    item->setData(kIndentLevelRole, level);
    return item;
  };

  // The root, then every folder on the way down; each item's path is the prefix up to its end.
  QListWidgetItem* current = add(open_icon_, Display(folder_, 3), folder_, 3, 0);
  int starts[kMaxDepth];
  const int depth = FolderComponentStarts(folder_, starts, kMaxDepth);
  for (int i = 0; i < depth; ++i) {
    const char* end = std::strchr(folder_ + starts[i], '\0');
    if (i + 1 < depth) end = folder_ + starts[i + 1] - 1;
    const std::size_t length = static_cast<std::size_t>(end - folder_);
    current =
        add(open_icon_, Display(folder_ + starts[i], length - starts[i]), folder_, length, i + 1);
  }

  char pattern[512];
  DirListing listing;
  std::vector<std::pair<QString, std::string>> subfolders;
  if (JoinFolderText(folder_, "*", pattern, sizeof pattern) && listing.Open(pattern)) {
    DirItem item;
    while (listing.Next(&item)) {
      if (!Listable(item)) continue;
      char path[512];
      if (!JoinFolderText(folder_, item.name, path, sizeof path)) continue;
      subfolders.emplace_back(QString::fromStdString(ProgramTextToDisplay(item.name)), path);
    }
  }
  std::sort(subfolders.begin(), subfolders.end(), [](const auto& a, const auto& b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
  });
  for (const auto& [text, path] : subfolders) {
    add(closed_icon_, text, path.c_str(), path.size(), depth + 1);
  }
  setCurrentItem(current);
  scrollToItem(current);
}

void FolderList::OnDoubleClick(QListWidgetItem* item) {
  const QByteArray path = item->data(Qt::UserRole).toByteArray();
  // A folder that vanished since it was listed: show what is there now.
  if (!Open(path.constData(), true)) ShowFolder();
}

}  // namespace veldan
