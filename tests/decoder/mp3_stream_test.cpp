#include "decoder/mp3_stream.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoder/sound_capture.h"
#include "platform/name_codec.h"

namespace veldan::test {
namespace {

std::string Cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in(utf8), out(utf8.size() * 2 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

struct InfoCase {
  const char* file;
  std::string title;
  std::string artist;
  int channels, bitrate, rate, length;
};

TEST(Mp3StreamTest, TrackFactsFromEveryKindOfTag) {
  const InfoCase cases[] = {
      {"utf16.mp3", Cp932("桜の季節"), HostNameToProgramText("Beyoncé"), 2, 128, 44100, 1},
      {"utf8.mp3", HostNameToProgramText("Jóga"), HostNameToProgramText("Björk"), 2, 128, 44100, 1},
      // Latin-1 that would also pass as Shift-JIS ("é" + "l" is a kanji) stays Latin-1.
      {"latin1.mp3", HostNameToProgramText("Amélie"), HostNameToProgramText("Café Tacvba"), 2, 128,
       44100, 1},
      {"sjis_in_latin1.mp3", Cp932("東京事変"), Cp932("椎名林檎"), 2, 128, 44100, 1},
      // ID3v1 fields are 30 bytes: the artist lost the second byte of its last character.
      {"id3v1_sjis.mp3", Cp932("さくらさくら"), Cp932("Xさくらさくらさくらさくらさく"), 2, 128,
       44100, 1},
      {"untagged.mp3", "", "", 2, 128, 44100, 1},
      {"big_tag.mp3", "Big", "", 2, 128, 44100, 1},
      {"staircase.mp3", "", "", 2, 128, 44100, 6},
      {"mono22k.mp3", "", "", 1, 64, 22050, 2},
      {"mpeg25.mp3", "", "", 1, 16, 8000, 2},
  };
  for (const InfoCase& c : cases) {
    auto stream = Mp3Stream::Open(FixturePath(c.file));
    ASSERT_TRUE(stream) << c.file;
    const TrackFacts& f = stream->facts();
    EXPECT_EQ(f.title, c.title) << c.file;
    EXPECT_EQ(f.artist, c.artist) << c.file;
    EXPECT_EQ(f.channels, c.channels) << c.file;
    EXPECT_EQ(f.bitrate, c.bitrate) << c.file;
    EXPECT_EQ(f.sample_rate, c.rate) << c.file;
    EXPECT_EQ(f.length, c.length) << c.file;
  }
}

// VBR: the length is exact with a header, and without one after a scan; the bit rate shown is
// the average over the file, not the first frame's.
TEST(Mp3StreamTest, VariableBitRateShowsTheAverageAndTheExactLength) {
  for (const char* file : {"vbr.mp3", "vbr_untagged.mp3"}) {
    auto stream = Mp3Stream::Open(FixturePath(file));
    ASSERT_TRUE(stream) << file;
    EXPECT_EQ(stream->facts().length, 4) << file;
    double average = std::filesystem::file_size(FixturePath(file)) * 8.0 / 4.0 / 1000.0;
    EXPECT_NEAR(stream->facts().bitrate, average, 3.0) << file;
  }
}

// Bytes this process has read through system calls so far.
long long BytesReadByProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = -1;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

// A 100 MB file without a length header opens after reading its start only: its length is
// estimated from the first frames and the file size. Reading all of it at every track change
// took seconds on a stick or a share, on the window thread.
TEST(Mp3StreamTest, AnUntaggedFileOpensWithoutBeingReadWhole) {
  char name[] = "/tmp/veldan_long_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  std::ifstream in(FixturePath("untagged.mp3"), std::ios::binary);
  const std::string fixture{std::istreambuf_iterator<char>(in), {}};
  // Its first frame (417 bytes at 128 kbit/s, 44.1 kHz) is the LAME header, which tells the
  // length; the frames after it don't.
  ASSERT_NE(fixture.find("Info"), std::string::npos);
  ASSERT_LT(fixture.find("Info"), 417u);
  const std::string frames = fixture.substr(417);
  std::string audio;
  while (audio.size() < 1024 * 1024) audio += frames;  // real frames for the estimate to find
  ASSERT_EQ(write(fd, audio.data(), audio.size()), static_cast<ssize_t>(audio.size()));
  ASSERT_EQ(ftruncate(fd, 100 * 1024 * 1024), 0);  // the rest of it reads as zeros
  close(fd);

  const long long before = BytesReadByProcess();
  ASSERT_GE(before, 0);
  auto stream = Mp3Stream::Open(name);
  const long long read = BytesReadByProcess() - before;
  std::remove(name);
  ASSERT_TRUE(stream);
  EXPECT_LT(read, 1024 * 1024) << "bytes read to open a 100 MB file";
  // 128 kbit/s over 100 MB: about 6,500 seconds.
  EXPECT_NEAR(stream->facts().length, 100.0 * 1024 * 1024 * 8 / 128000, 60);
  EXPECT_EQ(stream->facts().bitrate, 128);
}

TEST(Mp3StreamTest, ForeignAndEmptyFilesDoNotOpenAndFailQuickly) {
  for (const char* file :
       {"empty.mp3", "text_named.mp3", "wav_named.mp3", "random.mp3", "no_such_file.mp3"}) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Mp3Stream::Open(FixturePath(file))) << file;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << file;
  }
  EXPECT_FALSE(Mp3Stream::Open(FixturePath("")));  // a folder
}

// The end is where the decoder finds it: a file cut in half ends after about half its length
// although its header promises six seconds.
TEST(Mp3StreamTest, TruncatedFileEndsWhereItsDataEnds) {
  auto stream = Mp3Stream::Open(FixturePath("truncated.mp3"));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->facts().length, 6);
  std::vector<float> chunk(1024 * 2);
  std::size_t frames = 0, n;
  while ((n = stream->Read(chunk.data(), 1024)) > 0) frames += n;
  EXPECT_NEAR(static_cast<double>(frames) / 44100, 3.0, 0.2);
  EXPECT_EQ(stream->Read(chunk.data(), 1024), 0u);
}

// Noise over the middle of a file: the decoder skips it and plays the rest.
TEST(Mp3StreamTest, DamagedStretchIsPassedOver) {
  auto frames = DecodeAll(FixturePath("damaged.mp3")).size() / 2;
  EXPECT_NEAR(static_cast<double>(frames) / 44100, 6.0, 0.3);
}

// A change of rate and channels in the middle of a file is converted into the first format.
TEST(Mp3StreamTest, MidStreamFormatChangeKeepsTheFirstFormat) {
  int channels = 0, rate = 0;
  auto all = DecodeAll(FixturePath("format_change.mp3"), &channels, &rate);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(rate, 44100);
  EXPECT_NEAR(all.size() / 2.0 / 44100, 2.0, 0.15);
}

TEST(Mp3StreamTest, SeekingIsExactAndStopsAtTheEnd) {
  auto whole = DecodeAll(FixturePath("staircase.mp3"));
  auto stream = Mp3Stream::Open(FixturePath("staircase.mp3"));
  ASSERT_TRUE(stream);
  const int64_t length = stream->length_frames();
  EXPECT_EQ(static_cast<std::size_t>(length), whole.size() / 2);

  EXPECT_EQ(stream->SeekFrame(2 * 44100 + 123), 2 * 44100 + 123);
  std::vector<float> chunk(1024 * 2);
  ASSERT_EQ(stream->Read(chunk.data(), 1024), 1024u);
  std::size_t at = (2 * 44100 + 123) * 2;
  EXPECT_EQ(FirstDifference(chunk.data(), whole.data() + at, chunk.size(), 1e-4f), chunk.size());

  EXPECT_EQ(stream->SeekFrame(length + 50000), length);
  EXPECT_EQ(stream->Read(chunk.data(), 1024), 0u);
  EXPECT_EQ(stream->SeekFrame(0), 0);  // and back again after the end
  EXPECT_EQ(stream->Read(chunk.data(), 1024), 1024u);
}

// A track of about a minute made of the untagged fixture's frames over and over, long enough
// for the index read ahead to take many steps.
std::string LongTrack() {
  std::ifstream in(FixturePath("untagged.mp3"), std::ios::binary);
  const std::string fixture{std::istreambuf_iterator<char>(in), {}};
  const std::string frames = fixture.substr(417);  // after the LAME header
  std::string audio = fixture.substr(0, 417);
  while (audio.size() < 1024 * 1024) audio += frames;
  const std::string path =
      std::filesystem::temp_directory_path() / ("veldan_long_" + std::to_string(getpid()) + ".mp3");
  std::ofstream(path, std::ios::binary) << audio;
  return path;
}

// The index read ahead leads a seek to the samples a seek without it reaches (up to the decoder's
// warm-up), which are the straight decode's from that frame on; forward and back, in damaged and
// converted tracks too. Reading ahead comes to an end.
TEST(Mp3StreamTest, SeeksAfterIndexingAheadLandOnTheSameSamples) {
  const std::string long_track = LongTrack();
  struct Case {
    std::string path;
    bool straight = true;  // false: a damaged stretch shifts what a straight decode delivers
  };
  const Case cases[] = {{long_track},
                        {FixturePath("staircase.mp3")},
                        {FixturePath("damaged.mp3"), false},
                        {FixturePath("truncated.mp3")},
                        {FixturePath("format_change.mp3")},
                        {FixturePath("mono22k.mp3")},
                        {FixturePath("big_tag.mp3")}};
  for (const auto& [path, straight] : cases) {
    auto plain = Mp3Stream::Open(path);
    auto indexed = Mp3Stream::Open(path);
    ASSERT_TRUE(plain && indexed) << path;
    std::vector<float> a(1024 * 2), b(1024 * 2);
    ASSERT_EQ(indexed->Read(b.data(), 1024), 1024u);  // as playing would, before indexing
    int steps = 0;
    while (indexed->IndexAhead()) ASSERT_LT(++steps, 1000) << path;
    EXPECT_FALSE(indexed->IndexAhead()) << path;
    const int64_t length = plain->length_frames();
    ASSERT_GT(length, 0) << path;
    const auto whole = straight ? DecodeAll(path) : std::vector<float>{};
    for (int64_t tenth : {7, 2, 9, 5, 0, 8, 1}) {
      const int64_t frame = length * tenth / 10 + 99;
      EXPECT_EQ(indexed->SeekFrame(frame), plain->SeekFrame(frame)) << path << " " << frame;
      const std::size_t got = plain->Read(a.data(), 1024);
      ASSERT_EQ(indexed->Read(b.data(), 1024), got) << path << " " << frame;
      EXPECT_EQ(FirstDifference(a.data(), b.data(), got * plain->channels(), 1e-4f),
                got * plain->channels())
          << path << " " << frame;
      if (!straight) continue;
      const std::size_t at = static_cast<std::size_t>(frame) * plain->channels();
      if (at + got * plain->channels() <= whole.size()) {
        EXPECT_EQ(FirstDifference(b.data(), whole.data() + at, got * plain->channels(), 1e-4f),
                  got * plain->channels())
            << "whole " << path << " " << frame;
      }
    }
  }
  std::filesystem::remove(long_track);
}

// A track followed by a gigabyte of zeros (a download preallocated and never finished; sparse
// here, so it costs no disk): decoding, indexing ahead and a seek past the audio each take a
// moment, not the seconds a scan of the zeros takes, and the track ends where its sound ends.
// With a LAME header and without one (then the length, estimated from the file's size, is far
// too long, and a seek to the estimated middle lands beyond the audio).
TEST(Mp3StreamTest, AZeroTailEndsTheTrackWithoutScanningIt) {
  using Clock = std::chrono::steady_clock;
  for (const char* fixture : {"staircase.mp3", "vbr_untagged.mp3"}) {
    const std::string path = std::string("/tmp/veldan_zero_tail_") + fixture;
    std::filesystem::copy_file(FixturePath(fixture), path,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(truncate(path.c_str(), off_t{1} << 30), 0);
    const auto expected = DecodeAll(FixturePath(fixture));
    auto stream = Mp3Stream::Open(path);
    ASSERT_TRUE(stream) << fixture;
    // A generous bound per call: it catches the scan (seconds), not the speed.
    const auto limit = std::chrono::milliseconds(500);
    std::vector<float> block(1024 * 2);
    std::size_t frames = 0;
    for (;;) {
      auto start = Clock::now();
      std::size_t n = stream->Read(block.data(), 1024);
      EXPECT_LT(Clock::now() - start, limit) << fixture << " read at " << frames;
      start = Clock::now();
      stream->IndexAhead();
      EXPECT_LT(Clock::now() - start, limit) << fixture << " index ahead at " << frames;
      if (n == 0) break;
      frames += n;
    }
    EXPECT_EQ(frames * stream->channels(), expected.size()) << fixture;
    const auto start = Clock::now();
    const int64_t landed = stream->SeekFrame(stream->length_frames() / 2);
    EXPECT_LT(Clock::now() - start, limit) << fixture << " seek";
    if (landed >= 0 &&
        stream->length_frames() * stream->channels() > 2 * static_cast<int64_t>(expected.size())) {
      EXPECT_EQ(stream->Read(block.data(), 1024), 0u) << fixture;  // beyond the audio
    }
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace veldan::test
