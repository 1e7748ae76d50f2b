#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include <QCheckBox>
#include <QFile>
#include <sys/stat.h>

#include "catalogue/catalogue.h"
#include "catalogue/search.h"
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

// Off a CD drive a missing file is no changed medium: C: is the whole computer, and a search
// from it for one deleted track would walk every folder there is.
class MissingFileTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "A/4.mp3"});
    StartPlaying();
    ResetFoldersListed();
  }
  void Remove(const char* relative) { ASSERT_TRUE(QFile::remove(dir_->path() + "/" + relative)); }
  void EndTrack() {
    fake::SetDecoderState(VBMP3_STOPPED);
    fake::ClearCallLog();
  }
};

TEST_F(MissingFileTest, DeletedTrackAndPipeAreSkippedWithinOnePollWithoutASearch) {
  const std::string folder = g_state.starting_folder;
  Remove("A/2.mp3");
  // A pipe where a track was: opening it for reading would wait for a writer for ever.
  Remove("A/3.mp3");
  ASSERT_EQ(mkfifo((dir_->path() + "/A/3.mp3").toUtf8().constData(), 0600), 0);
  EndTrack();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(Text(window_->Label_song), "2-(2/4) ");
  EXPECT_TRUE(g_state.continuous_play);
  Poll();
  EXPECT_EQ(Current(), 2);
  EXPECT_EQ(OpenCount(), 0);
  Poll();
  EXPECT_EQ(LastOpened(), Entry(3));
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_EQ(FoldersListed(), 0);
  EXPECT_EQ(g_state.starting_folder, folder);
  EXPECT_EQ(g_state.catalogue.count, 4);
}

TEST_F(MissingFileTest, NothingButMissingFilesStopsAfterOneRound) {
  for (const char* file : {"A/1.mp3", "A/2.mp3", "A/3.mp3", "A/4.mp3"}) Remove(file);
  EndTrack();
  for (int poll = 0; poll < 4; ++poll) Poll();  // entries 1, 2, 3 and 0 fail in turn
  EXPECT_FALSE(g_state.continuous_play);
  Poll();
  EXPECT_EQ(Text(window_->Label_status), "Stop ");
  EXPECT_TRUE(StartButtonsEnabled());
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(FoldersListed(), 0);

  // Play tries one more round, then stops again; with Repeat the same entry ends it at once.
  window_->BitBtn_playClick();
  for (int poll = 0; poll < 3; ++poll) Poll();
  EXPECT_FALSE(g_state.continuous_play);
  window_->CheckBox_repeat->setChecked(true);
  window_->BitBtn_playClick();
  EXPECT_TRUE(g_state.continuous_play);
  Poll();
  EXPECT_FALSE(g_state.continuous_play);
}

TEST_F(MissingFileTest, ATrackThatPlaysRenewsTheBudget) {
  Remove("A/2.mp3");
  Remove("A/4.mp3");
  EndTrack();
  Poll();  // 2 fails
  Poll();  // 3 plays
  EXPECT_EQ(LastOpened(), Entry(2));
  EndTrack();
  Poll();  // 4 fails
  Poll();  // 1 plays: two failures, but never four in a row
  EXPECT_EQ(LastOpened(), Entry(0));
  EXPECT_TRUE(g_state.continuous_play);
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

TEST_F(ChangedMediumTest, AnotherDiscIsSearchedFromItsRootAndItsFirstTrackPlays) {
  InsertDisc({"x.mp3", "Other/y.mp3"});
  EndTrack();
  Poll();
  window_->Timer1->stop();
  EXPECT_EQ(window_->windowTitle(), "VELDAN [D:]");
  EXPECT_STREQ(g_state.starting_folder, "D:");
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "D:\\x.mp3");
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open D:\\x.mp3", "play"}));
  EXPECT_EQ(Text(window_->Label_album), "D:-(1/2) ");
  EXPECT_EQ(Text(window_->Label_song), "x-(1/1) ");
}

// A disc whose list names files that aren't there: one search of the new disc, then its
// entries are skipped, and play stops once each has failed; never a search at every poll.
TEST_F(ChangedMediumTest, ADiscOfMissingFilesIsSearchedOnceUntilATrackPlays) {
  InsertDisc({});
  QFile list(disc_ + "/list.m3u");
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write("gone1.mp3\r\ngone2.mp3\r\n");
  list.close();
  EndTrack();
  ResetFoldersListed();
  Poll();
  EXPECT_EQ(FoldersListed(), 1);
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "D:\\gone1.mp3");
  for (int poll = 0; poll < 3; ++poll) Poll();
  EXPECT_EQ(FoldersListed(), 1);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(OpenCount(), 0);
}

TEST_F(ChangedMediumTest, DiscWithoutTracksStopsPlayInsteadOfSearchingAtEveryPoll) {
  InsertDisc({"readme.txt"});
  EndTrack();
  Poll();
  window_->Timer1->stop();
  EXPECT_EQ(g_state.catalogue.count, 0);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(OpenCount(), 0);

  Poll();
  Poll();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(Text(window_->Label_status), "Stop ");
  EXPECT_EQ(Colour(window_->Label_status), kRed);
  EXPECT_TRUE(StartButtonsEnabled());
  EXPECT_EQ(Text(window_->Label_album), "Album Title ");
  EXPECT_FALSE(window_->Timer1->isActive());  // no further build has run

  // Play with the empty catalogue does nothing.
  window_->BitBtn_playClick();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_FALSE(g_state.continuous_play);
}

TEST_F(ChangedMediumTest, PollAndPlayDuringAnOpeningDoNotOpenAnotherTrack) {
  InsertDisc({"x.mp3", "y.mp3", "z.mp3"});
  EndTrack();
  int nested_runs = 0;
  // Both arrive while the outer poll lets messages run in the middle of its opening.
  QTimer::singleShot(0, window_.get(), [&] {
    ++nested_runs;
    EXPECT_TRUE(window_->Controller().OpeningTrack());
    window_->Timer1Timer();
    window_->BitBtn_playClick();
  });
  Poll();
  window_->Timer1->stop();
  EXPECT_EQ(nested_runs, 1);
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(LastOpened(), "D:\\x.mp3");
  EXPECT_EQ(Current(), 0);
  EXPECT_FALSE(window_->Controller().OpeningTrack());

  // The next poll after the opening sees the track play and does not move on.
  Poll();
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(Text(window_->Label_status), "Play 128k");
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
