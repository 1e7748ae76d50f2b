#include "ui/drive_list.h"

#include <QApplication>
#include <QStyle>
#include <cstring>

#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "platform/sjis.h"

namespace veldan {

namespace {

QIcon DriveIcon(DriveKind kind) {
  QStyle* style = QApplication::style();
  switch (kind) {
    case DriveKind::kCdRom:
      return style->standardIcon(QStyle::SP_DriveCDIcon);
    case DriveKind::kRemovable:
      return style->standardIcon(QStyle::SP_DriveFDIcon);
    default:
      return style->standardIcon(QStyle::SP_DriveHDIcon);
  }
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  Fill();
  char folder[512];
  if (CurrentFolder(folder, sizeof folder)) SetDrive(folder[0]);
  reported_ = Drive();
  connect(this, &QComboBox::currentIndexChanged, this, &DriveList::OnIndexChanged);
}

char DriveList::Drive() const {
  const QVariant letter = currentData();
  return letter.isValid() ? static_cast<char>(letter.toInt()) : '\0';
}

bool DriveList::SetDrive(char letter) {
  const int index = findData(static_cast<int>(sjis::FoldAscii(letter)));
  if (index < 0) return false;
  setCurrentIndex(index);
  return true;
}

void DriveList::Reload() {
  ReloadDriveTable();
  Fill();
  OnIndexChanged();
}

void DriveList::Fill() {
  const char kept = Drive();
  filling_ = true;
  clear();
  // 26 roots of "X:\" and their terminators plus the final one: 105 bytes at most.
  char roots[128];
  const int length = ListDriveRoots(roots, sizeof roots);
  if (length > 0 && length < static_cast<int>(sizeof roots)) {
    for (const char* root = roots; *root != '\0'; root += std::strlen(root) + 1) {
      const char letter = sjis::FoldAscii(root[0]);
      QString text = QString(QChar(std::tolower(static_cast<unsigned char>(letter)))) + ':';
      char label[512];
      if (VolumeLabel(root, label, sizeof label)) {
        text += QStringLiteral(" [") + QString::fromStdString(ProgramTextToDisplay(label)) + ']';
      }
      addItem(DriveIcon(DriveKindOf(root)), text, static_cast<int>(letter));
    }
  }
  if (kept != '\0') SetDrive(kept);
  filling_ = false;
}

void DriveList::OnIndexChanged() {
  if (filling_) return;
  const char now = Drive();
  if (now == reported_) return;
  reported_ = now;
  emit Changed();
}

}  // namespace veldan
