// What the main window shows of the track the controller opens: titles from the path and from
// the tags, the format and the total time, and the window kept running while a disc is awaited.
#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>
#include <cstring>

#include "catalogue/catalogue.h"
#include "main/main_window_fixture.h"
#include "platform/drives.h"

namespace veldan::testing {
namespace {

using TrackOpeningTest = MainWindowTest;

// Albums A (entries 0-2) and B (entries 3-4).
class TwoAlbumsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "B/4.mp3", "B/5.mp3"});
  }
};

TEST_F(TwoAlbumsTest, TitlesComeFromThePathWithAlbumAndTrackNumbers) {
  const struct {
    int32_t index;
    const char* album;
    const char* song;
  } cases[] = {
      {0, "A-(1/2) ", "1-(1/3) "},
      {1, "A-(1/2) ", "2-(2/3) "},
      {4, "B-(2/2) ", "5-(2/2) "},
  };
  for (const auto& c : cases) {
    g_state.catalogue.current = c.index;
    window_->ShowTrackTitles();
    EXPECT_EQ(Text(window_->Label_album), c.album) << c.index;
    EXPECT_EQ(Text(window_->Label_song), c.song) << c.index;
  }
}

TEST_F(TrackOpeningTest, NoCurrentEntryShowsPlaceholderTitles) {
  window_->ShowTrackTitles();  // empty catalogue
  EXPECT_EQ(Text(window_->Label_album), "Album Title ");
  EXPECT_EQ(Text(window_->Label_song), "Song Title ");

  BuildCatalogueOf({"a.mp3"});
  g_state.catalogue.current = 1;  // at the count
  window_->ShowTrackTitles();
  EXPECT_EQ(Text(window_->Label_album), "Album Title ");
  EXPECT_EQ(Text(window_->Label_song), "Song Title ");
}

TEST_F(TwoAlbumsTest, OpeningShowsWhatTheDecoderReports) {
  const struct {
    vbmp3_info info;
    const char* album;
    const char* song;
    const char* status;
    const char* stereo;
    QColor stereo_colour;
    const char* total;
  } cases[] = {
      {fake::MakeTrackInfo("Song", "Artist", 2, 128, 44100, 300), "Artist-(1/2) ", "Song-(1/3) ",
       "Play 128k", "STEREO 44KHz ", kRed, "0:05:00 "},
      {fake::MakeTrackInfo("", "", 1, 64, 22050, -1), "A-(1/2) ", "1-(1/3) ", "Play 64k",
       "MONO 22KHz ", kYellow, "Unknown "},
      {fake::MakeTrackInfo("T", "", 0, 320, 48000, 0), "A-(1/2) ", "T-(1/3) ", "Play 320k",
       "MONO 48KHz ", kYellow, "0:00:00 "},
      {fake::MakeTrackInfo("", "\x89\xB9", 2, 192, 32000, 3725), "音-(1/2) ", "1-(1/3) ",
       "Play 192k", "STEREO 32KHz ", kRed, "1:02:05 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    fake::ResetDecoder();
    fake::SetTrackInfo(c.info);
    window_->Controller().OpenCurrentTrack();
    EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open " + Entry(0), "play"}));
    EXPECT_EQ(Text(window_->Label_album), c.album);
    EXPECT_EQ(Text(window_->Label_song), c.song);
    EXPECT_EQ(Text(window_->Label_status), c.status);
    EXPECT_EQ(Colour(window_->Label_status), kAqua);
    EXPECT_EQ(Text(window_->Label_stereo), c.stereo);
    EXPECT_EQ(Colour(window_->Label_stereo), c.stereo_colour);
    EXPECT_EQ(Text(window_->Label_total_time), c.total);
  }
}

TEST_F(TwoAlbumsTest, TrackThatDoesNotOpenOrPlayKeepsTheDecoderLabels) {
  fake::SetTrackInfo(fake::MakeTrackInfo("Song", "Artist", 2, 128, 44100, 300));
  window_->Controller().OpenCurrentTrack();

  for (bool open_fails : {true, false}) {
    SCOPED_TRACE(open_fails ? "open fails" : "play fails");
    g_state.catalogue.current = open_fails ? 1 : 2;
    if (open_fails) {
      fake::FailOpenOf(Entry(1));
    } else {
      fake::SetPlayResult(0);
    }
    window_->Controller().OpenCurrentTrack();
    EXPECT_EQ(fake::DecoderState(), VBMP3_STOPPED);
    EXPECT_EQ(Text(window_->Label_song), open_fails ? "2-(2/3) " : "3-(3/3) ");
    EXPECT_EQ(Text(window_->Label_album), "A-(1/2) ");
    EXPECT_EQ(Text(window_->Label_status), "Play 128k");
    EXPECT_EQ(Text(window_->Label_stereo), "STEREO 44KHz ");
    EXPECT_EQ(Text(window_->Label_total_time), "0:05:00 ");
  }
}

// A CD-ROM drive D: made of a temporary folder: the disc is in while the folder exists.
class ChangedMediumTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    disc_ = dir_->path() + "/cd";
    qputenv("VELDAN_DRIVES", ("D=cdrom:" + disc_).toUtf8());
    ReloadDriveTable();
    CreateFile(disc_, "Music/a.mp3");
    CreateFile(disc_, "Music/b.mp3");
    std::strcpy(g_state.starting_folder, "D:\\Music");
    BuildCatalogue(g_state.starting_folder);
    window_->Timer1->stop();
    ASSERT_EQ(g_state.catalogue.count, 2);
    window_->ShowStartingFolderInTitle();
    StartPlaying();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    qunsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
  }
  void InsertDisc(std::initializer_list<const char*> files) {
    ASSERT_TRUE(QDir(disc_).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(disc_));
    for (const char* file : files) CreateFile(disc_, file);
  }
  void EndTrack() {
    fake::SetDecoderState(VBMP3_STOPPED);
    fake::ClearCallLog();
  }

  QString disc_;
};

TEST_F(ChangedMediumTest, AnotherDiscShowsItsDriveInTheTitleAndItsFirstTrack) {
  InsertDisc({"x.mp3", "Other/y.mp3"});
  EndTrack();
  Poll();
  window_->Timer1->stop();
  EXPECT_EQ(window_->windowTitle(), "VELDAN [D:]");
  EXPECT_STREQ(g_state.starting_folder, "D:");
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Text(window_->Label_album), "D:-(1/2) ");
  EXPECT_EQ(Text(window_->Label_song), "x-(1/1) ");
}

TEST_F(ChangedMediumTest, OpeningWaitsForTheDiscWhileTheWindowRuns) {
  ASSERT_TRUE(QDir().rename(disc_, disc_ + ".out"));
  EndTrack();
  int polls_during_wait = 0;
  QTimer::singleShot(20, window_.get(), [&] {
    ++polls_during_wait;
    window_->Timer1Timer();
  });
  QTimer::singleShot(60, window_.get(), [&] { QDir().rename(disc_ + ".out", disc_); });
  QTimer::singleShot(10000, window_.get(), [] { g_state.wait_abort = true; });  // bound
  Poll();
  EXPECT_EQ(polls_during_wait, 1);
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(LastOpened(), "D:\\Music\\b.mp3");
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
}

TEST_F(ChangedMediumTest, ClosingDuringTheDiscWaitEndsTheOpening) {
  ASSERT_TRUE(QDir(disc_).removeRecursively());
  EndTrack();
  QTimer::singleShot(20, window_.get(), [] {
    g_state.closing = true;
    g_state.wait_abort = true;
  });
  Poll();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_STREQ(g_state.starting_folder, "D:\\Music");
  EXPECT_EQ(g_state.catalogue.count, 2);
}

}  // namespace
}  // namespace veldan::testing
