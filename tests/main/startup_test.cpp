// Start-up and shutdown of the main window against the fake decoder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <string>

#include "main/main_window_fixture.h"
#include "platform/paths.h"

namespace veldan::testing {
namespace {

class StartupTest : public MainWindowTest {
 protected:
  void StartWith(const QString& argument) {
    const std::string host = argument.toStdString();
    window_->FormCreate(host.c_str());
    window_->Timer1->stop();
  }
  std::string Title() const { return window_->windowTitle().toStdString(); }
  // The equalizer preset lives beside the program, here beside the test program.
  static QString PresetPath() {
    return QCoreApplication::applicationDirPath() + "/VELDANEQ.DEF";
  }
};

TEST_F(StartupTest, FolderArgumentSearchesItAndPlaysTheFirstSortedTrack) {
  for (const char* file : {"Live/b.mp3", "z.mp3", "a.mp3"}) CreateFile(dir_->path(), file);
  StartWith(dir_->path());
  char folder[kTextSize];
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), folder, sizeof folder));
  EXPECT_STREQ(g_state.starting_folder, folder);
  EXPECT_EQ(Title(), "VELDAN [" + std::string(folder) + "]");
  ASSERT_EQ(g_state.catalogue.count, 3);
  EXPECT_EQ(LastOpened(), Entry(0));
  EXPECT_NE(Entry(0).find("a.mp3"), std::string::npos);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(StartButtonsDisabled());
}

// Playing the program's own folder instead of the track the user named would be a surprise.
TEST_F(StartupTest, ATrackWhosePathIsTooLongToHoldPlaysNothing) {
  CreateFile(dir_->path(), "a.mp3");
  const QString deep = QString(250, 'd') + "/" + QString(250, 'e') + "/x.mp3";
  CreateFile(dir_->path(), deep.toUtf8().constData());
  StartWith(dir_->path() + "/" + deep);
  EXPECT_EQ(g_state.catalogue.count, 0);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_TRUE(LastOpened().empty());
  EXPECT_FALSE(StartButtonsDisabled());
}

TEST_F(StartupTest, TrackArgumentPlaysFromThatTrack) {
  for (const char* file : {"a.mp3", "b.mp3"}) CreateFile(dir_->path(), file);
  StartWith(dir_->path() + "/b.mp3");
  EXPECT_EQ(g_state.catalogue.current, 1);
  EXPECT_EQ(LastOpened(), Entry(1));
}

TEST_F(StartupTest, ListArgumentPlaysItsFirstLine) {
  for (const char* file : {"a.mp3", "b.mp3"}) CreateFile(dir_->path(), file);
  char folder[kTextSize];
  ASSERT_TRUE(HostPathToProgram(dir_->path().toStdString(), folder, sizeof folder));
  QFile list(dir_->path() + "/Party.M3U");
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write((std::string(folder) + "\\b.mp3\r\n" + folder + "\\a.mp3\r\n").c_str());
  list.close();
  StartWith(list.fileName());
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(LastOpened(), std::string(folder) + "\\b.mp3");
}

TEST_F(StartupTest, EmptyFolderPlaysNothingAndLeavesTheButtonsEnabled) {
  StartWith(dir_->path());
  EXPECT_EQ(g_state.catalogue.count, 0);
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_TRUE(StartButtonsEnabled());
  EXPECT_EQ(Text(window_->Label_album), "Album Title ");
}

TEST_F(StartupTest, PresetBesideTheProgramReachesTheDecoderOnlyWhenItOpens) {
  QFile::remove(PresetPath());
  StartWith(dir_->path());
  EXPECT_TRUE(fake::LastEqualizer().empty());

  QFile preset(PresetPath());
  ASSERT_TRUE(preset.open(QIODevice::WriteOnly));
  preset.write("\x78\x00\x00\x00\xF6\xFF", 6);  // +12 dB at 60 Hz, half of a -1 dB 170 Hz value
  preset.close();
  ResetProgramState();
  fake::ResetDecoder();
  StartWith(dir_->path());
  QFile::remove(PresetPath());
  const std::vector<int32_t> expected = {120, 0xFFF6, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(fake::LastEqualizer(), expected);
}

TEST_F(StartupTest, ClosingShutsTheDecoderDownAndEndsEveryLaterWait) {
  CreateFile(dir_->path(), "a.mp3");
  StartWith(dir_->path());
  fake::ClearCallLog();
  window_->close();
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_TRUE(g_state.closing);
  const std::vector<std::string> expected = {"stop", "close", "free"};
  EXPECT_EQ(fake::CallLog(), expected);
}

}  // namespace
}  // namespace veldan::testing
