// A main window over the fake decoder and a catalogue built from a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "main/main_window.h"

namespace veldan::testing {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates empty files (host paths relative to the temporary folder), makes that folder the
  // starting folder and builds the catalogue from it; the poll timer stays off.
  void BuildCatalogueOf(std::initializer_list<const char*> files);
  // The same in a new, empty temporary folder.
  void FreshCatalogueOf(std::initializer_list<const char*> files);
  // Creates one empty file below root, with the folders it needs.
  static void CreateFile(const QString& root, const char* relative);

  std::string Entry(int index) const;
  int32_t Current() const { return g_state.catalogue.current; }
  // Starts play on the current entry as Play does, and lets the decoder report playing.
  void StartPlaying();
  // Plays the current entry as a track of length seconds, stands at position, clears the log.
  void PlayTrackAt(int32_t length, int32_t position);
  // The track opened by the last open call, empty when none.
  std::string LastOpened() const;
  int OpenCount() const;
  // Runs one status poll now.
  void Poll() { window_->Timer1Timer(); }

  static std::string Text(const QLabel* label) { return label->text().toStdString(); }
  static QColor Colour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }
  // Number of columns of the seek bar holding an aqua stroke.
  int SeekStrokes() const;
  bool StartButtonsEnabled() const;
  bool StartButtonsDisabled() const;

  static const QColor kAqua, kRed, kYellow, kLime;

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TForm_main> window_;
};

}  // namespace veldan::testing
