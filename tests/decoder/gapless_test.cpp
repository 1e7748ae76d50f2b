// Tracks joined without a gap through vbmp3_queue, heard through SDL's disk driver: three parts
// cut from one recording inside MP3 frames (fixtures/gapless, lengths.txt holds each part's
// length in the recording).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "decoder/sound_capture.h"
#include "decoder/vbmp3.h"

namespace veldan::test {
namespace {

std::string Part(int n) {
  return ProgramPath(FixturePath(("gapless/part0" + std::to_string(n) + ".mp3").c_str()));
}

std::vector<std::size_t> PartLengths() {
  std::ifstream in(FixturePath("gapless/lengths.txt"));
  std::vector<std::size_t> lengths;
  for (std::size_t n; in >> n;) lengths.push_back(n);
  return lengths;
}

std::vector<float> Decoded(int n) {
  return DecodeAll(FixturePath(("gapless/part0" + std::to_string(n) + ".mp3").c_str()));
}

// The capture without the device's silence before the first and after the last sound; any
// silence in between stays.
std::vector<float> Trimmed(const std::vector<float>& samples, int channels) {
  auto silent = [&](std::size_t frame) {
    for (int c = 0; c < channels; ++c)
      if (samples[frame * channels + c] != 0.0f) return false;
    return true;
  };
  std::size_t first = 0, end = samples.size() / channels;
  while (first < end && silent(first)) ++first;
  while (end > first && silent(end - 1)) --end;
  return std::vector<float>(samples.begin() + first * channels, samples.begin() + end * channels);
}

// Polls like the program: true once the queued track has started (info filled), false when the
// player stopped first or the time ran out.
bool WaitForJoin(vbmp3_info* info, int timeout_ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < until) {
    if (vbmp3_queuedStarted(info) != 0) return true;
    if (vbmp3_getState(nullptr) == VBMP3_STOPPED) return vbmp3_queuedStarted(info) != 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

std::vector<float> Joined(std::initializer_list<int> parts) {
  std::vector<float> all;
  for (int n : parts) {
    auto part = Decoded(n);
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

void ExpectHeard(const std::vector<float>& heard, const std::vector<float>& expected) {
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_EQ(FirstDifference(heard.data(), expected.data(), heard.size(), 0.0f), heard.size());
}

class GaplessTest : public ::testing::Test {
 protected:
  // About three times real time: fast, yet slow enough that a busy machine still decodes ahead
  // of the device (an underrun would read as silence at a join) and that the tests' polls see
  // a part's seconds go by.
  void SetUp() override {
    setenv("SDL_DISKAUDIODELAY", "8", 1);
    vbmp3_init();
  }
  void TearDown() override { vbmp3_free(); }

  void PlayFirstPart() {
    vbmp3_info info;
    ASSERT_NE(vbmp3_open(Part(1).c_str(), &info), 0);
    ASSERT_NE(vbmp3_play(), 0);
  }
  DiskCapture capture_;
};

// Every sample of the recording once, in order, with no silence at the joins; the position
// starts over with each part and the record of each part arrives with its first sample.
TEST_F(GaplessTest, PartsOfOneRecordingJoinSampleForSample) {
  const auto lengths = PartLengths();
  ASSERT_EQ(lengths.size(), 3u);
  PlayFirstPart();
  ASSERT_NE(vbmp3_queue(Part(2).c_str()), 0);
  vbmp3_info info{};
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  EXPECT_EQ(info.sample_rate, 44100);
  EXPECT_EQ(info.channels, 2);
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PLAYING);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(vbmp3_queuedStarted(&info), 0);  // reported once
  ASSERT_NE(vbmp3_queue(Part(3).c_str()), 0);
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();

  const auto heard = Trimmed(capture_.Samples(), 2);
  EXPECT_EQ(heard.size() / 2, lengths[0] + lengths[1] + lengths[2]);
  EXPECT_EQ(WithoutGaps(heard, 2).size(), heard.size()) << "silence inside the sound";
  ExpectHeard(heard, Joined({1, 2, 3}));
}

// A replacement counts both before the decoder has reached the end of the playing part and
// after it has decoded ahead into the first choice.
TEST_F(GaplessTest, QueuedTrackReplacedBeforeTheJoinPlaysTheReplacement) {
  PlayFirstPart();
  ASSERT_NE(vbmp3_queue(Part(3).c_str()), 0);
  ASSERT_NE(vbmp3_queue(Part(2).c_str()), 0);
  vbmp3_info info{};
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  // part02 is 1.5 s, the ring about one: past its first second part03 is decoded ahead.
  ASSERT_NE(vbmp3_queue(Part(3).c_str()), 0);
  ASSERT_TRUE(WaitForPosition(1, 10000));
  ASSERT_NE(vbmp3_queue(Part(1).c_str()), 0);
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  ExpectHeard(Trimmed(capture_.Samples(), 2), Joined({1, 2, 1}));
}

// Dropped late (decoded ahead already) or by a stop: nothing of the queued track is heard.
TEST_F(GaplessTest, DroppedQueuePlaysNothingMore) {
  PlayFirstPart();
  ASSERT_NE(vbmp3_queue(Part(2).c_str()), 0);
  ASSERT_TRUE(WaitForPosition(1, 10000));
  EXPECT_EQ(vbmp3_queue(nullptr), 0);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_info info;
  EXPECT_EQ(vbmp3_queuedStarted(&info), 0);
  EXPECT_EQ(vbmp3_queue(Part(2).c_str()), 0) << "nothing plays to follow";

  ASSERT_NE(vbmp3_play(), 0);  // the open part once more, then a stop
  ASSERT_NE(vbmp3_queue(Part(3).c_str()), 0);
  ASSERT_TRUE(WaitForPosition(1, 10000));
  vbmp3_stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STOPPED);
  EXPECT_EQ(vbmp3_queuedStarted(&info), 0);
  vbmp3_free();

  const auto heard = WithoutGaps(capture_.Samples(), 2);
  const auto first = WithoutGaps(Decoded(1), 2);
  ASSERT_GE(heard.size(), first.size());
  ASSERT_LT(heard.size(), 2 * first.size());
  EXPECT_EQ(FirstDifference(heard.data(), first.data(), first.size(), 0.0f), first.size());
  const std::size_t rest = heard.size() - first.size();
  EXPECT_EQ(FirstDifference(heard.data() + first.size(), first.data(), rest, 0.0f), rest)
      << "after the stop only the start of the replayed part";
}

// A following track in another format reopens the device (the disk driver starts its file
// anew): it is heard whole, and the record tells its format.
TEST_F(GaplessTest, FormatChangeAtTheJoinPlaysBothTracks) {
  PlayFirstPart();
  ASSERT_NE(vbmp3_queue(ProgramPath(FixturePath("mono22k.mp3")).c_str()), 0);
  vbmp3_info info{};
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.sample_rate, 22050);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  ExpectHeard(Trimmed(capture_.Samples(), 1), Trimmed(DecodeAll(FixturePath("mono22k.mp3")), 1));
}

// A queued file that is missing or holds no MP3 is not queued; one that vanishes after it was
// queued plays from what is open. Either way the playing part ends normally.
TEST_F(GaplessTest, BadQueuedFilesLeaveTheCurrentTrackToEndNormally) {
  PlayFirstPart();
  EXPECT_EQ(vbmp3_queue(ProgramPath(FixturePath("no_such_file.mp3")).c_str()), 0);
  EXPECT_EQ(vbmp3_queue(ProgramPath(FixturePath("random.mp3")).c_str()), 0);
  EXPECT_EQ(vbmp3_queue(""), 0);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_info info;
  EXPECT_EQ(vbmp3_queuedStarted(&info), 0);

  const std::filesystem::path copy = capture_.dir() + "/vanishing.mp3";
  std::filesystem::copy_file(FixturePath("gapless/part02.mp3"), copy);
  ASSERT_NE(vbmp3_play(), 0);
  ASSERT_NE(vbmp3_queue(ProgramPath(copy.string()).c_str()), 0);
  std::filesystem::remove(copy);
  ASSERT_TRUE(WaitForJoin(&info, 10000));
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  // The device rests between the two plays of part01; the silence it gives then is left out.
  ExpectHeard(WithoutGaps(capture_.Samples(), 2), WithoutGaps(Joined({1, 1, 2}), 2));
}

}  // namespace
}  // namespace veldan::test
