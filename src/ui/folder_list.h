// The folder list: the current folder with the folders above it, from the drive root down, as
// open folders, and its subfolders below as closed folders. A double-click on a folder opens it
// (a single click only highlights). It reports its current folder as program text, a drive root
// as "X:\" and any other folder without a trailing separator.
//
// A new list opens at the process's current folder; from then on it keeps its folder itself and
// never moves the process's current folder (which, on a disc, would keep the disc from being
// ejected). Each drive keeps the folder last opened on it, so switching to a drive returns there
// (the drive root until then, the process's current folder for that folder's drive). Changed is
// raised whenever the current folder changes, except when the list re-reads itself after a media
// change.
//
// User-interface thread only.
#pragma once

#include <QIcon>
#include <QListWidget>

namespace veldan {

class FolderList : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderList(QWidget* parent = nullptr);

  const char* Folder() const { return folder_; }
  // Opens a folder ("X:\...", a trailing separator allowed). False, and no change, when the
  // text names no drive or the folder can't be entered.
  bool SetFolder(const char* folder);
  // Switches to the folder last opened on the drive, or to its root when that folder is gone.
  bool SetDrive(char letter);
  // Reads the folders anew at its own folder (its drive's root when that is gone); the first
  // time at the process's current folder, as a new list would. No Changed.
  void Reload();

 signals:
  void Changed();

 private:
  bool Open(const char* folder, bool notify);
  void ShowFolder();
  void OnDoubleClick(QListWidgetItem* item);

  QIcon open_icon_;
  QIcon closed_icon_;
  char folder_[512] = {};
  char drive_folders_[26][512] = {};  // per drive letter; empty: not visited yet (its root)
};

}  // namespace veldan
