// The library as the program uses it, through vbmp3.h, with SDL's disk driver capturing what
// would be heard (or the dummy driver where only timing matters).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

#include "decoder/playback_stats.h"
#include "decoder/sound_capture.h"
#include "decoder/vbmp3.h"

namespace veldan::test {
namespace {

constexpr int kRate = 44100;
const int32_t kFlat[10] = {};

class PlayerTest : public ::testing::Test {
 protected:
  void TearDown() override { vbmp3_free(); }

  // Opens a fixture; the record must come back filled.
  bool Open(const char* fixture, vbmp3_info* info = nullptr) {
    vbmp3_info local;
    return vbmp3_open(ProgramPath(FixturePath(fixture)).c_str(), info ? info : &local) != 0;
  }
};

TEST_F(PlayerTest, WithNothingOpenEveryOperationIsHarmless) {
  int32_t position = 99;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_STOPPED);  // before init
  ASSERT_NE(vbmp3_init(), 0);
  EXPECT_NE(vbmp3_stop(), 0);
  EXPECT_NE(vbmp3_close(), 0);
  EXPECT_NE(vbmp3_pause(), 0);
  EXPECT_NE(vbmp3_restart(), 0);
  EXPECT_NE(vbmp3_seek(5), 0);
  EXPECT_EQ(vbmp3_play(), 0);
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_STOPPED);
  EXPECT_EQ(position, 0);
}

// The whole track reaches the device unchanged under a flat setting, and the state reads
// stopped only once the last sample has been taken: freeing the library at that moment must
// not lose any of it.
TEST_F(PlayerTest, FlatPlaysEverySampleUnchangedBeforeReportingTheEnd) {
  DiskCapture capture;
  const auto reference = DecodeAll(FixturePath("staircase.mp3"));
  ASSERT_FALSE(reference.empty());
  vbmp3_init();
  vbmp3_setEqualizer(kFlat);
  ASSERT_TRUE(Open("staircase.mp3"));
  ASSERT_NE(vbmp3_play(), 0);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();

  const auto heard = WithoutGaps(capture.Samples(), 2);
  const auto expected = WithoutGaps(reference, 2);
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_EQ(FirstDifference(heard.data(), expected.data(), heard.size(), 0.0f), heard.size());
}

TEST_F(PlayerTest, PauseAndRestartLoseAndRepeatNothing) {
  DiskCapture capture;
  const auto expected = WithoutGaps(DecodeAll(FixturePath("staircase.mp3")), 2);
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(2, 10000));
  vbmp3_pause();
  int32_t paused_at = -1, later = -1;
  EXPECT_EQ(vbmp3_getState(&paused_at), VBMP3_PAUSED);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(vbmp3_getState(&later), VBMP3_PAUSED);
  EXPECT_EQ(later, paused_at);
  EXPECT_GE(paused_at, 2);
  vbmp3_restart();
  EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_PLAYING);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();

  const auto heard = WithoutGaps(capture.Samples(), 2);
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_EQ(FirstDifference(heard.data(), expected.data(), heard.size(), 0.0f), heard.size());
}

// After a seek the device gets the track from exactly the target second: the capture is some
// sound from the start, then everything from the target on. *cut (when given) receives the
// frames heard before the seek.
void ExpectSeekLanded(const std::vector<float>& heard, const std::vector<float>& track,
                      int32_t second, std::size_t* cut = nullptr) {
  const std::size_t target = static_cast<std::size_t>(second) * kRate * 2;
  ASSERT_GT(track.size(), target);
  const std::size_t tail = track.size() - target;
  ASSERT_GE(heard.size(), tail);
  const std::size_t head = heard.size() - tail;
  EXPECT_EQ(head % 2, 0u);
  EXPECT_EQ(FirstDifference(heard.data(), track.data(), head, 0.0f), head) << "before the seek";
  // A decoder restarted at a frame boundary warms up on the frames before it; its samples may
  // differ from a straight decode in the last bits.
  EXPECT_EQ(FirstDifference(heard.data() + head, track.data() + target, tail, 1e-4f), tail)
      << "after the seek";
  if (cut != nullptr) *cut = head / 2;
}

// Frames of sound the device has written so far, its own silence left out.
std::size_t FramesHeardSoFar(const DiskCapture& capture) {
  return WithoutGaps(capture.Samples(), 2).size() / 2;
}

TEST_F(PlayerTest, SeekWhilePlayingLandsOnTheSecond) {
  DiskCapture capture;
  const auto track = DecodeAll(FixturePath("staircase.mp3"));
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  vbmp3_seek(3);
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PLAYING);
  EXPECT_EQ(position, 3);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  ExpectSeekLanded(WithoutGaps(capture.Samples(), 2), WithoutGaps(track, 2), 3);
}

TEST_F(PlayerTest, SeekWhilePausedStaysPausedAtTheTarget) {
  DiskCapture capture;
  const auto track = DecodeAll(FixturePath("staircase.mp3"));
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(1, 10000));
  vbmp3_pause();
  vbmp3_seek(4);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PAUSED);
  EXPECT_EQ(position, 4);
  vbmp3_restart();
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  ExpectSeekLanded(WithoutGaps(capture.Samples(), 2), WithoutGaps(track, 2), 4);
}

// The ring holds about a second decoded ahead of what is heard; none of it may sound once a
// seek is asked for, beyond the callback under way and what the capture's writer still buffers.
// Paced in real time, so that the capture read just before the seek is up to date.
TEST_F(PlayerTest, SeekWhilePlayingHearsNothingDecodedBeforeIt) {
  DiskCapture capture;
  setenv("SDL_DISKAUDIODELAY", "23", 1);
  const auto track = DecodeAll(FixturePath("staircase.mp3"));
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(1, 10000));
  const std::size_t before = FramesHeardSoFar(capture);
  vbmp3_seek(5);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  std::size_t cut = 0;
  ExpectSeekLanded(WithoutGaps(capture.Samples(), 2), WithoutGaps(track, 2), 5, &cut);
  EXPECT_GE(cut, before);
  EXPECT_LE(cut, before + 4 * 1024);
}

// While paused the ring keeps what was decoded ahead; after a seek and play on, the device gets
// what it had before the pause and then the target, with nothing in between. Paced at five times
// real time, so that the silence of the pause stays short to read (a pause of three seconds
// would close the device, and the driver would start its file anew).
TEST_F(PlayerTest, SeekWhilePausedHearsNothingDecodedBeforeIt) {
  DiskCapture capture;
  setenv("SDL_DISKAUDIODELAY", "5", 1);
  const auto track = WithoutGaps(DecodeAll(FixturePath("staircase.mp3")), 2);
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(1, 10000));
  vbmp3_pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the device writes silence
  const std::size_t before = FramesHeardSoFar(capture);
  vbmp3_seek(3);
  vbmp3_restart();
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  std::size_t cut = 0;
  ExpectSeekLanded(WithoutGaps(capture.Samples(), 2), track, 3, &cut);
  EXPECT_EQ(cut, before);
}

// Plays the staircase, makes the requests once its first second is heard, and expects the
// position to read `second` at once and the rest of the sound to be the track from there on.
void ExpectRequestsEndAt(const std::function<void()>& requests, int32_t second) {
  DiskCapture capture;
  const auto track = DecodeAll(FixturePath("staircase.mp3"));
  vbmp3_init();
  vbmp3_info info;
  ASSERT_NE(vbmp3_open(ProgramPath(FixturePath("staircase.mp3")).c_str(), &info), 0);
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(1, 10000));
  requests();
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PLAYING);
  EXPECT_EQ(position, second);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  ExpectSeekLanded(WithoutGaps(capture.Samples(), 2), WithoutGaps(track, 2), second);
}

// Requests faster than the device takes sound: only the last one is followed to the end.
TEST_F(PlayerTest, SeeksInQuickSuccessionEndAtTheLastOne) {
  ExpectRequestsEndAt(
      [] {
        for (int32_t second : {4, 1, 5, 0, 3}) vbmp3_seek(second);
        vbmp3_stop();
        vbmp3_play();
        for (int32_t second : {5, 3, 2}) vbmp3_seek(second);
      },
      2);
}

TEST_F(PlayerTest, StopPlayCyclesEndWithTheWholeTrackFromTheStart) {
  ExpectRequestsEndAt(
      [] {
        for (int i = 0; i < 5; ++i) {
          vbmp3_stop();
          if (i % 2 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          vbmp3_play();
          if (i == 2) vbmp3_seek(4);  // the next stop and play start over all the same
        }
      },
      0);
}

TEST_F(PlayerTest, SeekBelowZeroStartsAtTheBeginningAndPastTheEndEnds) {
  DiskCapture capture;
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  vbmp3_pause();
  vbmp3_seek(-7);
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PAUSED);
  EXPECT_EQ(position, 0);
  vbmp3_restart();
  vbmp3_seek(100000);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 2000));
}

// +12 dB at 1 kHz on a quiet probe (1 kHz left, 60 Hz right), set before any track is open and
// kept for a later track on the same device.
TEST_F(PlayerTest, EqualizerBoostIsHeardAndHoldsForLaterTracks) {
  DiskCapture capture;
  const auto reference = DecodeAll(FixturePath("eq_probe.mp3"));
  vbmp3_init();
  const int32_t boost[10] = {0, 0, 0, 0, 120, 0, 0, 0, 0, 0};
  vbmp3_setEqualizer(boost);
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  ASSERT_TRUE(Open("eq_probe.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();

  // The device stayed open, so the capture holds both tracks; the probe is its last 3 s.
  const auto all = WithoutGaps(capture.Samples(), 2);
  const std::size_t probe_frames = reference.size() / 2;
  ASSERT_GE(all.size() / 2, probe_frames + kRate);
  const std::vector<float> heard(all.end() - reference.size(), all.end());
  const double left = LevelDb(heard, 2, 0, kRate, kRate) - LevelDb(reference, 2, 0, kRate, kRate);
  const double right = LevelDb(heard, 2, 1, kRate, kRate) - LevelDb(reference, 2, 1, kRate, kRate);
  EXPECT_NEAR(left, 12.0, 0.5);
  EXPECT_NEAR(right, 0.0, 1.0);
}

// A track in another format reopens the device (the disk driver starts its file anew).
TEST_F(PlayerTest, AnotherFormatReopensTheDevice) {
  DiskCapture capture;
  const auto mono = DecodeAll(FixturePath("mono22k.mp3"));
  vbmp3_init();
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_info info;
  ASSERT_TRUE(Open("mono22k.mp3", &info));
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.sample_rate, 22050);
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  vbmp3_free();
  const auto heard = WithoutGaps(capture.Samples(), 1);
  const auto expected = WithoutGaps(mono, 1);
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_EQ(FirstDifference(heard.data(), expected.data(), heard.size(), 0.0f), heard.size());
}

// The program changes tracks by closing one and opening the next at a status poll, also past
// entries that do not open: the device stays open through all of it. Only rest closes it: with
// no track open, a while after the last request.
TEST_F(PlayerTest, TrackChangesKeepTheDeviceOnlyRestClosesIt) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  vbmp3_init();
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 5000));
  EXPECT_EQ(DeviceSessions(), 1);
  // The end heard, the next entry is missing, the one after it plays: one poll apart each.
  vbmp3_close();
  vbmp3_info info;
  EXPECT_EQ(vbmp3_open("Z:\\no such folder\\gone.mp3", &info), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(vbmp3_open("Z:\\no such folder\\gone too.mp3", &info), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  // Next in mid-track: stopped at once, the next track opened at the following poll.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  vbmp3_stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  vbmp3_close();
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 5000));
  EXPECT_EQ(DeviceSessions(), 1);
  // The Stop button: nothing is about to play, the device is let go of.
  vbmp3_stop();
  vbmp3_close();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(Open("short.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 5000));
  EXPECT_EQ(DeviceSessions(), 2);
}

TEST_F(PlayerTest, StopEndsPlayAndPlayStartsOverFromTheBeginning) {
  DiskCapture capture;
  vbmp3_init();
  ASSERT_TRUE(Open("staircase.mp3"));
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(2, 10000));
  vbmp3_stop();
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_STOPPED);
  vbmp3_pause();  // no effect when stopped
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_STOPPED);
  ASSERT_NE(vbmp3_play(), 0);
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PLAYING);
  EXPECT_EQ(position, 0);
  vbmp3_close();
  EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STOPPED);
  EXPECT_EQ(vbmp3_play(), 0);
}

// Without a usable driver the library falls back to SDL's dummy driver, which takes samples in
// real time (a little fast: the tolerance allows for it).
TEST_F(PlayerTest, WithoutASoundDevicePlayAdvancesInRealTime) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  vbmp3_init();
  ASSERT_TRUE(Open("short.mp3"));  // 1 s
  auto start = std::chrono::steady_clock::now();
  vbmp3_play();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_PLAYING);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 3000));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(seconds, 0.85);
  EXPECT_LT(seconds, 1.8);
}

TEST_F(PlayerTest, BadFilesDoNotOpenOrEndEarly) {
  DiskCapture capture;
  vbmp3_init();
  const char* never_open[] = {"empty.mp3", "text_named.mp3", "wav_named.mp3", "random.mp3",
                              "no_such_file.mp3"};
  for (const char* name : never_open) {
    vbmp3_info info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(vbmp3_open(ProgramPath(FixturePath(name)).c_str(), &info), 0) << name;
    EXPECT_EQ(vbmp3_play(), 0) << name;
    EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STOPPED) << name;
  }
  const char* play_through[] = {"truncated.mp3", "damaged.mp3", "format_change.mp3", "mpeg25.mp3",
                                "big_tag.mp3"};
  for (const char* name : play_through) {
    ASSERT_TRUE(Open(name)) << name;
    ASSERT_NE(vbmp3_play(), 0) << name;
    EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000)) << name;
  }
  EXPECT_EQ(vbmp3_open(nullptr, nullptr), 0);
}

// A folder that vanishes while its track plays (a disc taken out, a folder renamed): the
// track plays on from what is open or ends; either way the library answers and ends.
TEST_F(PlayerTest, TrackWhoseFolderDisappearsEnds) {
  DiskCapture capture;
  std::filesystem::path folder = capture.dir() + "/album";
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(FixturePath("staircase.mp3"), folder / "track.mp3");
  vbmp3_init();
  vbmp3_info info;
  ASSERT_NE(vbmp3_open(ProgramPath((folder / "track.mp3").string()).c_str(), &info), 0);
  vbmp3_play();
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(WaitForState(VBMP3_STOPPED, 10000));
  EXPECT_EQ(vbmp3_open(ProgramPath((folder / "track.mp3").string()).c_str(), &info), 0);
}

// Remote controls seek and read the position finer than a second: frames, in microseconds.
TEST_F(PlayerTest, PositionAndSeekInMicrosecondsFollowTheFrames) {
  EXPECT_EQ(vbmp3_getPositionUs(), 0);  // before init
  vbmp3_init();
  vbmp3_info info;
  ASSERT_TRUE(Open("staircase.mp3", &info));
  ASSERT_EQ(info.sample_rate, kRate);
  vbmp3_play();
  ASSERT_TRUE(WaitForPosition(1, 10000));
  vbmp3_pause();
  vbmp3_seekUs(2250000);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  int32_t position = -1;
  EXPECT_EQ(vbmp3_getState(&position), VBMP3_PAUSED);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(vbmp3_getPositionUs(), 2250000);
  vbmp3_seekUs(-1);
  EXPECT_EQ(vbmp3_getPositionUs(), 0);
  // As far as the end and no further, whatever is asked.
  vbmp3_seekUs(std::numeric_limits<int64_t>::max());
  const int64_t end = vbmp3_getPositionUs();
  EXPECT_GE(end, int64_t{info.length} * 1000000);
  EXPECT_LT(end, int64_t{info.length + 1} * 1000000);
  vbmp3_stop();
  EXPECT_EQ(vbmp3_getPositionUs(), 0);
}

}  // namespace
}  // namespace veldan::test
