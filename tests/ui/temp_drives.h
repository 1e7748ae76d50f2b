// A drive table of temporary folders for widget tests: Q: a fixed drive over a fresh folder,
// R: a CD-ROM drive whose medium is present while its folder exists (absent at first). The
// process's current folder moves into Q: and comes back when the fixture ends.
#pragma once

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "platform/drives.h"

namespace veldan::test {

class TempDrives {
 public:
  TempDrives() : saved_cwd_(QDir::currentPath()) {
    q_root_ = dir_.path() + "/q";
    r_root_ = dir_.path() + "/cd";
    QDir().mkpath(q_root_);
    const std::string table =
        "Q=fixed:" + q_root_.toStdString() + ":MUSIC;R=cdrom:" + r_root_.toStdString();
    setenv("VELDAN_DRIVES", table.c_str(), 1);
    ReloadDriveTable();
  }
  ~TempDrives() {
    QDir::setCurrent(saved_cwd_);
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
  }
  TempDrives(const TempDrives&) = delete;
  TempDrives& operator=(const TempDrives&) = delete;

  // Host paths below Q: and R:, relative paths with '/'.
  QString Q(const QString& relative = {}) const { return Join(q_root_, relative); }
  QString R(const QString& relative = {}) const { return Join(r_root_, relative); }

  static void MakeFolder(const QString& path) { QDir().mkpath(path); }
  // Creates the file and the folders above it.
  static void MakeFile(const QString& path, const QByteArray& bytes = "x") {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  }
  static void EnterFolder(const QString& path) { QDir::setCurrent(path); }

 private:
  static QString Join(const QString& root, const QString& relative) {
    return relative.isEmpty() ? root : root + "/" + relative;
  }

  QTemporaryDir dir_;
  QString saved_cwd_;
  QString q_root_;
  QString r_root_;
};

}  // namespace veldan::test
