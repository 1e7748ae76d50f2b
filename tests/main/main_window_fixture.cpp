#include "main/main_window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

#include "catalogue/catalogue.h"
#include "main/seek_bar.h"
#include "platform/paths.h"

namespace veldan::testing {

const QColor MainWindowTest::kAqua(0, 255, 255);
const QColor MainWindowTest::kRed(255, 0, 0);
const QColor MainWindowTest::kYellow(255, 255, 0);
const QColor MainWindowTest::kLime(0, 255, 0);

void MainWindowTest::SetUp() {
  ResetProgramState();
  fake::ResetDecoder();
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  window_ = std::make_unique<TForm_main>();
  window_->Timer1->stop();
}

void MainWindowTest::TearDown() {
  window_.reset();
  dir_.reset();
}

void MainWindowTest::CreateFile(const QString& root, const char* relative) {
  const QString path = root + "/" + QString::fromUtf8(relative);
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

void MainWindowTest::BuildCatalogueOf(std::initializer_list<const char*> files) {
  for (const char* file : files) CreateFile(dir_->path(), file);
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), g_state.starting_folder, kTextSize));
  BuildCatalogue(g_state.starting_folder);
  window_->Timer1->stop();
  ASSERT_EQ(g_state.catalogue.count, static_cast<int32_t>(files.size()));
}

void MainWindowTest::FreshCatalogueOf(std::initializer_list<const char*> files) {
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  BuildCatalogueOf(files);
}

std::string MainWindowTest::Entry(int index) const {
  return g_state.catalogue.entries[index];
}

void MainWindowTest::StartPlaying() {
  window_->Controller().StartPlayback();
  ASSERT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  Poll();
}

void MainWindowTest::PlayTrackAt(int32_t length, int32_t position) {
  fake::SetTrackInfo(fake::MakeTrackInfo("", "", 2, 128, 44100, length));
  StartPlaying();
  fake::SetDecoderPosition(position);
  fake::ClearCallLog();
}

std::string MainWindowTest::LastOpened() const {
  std::string path;
  for (const fake::DecoderCall& call : fake::DecoderCalls()) {
    if (call.name == "open") path = call.path;
  }
  return path;
}

int MainWindowTest::OpenCount() const {
  int count = 0;
  for (const fake::DecoderCall& call : fake::DecoderCalls()) count += call.name == "open";
  return count;
}

int MainWindowTest::SeekStrokes() const {
  const QImage& canvas = window_->Image_time_locate->Canvas();
  int strokes = 0;
  for (int x = 0; x < canvas.width(); ++x) {
    strokes += canvas.pixelColor(x, 6) == kAqua;
  }
  return strokes;
}

bool MainWindowTest::StartButtonsEnabled() const {
  return window_->BitBtn_play->isEnabled() && window_->BitBtn_auto_cd->isEnabled() &&
         window_->BitBtn_options->isEnabled();
}

bool MainWindowTest::StartButtonsDisabled() const {
  return !window_->BitBtn_play->isEnabled() && !window_->BitBtn_auto_cd->isEnabled() &&
         !window_->BitBtn_options->isEnabled();
}

}  // namespace veldan::testing
