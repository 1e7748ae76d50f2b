// Opening the current track: the failure budget, the rebuild when a disc was swapped, and an
// opening that lets messages run while polls and presses arrive.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "catalogue/catalogue.h"
#include "catalogue/search.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "playback/playback_fixture.h"

namespace veldan::testing {
namespace {

// Off a CD drive a missing file is no changed medium: a fixed drive may be the whole computer,
// and a search from it for one deleted track would walk every folder there is.
class FailureBudgetTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    BuildCatalogueOf({"A/1.mp3", "A/2.mp3", "A/3.mp3", "A/4.mp3"});
    StartPlaying();
    ResetFoldersListed();
  }
  void Remove(const char* relative) { ASSERT_TRUE(std::filesystem::remove(HostPath(relative))); }
  void EndTrackHere() {
    EndTrack();
    fake::ClearCallLog();
  }
};

TEST_F(FailureBudgetTest, AMissingTrackAndAPipeAreSkippedWithoutASearch) {
  Remove("A/2.mp3");
  // A pipe where a track was: opening it for reading would wait for a writer for ever.
  Remove("A/3.mp3");
  ASSERT_EQ(mkfifo(HostPath("A/3.mp3").c_str(), 0600), 0);
  EndTrackHere();
  Poll();
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"close"});
  EXPECT_TRUE(g_state.continuous_play);
  RunSteps();
  EXPECT_EQ(LastOpened(), Entry(3));
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  EXPECT_EQ(FoldersListed(), 0);
  EXPECT_EQ(g_state.catalogue.count, 4);
}

TEST_F(FailureBudgetTest, NothingButFailuresStopsAfterOneRoundAndPlayTriesOneMore) {
  for (const char* file : {"A/1.mp3", "A/2.mp3", "A/3.mp3", "A/4.mp3"}) Remove(file);
  EndTrackHere();
  Poll();
  RunSteps();  // entries 1, 2, 3 and 0 fail in turn
  EXPECT_FALSE(g_state.continuous_play);
  listener_.events.clear();
  Poll();
  EXPECT_EQ(listener_.status, "Stop ");
  EXPECT_TRUE(controller_->Allowed(PlaybackAction::kPlay));
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(FoldersListed(), 0);

  controller_->Play();
  EXPECT_EQ(RunSteps(), 3);
  EXPECT_FALSE(g_state.continuous_play);
  // With Repeat the same entry coming round ends play at once.
  controller_->SetRepeat(true);
  controller_->Play();
  EXPECT_TRUE(g_state.continuous_play);
  RunSteps();
  EXPECT_FALSE(g_state.continuous_play);
}

TEST_F(FailureBudgetTest, ATrackThatPlaysRenewsTheBudget) {
  Remove("A/2.mp3");
  Remove("A/4.mp3");
  EndTrackHere();
  Poll();      // 2 fails
  RunSteps();  // 3 plays
  EXPECT_EQ(LastOpened(), Entry(2));
  EndTrackHere();
  Poll();      // 4 fails
  RunSteps();  // 1 plays: two failures, but never four in a row
  EXPECT_EQ(LastOpened(), Entry(0));
  EXPECT_TRUE(g_state.continuous_play);
}

TEST_F(FailureBudgetTest, ATrackThatOpensButDoesNotPlayCountsAsAFailure) {
  fake::SetPlayResult(0);
  EndTrackHere();
  Poll();
  RunSteps();
  EXPECT_EQ(OpenCount(), 4);
  EXPECT_FALSE(g_state.continuous_play);
}

// A CD-ROM drive D: made of a folder of the temporary drive: the disc is in while it exists.
class ChangedMediumTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    tree_ = std::make_unique<test::TempDrive>('T');
    disc_ = tree_->root() + "/cd";
    setenv("VELDAN_DRIVES", ("T=fixed:" + tree_->root() + ";D=cdrom:" + disc_).c_str(), 1);
    ReloadDriveTable();
    tree_->WriteFile("cd/Music/a.mp3");
    tree_->WriteFile("cd/Music/b.mp3");
    CopyText(g_state.starting_folder, kTextSize, "D:\\Music");
    BuildCatalogue(g_state.starting_folder);
    ASSERT_EQ(g_state.catalogue.count, 2);
    StartPlaying();
  }
  void InsertDisc(std::initializer_list<const char*> files) {
    std::filesystem::remove_all(disc_);
    std::filesystem::create_directories(disc_);
    for (const char* file : files) tree_->WriteFile(std::string("cd/") + file);
  }
  void EndTrackHere() {
    EndTrack();
    fake::ClearCallLog();
    listener_.events.clear();
  }

  std::string disc_;
};

TEST_F(ChangedMediumTest, AnotherDiscIsSearchedFromItsRootAndItsFirstTrackPlays) {
  InsertDisc({"x.mp3", "Other/y.mp3"});
  EndTrackHere();
  Poll();
  EXPECT_STREQ(g_state.starting_folder, "D:");
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "D:\\x.mp3");
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"close", "open D:\\x.mp3", "play"}));
  EXPECT_EQ(listener_.events,
            (std::vector<std::string>{"bar 0", "entry 1", "folder", "entry 0", "entry 0",
                                      "status Play 128k", "opened", "start off"}));
}

// A disc whose list names files that aren't there: one search of the new disc, then its
// entries are skipped, and play stops once each has failed; never a search at every poll.
TEST_F(ChangedMediumTest, ADiscOfMissingFilesIsSearchedOnceUntilATrackPlays) {
  InsertDisc({});
  std::ofstream(disc_ + "/list.m3u") << "gone1.mp3\r\ngone2.mp3\r\n";
  EndTrackHere();
  ResetFoldersListed();
  Poll();
  EXPECT_EQ(FoldersListed(), 1);
  ASSERT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(Entry(0), "D:\\gone1.mp3");
  RunSteps();
  EXPECT_EQ(FoldersListed(), 1);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(OpenCount(), 0);
}

TEST_F(ChangedMediumTest, ADiscWithoutTracksStopsPlayInsteadOfSearchingAtEveryPoll) {
  InsertDisc({"readme.txt"});
  EndTrackHere();
  Poll();
  EXPECT_EQ(g_state.catalogue.count, 0);
  EXPECT_FALSE(g_state.continuous_play);
  ResetFoldersListed();
  Poll();
  Poll();
  controller_->Play();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_EQ(FoldersListed(), 0);
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(listener_.status, "Stop ");
}

// A poll and a Play that arrive while an opening lets messages run open nothing of their own.
TEST_F(ChangedMediumTest, APollAndAPlayDuringAnOpeningDoNotOpenAnotherTrack) {
  InsertDisc({"x.mp3", "y.mp3", "z.mp3"});
  EndTrackHere();
  int nested_runs = 0;
  host_.on_next_pump = [&] {
    ++nested_runs;
    EXPECT_TRUE(controller_->OpeningTrack());
    EXPECT_FALSE(controller_->Allowed(PlaybackAction::kSeek));
    EXPECT_TRUE(controller_->Busy());
    Poll();
    controller_->Play();
    controller_->OpenCurrentTrack();
  };
  Poll();
  EXPECT_EQ(nested_runs, 1);
  EXPECT_EQ(OpenCount(), 1);
  EXPECT_EQ(LastOpened(), "D:\\x.mp3");
  EXPECT_FALSE(controller_->OpeningTrack());
  Poll();
  EXPECT_EQ(OpenCount(), 1);
}

}  // namespace
}  // namespace veldan::testing
