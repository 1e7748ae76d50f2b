// ReplayGain: the tag rules on their own, the gain each mode decodes with, and the gain heard
// through the library with SDL's disk driver.
#include "decoder/replay_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "decoder/mp3_stream.h"
#include "decoder/sound_capture.h"
#include "decoder/vbmp3.h"

namespace veldan::test {
namespace {

constexpr int kRate = 44100;

// ---------------------------------------------------------------- RVA2 peaks from tag bytes

using Bytes = std::vector<unsigned char>;

void PutSize(Bytes* out, std::size_t n, bool syncsafe) {
  const int shift = syncsafe ? 7 : 8;
  const unsigned mask = syncsafe ? 0x7F : 0xFF;
  for (int i = 3; i >= 0; --i)
    out->push_back(static_cast<unsigned char>((n >> (shift * i)) & mask));
}

Bytes Frame(const char* id, const Bytes& body, int version, unsigned char format_flags = 0) {
  Bytes out(id, id + 4);
  PutSize(&out, body.size(), version == 4);
  out.push_back(0);
  out.push_back(format_flags);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A master-volume RVA2 body: the adjustment is left at 0, the peak given as raw bits.
Bytes Rva2(const std::string& identification, const Bytes& peak_field, unsigned bits,
           unsigned char channel = 1) {
  Bytes out(identification.begin(), identification.end());
  out.push_back(0);
  out.push_back(channel);
  out.push_back(0);
  out.push_back(0);
  out.push_back(static_cast<unsigned char>(bits));
  out.insert(out.end(), peak_field.begin(), peak_field.end());
  return out;
}

Bytes Tag(const std::vector<Bytes>& frames, int version, std::size_t told_size = 0) {
  Bytes body;
  for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
  Bytes out = {'I', 'D', '3', static_cast<unsigned char>(version), 0, 0};
  PutSize(&out, told_size != 0 ? told_size : body.size(), true);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

struct Rva2Case {
  const char* name;
  Bytes tag;
  double track;
  double album;
};

TEST(Rva2PeaksTest, ReadsMasterPeaksAndNothingPastTheTag) {
  const Bytes half = {0x40, 0x00};  // 16 bits, full scale at 0x8000
  const Rva2Case cases[] = {
      {"v2.4 album and track",
       Tag({Frame("RVA2", Rva2("album", half, 16), 4),
            Frame("RVA2", Rva2("track", {0x20, 0x00}, 16), 4)},
           4),
       0.25, 0.5},
      {"v2.3 sizes, album in capitals", Tag({Frame("RVA2", Rva2("ALBUM", half, 16), 3)}, 3), 0,
       0.5},
      {"8 bits", Tag({Frame("RVA2", Rva2("", {0x80}, 8), 4)}, 4), 1.0, 0},
      {"other channel first",
       Tag({Frame(
               "RVA2",
               [&] {
                 Bytes b = Rva2("x", {0x7F, 0xFF}, 16, 2);
                 b.insert(b.end(), {1, 0, 0, 16, 0x40, 0x00});
                 return b;
               }(),
               4)},
           4),
       0.5, 0},
      {"no peak", Tag({Frame("RVA2", Rva2("track", {}, 0), 4)}, 4), 0, 0},
      {"peak of 40 bits", Tag({Frame("RVA2", Rva2("track", Bytes(5, 0xFF), 40), 4)}, 4), 0, 0},
      {"peak cut short", Tag({Frame("RVA2", Rva2("track", {0x40}, 16), 4)}, 4), 0, 0},
      {"compressed frame", Tag({Frame("RVA2", Rva2("track", half, 16), 4, 0x08)}, 4), 0, 0},
      {"frame past the tag", Tag({Frame("RVA2", Rva2("track", half, 16), 4)}, 4, 12), 0, 0},
      {"v2.2", Tag({Frame("RVA2", Rva2("track", half, 16), 4)}, 2), 0, 0},
      {"after another frame",
       Tag({Frame("TIT2", {0, 'a', 0}, 4), Frame("RVA2", Rva2("track", half, 16), 4)}, 4), 0.5, 0},
  };
  for (const Rva2Case& c : cases) {
    const GainPeaks peaks = Rva2Peaks(c.tag.data(), c.tag.size());
    EXPECT_DOUBLE_EQ(peaks.track, c.track) << c.name;
    EXPECT_DOUBLE_EQ(peaks.album, c.album) << c.name;
  }
  // A tag that tells more bytes than there are: only what is there is read.
  Bytes cut = Tag({Frame("RVA2", Rva2("track", half, 16), 4)}, 4, 100000);
  cut.resize(cut.size() - 1);
  EXPECT_EQ(Rva2Peaks(cut.data(), cut.size()).track, 0);
  EXPECT_EQ(Rva2Peaks(cut.data(), 4).track, 0);
  EXPECT_EQ(Rva2Peaks(nullptr, 0).track, 0);
}

TEST(ReplayGainRulesTest, PeakTextsAndLimits) {
  EXPECT_DOUBLE_EQ(ParsePeak("0.988831"), 0.988831);
  EXPECT_DOUBLE_EQ(ParsePeak(" 1.25"), 1.25);
  for (const char* bad : {"", "-0.5", "0", "dB", "nan", "inf"}) EXPECT_EQ(ParsePeak(bad), 0) << bad;

  EXPECT_EQ(PeakLimit(-6.0, 0.9), 1.0);  // a cut never needs limiting
  EXPECT_EQ(PeakLimit(12.0, 0.0), 1.0);  // nor a gain whose peak is not known
  for (const auto& [gain_db, peak] : {std::pair{15.0, 0.5}, {6.0, 0.999}, {0.1, 1.0}}) {
    const double product = peak * std::pow(10.0, gain_db / 20.0) * PeakLimit(gain_db, peak);
    EXPECT_LE(product, 1.0) << gain_db;
    EXPECT_NEAR(product, 1.0, 1e-5) << gain_db;
  }
}

// ---------------------------------------------------------------- what each mode decodes

std::string GainFixture(const char* name) {
  return FixturePath((std::string("gain/") + name).c_str());
}

std::vector<float> Decode(const std::string& path, GainMode mode, double* gain_db = nullptr) {
  std::vector<float> all;
  auto stream = Mp3Stream::Open(path, mode);
  if (!stream) return all;
  if (gain_db != nullptr) *gain_db = stream->facts().gain_db;
  std::vector<float> chunk(4096 * 2);
  while (std::size_t n = stream->Read(chunk.data(), 4096)) {
    all.insert(all.end(), chunk.begin(), chunk.begin() + n * stream->channels());
  }
  return all;
}

double LameGain() {
  std::ifstream in(GainFixture("lame_gain.txt"));
  double gain = 0;
  in >> gain;
  return gain;
}

struct GainCase {
  const char* file;
  GainMode mode;
  double gain_db;  // what the level must change by
};

// Every sample is the untagged tone's times the gain, from the first on; the level changes by
// the tagged gain, or by what the claimed peak allows of it.
TEST(ReplayGainDecodeTest, EachModeScalesEverySampleByItsGain) {
  const auto plain = Decode(GainFixture("plain.mp3"), GainMode::kOff);
  ASSERT_GT(plain.size(), 2u * kRate * 2);
  const double lame = LameGain();
  ASSERT_NE(lame, 0);
  const double limit_half = 20 * std::log10(2.0);     // peak 0.5
  const double limit_quarter = 20 * std::log10(4.0);  // peak 0.25
  const GainCase cases[] = {
      {"txxx.mp3", GainMode::kOff, 0.0},
      {"txxx.mp3", GainMode::kTrack, -3.0},
      {"txxx.mp3", GainMode::kAlbum, -8.5},
      {"album_only.mp3", GainMode::kAlbum, -6.0},
      {"album_only.mp3", GainMode::kTrack, -6.0},  // the only gain told
      {"clip.mp3", GainMode::kTrack, limit_half},
      {"clip.mp3", GainMode::kAlbum, limit_quarter},
      {"rva2.mp3", GainMode::kTrack, -4.0},
      {"rva2.mp3", GainMode::kAlbum, limit_half},  // an RVA2 peak, which the decoder reads past
      {"lame.mp3", GainMode::kTrack, lame},
      {"lame.mp3", GainMode::kAlbum, lame},  // a LAME tag tells a track gain alone
      {"bogus.mp3", GainMode::kTrack, 0.0},  // +500 dB
      {"bogus.mp3", GainMode::kAlbum, 0.0},  // not a number
  };
  for (const GainCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " mode " + std::to_string(static_cast<int>(c.mode)));
    double told = 99;
    const auto gained = Decode(GainFixture(c.file), c.mode, &told);
    ASSERT_EQ(gained.size(), plain.size());
    EXPECT_NEAR(told, c.gain_db, 0.01);
    const double level =
        LevelDb(gained, 2, 0, kRate / 2, kRate) - LevelDb(plain, 2, 0, kRate / 2, kRate);
    EXPECT_NEAR(level, c.gain_db, 0.1);
    const auto factor = static_cast<float>(std::pow(10.0, c.gain_db / 20.0));
    std::size_t worst = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
      if (std::abs(gained[i] - plain[i] * factor) > 1e-4f) ++worst;
    }
    EXPECT_EQ(worst, 0u);
  }
}

TEST(ReplayGainDecodeTest, ATrackWithoutGainsDecodesBitForBitAsWithoutReplayGain) {
  const auto off = Decode(GainFixture("plain.mp3"), GainMode::kOff);
  ASSERT_FALSE(off.empty());
  for (GainMode mode : {GainMode::kTrack, GainMode::kAlbum}) {
    double told = 99;
    const auto on = Decode(GainFixture("plain.mp3"), mode, &told);
    EXPECT_EQ(told, 0);
    ASSERT_EQ(on.size(), off.size());
    EXPECT_EQ(std::memcmp(on.data(), off.data(), on.size() * sizeof(float)), 0);
  }
}

// ---------------------------------------------------------------- heard through the library

class ReplayGainPlayerTest : public ::testing::Test {
 protected:
  void TearDown() override { vbmp3_free(); }
  static bool Open(const char* name) {
    vbmp3_info info;
    return vbmp3_open(ProgramPath(GainFixture(name)).c_str(), &info) != 0;
  }
};

TEST_F(ReplayGainPlayerTest, OnlyKnownModesAreTaken) {
  EXPECT_EQ(vbmp3_setGainMode(VBMP3_GAIN_TRACK), 0);  // before init
  vbmp3_init();
  EXPECT_NE(vbmp3_setGainMode(VBMP3_GAIN_ALBUM), 0);
  EXPECT_EQ(vbmp3_setGainMode(3), 0);
  EXPECT_EQ(vbmp3_setGainMode(-1), 0);
}

// The open track keeps the mode it was opened with; the track queued after the mode changed
// joins on with the new one. Heard: 3 s at the track gain, then 3 s at the album gain.
TEST_F(ReplayGainPlayerTest, ModeHoldsFromTheNextOpenedOrQueuedTrack) {
  DiskCapture capture;
  const auto plain = Decode(GainFixture("plain.mp3"), GainMode::kOff);
  ASSERT_FALSE(plain.empty());
  vbmp3_init();
  ASSERT_NE(vbmp3_setGainMode(VBMP3_GAIN_TRACK), 0);
  ASSERT_TRUE(Open("txxx.mp3"));
  ASSERT_NE(vbmp3_play(), 0);
  ASSERT_NE(vbmp3_setGainMode(VBMP3_GAIN_ALBUM), 0);
  ASSERT_NE(vbmp3_queue(ProgramPath(GainFixture("txxx.mp3")).c_str()), 0);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 20000));
  vbmp3_free();

  const auto heard = WithoutGaps(capture.Samples(), 2);
  ASSERT_EQ(heard.size(), 2 * plain.size());
  const std::size_t second = plain.size() / 2;  // frames of the first track
  const double reference = LevelDb(plain, 2, 0, kRate / 2, kRate);
  EXPECT_NEAR(LevelDb(heard, 2, 0, kRate / 2, kRate) - reference, -3.0, 0.1);
  EXPECT_NEAR(LevelDb(heard, 2, 0, second + kRate / 2, kRate) - reference, -8.5, 0.1);
}

TEST_F(ReplayGainPlayerTest, ATrackWithoutGainsIsHeardBitForBitAsWithGainOff) {
  DiskCapture capture;
  const auto plain = Decode(GainFixture("plain.mp3"), GainMode::kOff);
  ASSERT_FALSE(plain.empty());
  vbmp3_init();
  ASSERT_NE(vbmp3_setGainMode(VBMP3_GAIN_ALBUM), 0);
  ASSERT_TRUE(Open("plain.mp3"));
  ASSERT_NE(vbmp3_play(), 0);
  ASSERT_TRUE(WaitForState(VBMP3_STOPPED, 20000));
  vbmp3_free();
  const auto heard = WithoutGaps(capture.Samples(), 2);
  const auto expected = WithoutGaps(plain, 2);
  ASSERT_EQ(heard.size(), expected.size());
  EXPECT_EQ(FirstDifference(heard.data(), expected.data(), heard.size(), 0.0f), heard.size());
}

}  // namespace
}  // namespace veldan::test
