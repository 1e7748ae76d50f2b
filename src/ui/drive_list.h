// The drive list: a drop-down list of the drive table's drives, each shown as its letter and, when
// the drive holds a medium, its volume label in brackets ("d: [DISC01]", "c: []"). It reports and
// takes a drive letter and raises Changed whenever the selected drive changes, whether the user
// picked it or the program set it. A new list selects the drive of the process's current folder.
//
// User-interface thread only.
#pragma once

#include <QComboBox>

namespace veldan {

class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(QWidget* parent = nullptr);

  // The selected drive's upper-case letter; '\0' only when the drive table is empty.
  char Drive() const;
  // Selects the drive (either letter case). False, and no change, when the list lacks it.
  bool SetDrive(char letter);
  // Reads the drive table and the labels anew and keeps the selected drive. Changed is raised
  // only when that drive is gone and another one had to be selected.
  void Reload();

 signals:
  void Changed();

 private:
  void Fill();
  void OnIndexChanged();

  char reported_ = '\0';  // the drive the last Changed (or the creation) stood for
  bool filling_ = false;
};

}  // namespace veldan
