#include "art/art_lookup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "art/art_fixtures.h"

namespace veldan {
namespace {

using art_test::TempFolder;

// Polls for the answer, as the window's timer would; gives up after a generous bound.
bool WaitForAnswer(ArtLookup* lookup, ArtAnswer* answer) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < give_up) {
    if (lookup->TakeAnswer(answer)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(ArtLookupTest, AnswersTheLatestRequestOnceThroughPollAndCallback) {
  TempFolder music;
  music.Write("A/cover.jpg", art_test::Jpeg(100, 100));
  std::vector<std::string> tracks;
  for (int i = 0; i < 20; ++i) {
    tracks.push_back(
        music.Write((i % 2 ? "A/" : "B/") + std::to_string(i) + ".mp3", art_test::Audio()));
  }
  std::mutex mutex;
  std::vector<ArtAnswer> called;
  ArtLookup lookup({false, "", {}}, [&](const ArtAnswer& answer) {
    std::lock_guard lock(mutex);
    called.push_back(answer);
  });
  ArtAnswer answer;
  EXPECT_FALSE(lookup.TakeAnswer(&answer));

  const std::uint64_t first = lookup.Request(tracks[1]);
  ASSERT_TRUE(WaitForAnswer(&lookup, &answer));
  EXPECT_EQ(answer.request, first);
  EXPECT_EQ(answer.track, tracks[1]);
  EXPECT_NE(answer.uri.find("/A/cover.jpg"), std::string::npos);
  EXPECT_FALSE(lookup.TakeAnswer(&answer));  // once

  // Track changes in quick succession: the answer that comes is the last one's.
  std::uint64_t last = 0;
  for (const std::string& track : tracks) last = lookup.Request(track);
  ASSERT_TRUE(WaitForAnswer(&lookup, &answer));
  EXPECT_EQ(answer.request, last);
  EXPECT_EQ(answer.track, tracks.back());
  EXPECT_NE(answer.uri.find("/A/cover.jpg"), std::string::npos);  // track 19 lies in A

  // A track in a folder without a picture: an answer all the same, an empty one.
  const std::uint64_t none = lookup.Request(tracks[0]);
  ASSERT_TRUE(WaitForAnswer(&lookup, &answer));
  EXPECT_EQ(answer.request, none);
  EXPECT_EQ(answer.uri, "");

  std::lock_guard lock(mutex);
  ASSERT_FALSE(called.empty());
  EXPECT_EQ(called.front().request, first);
  EXPECT_EQ(called.back().request, none);
  for (std::size_t i = 1; i < called.size(); ++i)
    EXPECT_GT(called[i].request, called[i - 1].request);
}

TEST(ArtLookupTest, ALookupOvertakenWhileTheDiscIsSlowIsNotAnswered) {
  // A named pipe stands in for a slow disc: reading the "track" waits until the test lets go.
  TempFolder music;
  const std::string slow = music.path() + "/Slow/01.mp3";
  std::filesystem::create_directories(music.path() + "/Slow");
  ASSERT_EQ(mkfifo(slow.c_str(), 0600), 0);
  music.Write("Fast/cover.png", art_test::Png(20, 20));
  const std::string fast = music.Write("Fast/01.mp3", art_test::Audio());
  std::mutex mutex;
  std::vector<std::uint64_t> called;
  ArtLookup lookup({true, music.path() + "/cache", {}}, [&](const ArtAnswer& answer) {
    std::lock_guard lock(mutex);
    called.push_back(answer.request);
  });
  const std::uint64_t stalled = lookup.Request(slow);
  int writer = -1;  // opens once the lookup thread is reading the pipe
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (writer < 0 && std::chrono::steady_clock::now() < give_up) {
    writer = open(slow.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_GE(writer, 0);
  const std::uint64_t latest = lookup.Request(fast);  // returns while the lookup still waits
  close(writer);
  ArtAnswer answer;
  ASSERT_TRUE(WaitForAnswer(&lookup, &answer));
  EXPECT_EQ(answer.request, latest);
  EXPECT_NE(answer.uri.find("/Fast/cover.png"), std::string::npos);
  std::lock_guard lock(mutex);
  EXPECT_EQ(called, std::vector<std::uint64_t>{latest});
  EXPECT_NE(stalled, latest);
}

TEST(ArtLookupTest, EndsCleanlyWhateverItIsDoing) {
  TempFolder music;
  const std::string track = music.Write("A/01.mp3", art_test::Audio());
  { ArtLookup idle({false, "", {}}); }
  {
    ArtLookup busy({true, music.path() + "/cache", {}});
    for (int i = 0; i < 50; ++i) busy.Request(track);
  }
  {
    ArtLookup calling({false, "", {}}, [](const ArtAnswer&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    calling.Request(track);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  SUCCEED();  // a hang would stop here: ctest's timeout ends it
}

}  // namespace
}  // namespace veldan
