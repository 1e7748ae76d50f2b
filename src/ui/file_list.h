// The file list: shows the names of all files in one folder of one drive, for display only (the
// options dialog keeps it disabled). A new list shows the process's current folder.
//
// User-interface thread only.
#pragma once

#include <QListWidget>

namespace veldan {

class FileList : public QListWidget {
 public:
  explicit FileList(QWidget* parent = nullptr);

  const char* Folder() const { return folder_; }
  // Moves to the drive's root unless the list already shows a folder of that drive.
  void SetDrive(char letter);
  // Shows the files of folder ("X:\..."); a folder that can't be read shows none.
  void SetFolder(const char* folder);
  // Shows its folder anew; the first time the process's current folder, as a new list would.
  void Reload();

 private:
  void ShowFiles();

  char folder_[512] = {};
};

}  // namespace veldan
