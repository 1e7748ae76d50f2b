#include "decoder/equalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

namespace veldan {
namespace {

constexpr int kRate = 44100;

std::vector<float> Tone(double hz, double db, int frames, int channels, int rate = kRate) {
  std::vector<float> out(static_cast<std::size_t>(frames) * channels);
  double amp = std::pow(10.0, db / 20.0);
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c)
      out[f * channels + c] = static_cast<float>(amp * std::sin(2 * M_PI * hz * f / rate));
  }
  return out;
}

std::vector<float> Noise(int samples, float amp, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-amp, amp);
  std::vector<float> out(samples);
  for (float& v : out) v = d(rng);
  return out;
}

// A random buffer size: tiny ones, ones about as long as the filter pipeline (up to 22 frames)
// so that it barely fills or not at all, and callback-sized ones.
std::size_t PieceSize(std::mt19937& rng, std::size_t left) {
  constexpr unsigned kLongest[] = {9, 48, 2000};
  return std::min<std::size_t>(left, 1 + rng() % kLongest[rng() % 3]);
}

// Feeds the buffer to the equalizer in pieces of random size, as callbacks would.
void ProcessInPieces(Equalizer& eq, std::vector<float>& s, int channels, unsigned seed) {
  std::mt19937 rng(seed);
  std::size_t frames = s.size() / channels;
  for (std::size_t done = 0; done < frames;) {
    std::size_t n = PieceSize(rng, frames - done);
    eq.Process(s.data() + done * channels, n);
    done += n;
  }
}

// Each buffer through an equalizer of its own with the given gains, cut into pieces its own way.
struct Stream {
  std::vector<float>* samples;
  int channels;
};
void EqualizeEach(const int32_t* gains, int rate, std::initializer_list<Stream> streams,
                  unsigned seed) {
  for (const Stream& stream : streams) {
    Equalizer eq;
    eq.SetGains(gains);
    eq.Prepare(rate, stream.channels);
    ProcessInPieces(eq, *stream.samples, stream.channels, seed++);
  }
}

double PeakDb(const std::vector<float>& s, int channels, int channel, std::size_t from,
              std::size_t to) {
  float peak = 0;
  for (std::size_t f = from; f < to; ++f)
    peak = std::max(peak, std::abs(s[f * channels + channel]));
  return 20 * std::log10(peak);
}

// The whole equalizer the plain way, what the vectorised one must reproduce: per buffer, blocks
// of 64 frames while a gain glides by 0.5 dB a block, the cookbook's peaking filters (one octave,
// coefficients rounded to float as the equalizer keeps them) band after band, then the limiter
// frame by frame and the clamp. Every band in range runs (a flat one is exact), which holds for
// streams whose gains never glide back to 0 dB. The filters run in double: near its centre a
// 60 Hz band amplifies the rounding of a float recurrence tenfold and more, so a float reference
// is itself off by up to 2e-5 and cannot tell a sound implementation from a sloppy one.
class PlainEqualizer {
 public:
  PlainEqualizer(int rate, int channels, const int32_t* tenths)
      : rate_(rate), channels_(channels), keep_(static_cast<float>(std::exp(-1.0 / (0.1 * rate)))) {
    SetGains(tenths);
    for (int band = 0; band < Equalizer::kBands; ++band) gain_db_[band] = target_db_[band];
  }

  void SetGains(const int32_t* tenths) {
    for (int band = 0; band < Equalizer::kBands; ++band)
      target_db_[band] = static_cast<float>(tenths[band]) / 10.0f;
  }

  void Process(float* samples, std::size_t frames) {
    for (std::size_t done = 0; done < frames;) {
      bool gliding = false;
      for (int band = 0; band < Equalizer::kBands; ++band)
        gliding |= InRange(band) && gain_db_[band] != target_db_[band];
      const std::size_t n = gliding ? std::min<std::size_t>(64, frames - done) : frames - done;
      float* block = samples + done * channels_;
      for (int band = 0; band < Equalizer::kBands; ++band) {
        if (!InRange(band)) continue;
        const float step = target_db_[band] - gain_db_[band];
        gain_db_[band] =
            std::abs(step) <= 0.5f ? target_db_[band] : gain_db_[band] + std::copysign(0.5f, step);
        Filter(band, block, n);
      }
      Limit(block, n);
      done += n;
    }
  }

 private:
  bool InRange(int band) const { return Equalizer::kBandHz[band] < 0.45 * rate_; }

  void Filter(int band, float* block, std::size_t frames) {
    const double w0 = 2 * M_PI * Equalizer::kBandHz[band] / rate_;
    const double alpha = std::sin(w0) / (2 * std::sqrt(2.0));
    const double a = std::pow(10.0, gain_db_[band] / 40.0), a0 = 1 + alpha / a;
    const double b0 = static_cast<float>((1 + alpha * a) / a0);
    const double b1 = static_cast<float>(-2 * std::cos(w0) / a0), a1 = b1;
    const double b2 = static_cast<float>((1 - alpha * a) / a0);
    const double a2 = static_cast<float>((1 - alpha / a) / a0);
    for (int c = 0; c < channels_; ++c) {
      double& s1 = s1_[band][c];
      double& s2 = s2_[band][c];
      for (std::size_t f = 0; f < frames; ++f) {
        float& x = block[f * channels_ + c];
        const double y = b0 * x + s1;
        s1 = b1 * x - a1 * y + s2;
        s2 = b2 * x - a2 * y;
        x = static_cast<float>(y);
      }
    }
  }

  void Limit(float* block, std::size_t frames) {
    constexpr float kLevel = 0.977f;
    for (std::size_t f = 0; f < frames; ++f) {
      float* frame = block + f * channels_;
      float peak = 0;
      for (int c = 0; c < channels_; ++c) peak = std::max(peak, std::abs(frame[c]));
      float gain = 1.0f - reduction_;
      if (!(peak * gain <= kLevel)) {
        gain = kLevel / peak;
        reduction_ = 1.0f - gain;
      }
      for (int c = 0; c < channels_; ++c) frame[c] = std::clamp(frame[c] * gain, -1.0f, 1.0f);
      reduction_ = reduction_ < 1e-6f ? 0.0f : reduction_ * keep_;
    }
  }

  int rate_, channels_;
  float keep_, reduction_ = 0;
  float target_db_[Equalizer::kBands], gain_db_[Equalizer::kBands];
  double s1_[Equalizer::kBands][2] = {}, s2_[Equalizer::kBands][2] = {};
};

// Both paths run the bands as a pipeline, mono with four bands and stereo with two bands to a
// vector. Each must give the plain cascade's sound for any set of active bands (counts that do
// not fill the vectors get pass-through partners), at both rates (above 9.9 kHz a 22 kHz stream
// has no bands), and however the stream is cut into buffers; the two paths agree on each channel.
TEST(EqualizerTest, MonoAndStereoPipelinesEqualThePlainCascade) {
  const std::vector<std::vector<int32_t>> settings = {
      {0, 0, 0, 0, 120, 0, 0, 0, 0, 0},
      {60, -60, 0, 0, 0, 0, 0, 0, 0, 90},
      {-120, 0, 45, 0, 0, 0, 30, 0, 0, 0},
      {10, 20, 30, 40, 50, -60, -70, -80, -90, -100},
      {120, 120, 120, 120, 120, 120, 120, 120, 120, 0},
      {60, -60, 60, -60, 60, -60, 60, -60, 60, -60},
  };
  for (const int rate : {kRate, 22050}) {
    for (std::size_t i = 0; i < settings.size(); ++i) {
      const auto input = Noise(2 * 20000, 0.05f, 11 + i);
      std::vector<float> stereo = input, left(input.size() / 2), right(input.size() / 2);
      for (std::size_t f = 0; f < left.size(); ++f) {
        left[f] = input[2 * f];
        right[f] = input[2 * f + 1];
      }
      auto want_stereo = stereo, want_left = left;
      PlainEqualizer(rate, 2, settings[i].data()).Process(want_stereo.data(), left.size());
      PlainEqualizer(rate, 1, settings[i].data()).Process(want_left.data(), left.size());
      EqualizeEach(settings[i].data(), rate, {{&stereo, 2}, {&left, 1}, {&right, 1}}, 1);
      for (std::size_t f = 0; f < left.size(); ++f) {
        ASSERT_NEAR(left[f], want_left[f], 4e-6) << rate << " Hz, setting " << i << " frame " << f;
        ASSERT_NEAR(stereo[2 * f], want_stereo[2 * f], 4e-6)
            << rate << " Hz, setting " << i << " frame " << f;
        ASSERT_NEAR(stereo[2 * f], left[f], 1e-6) << rate << " Hz, setting " << i << " frame " << f;
        ASSERT_NEAR(stereo[2 * f + 1], right[f], 1e-6)
            << rate << " Hz, setting " << i << " frame " << f;
      }
    }
  }
}

TEST(EqualizerTest, BandGainsAtTheirFrequencies) {
  struct Case {
    int band;
    int32_t tenths;
    double probe_hz;
    double expect_db;
    double tolerance;
  };
  const Case cases[] = {
      {4, 120, 1000, 12.0, 0.1},  // the band's centre
      {4, 120, 60, 0.0, 0.2},     // far below it
      {4, -120, 1000, -12.0, 0.1}, {0, 60, 60, 6.0, 0.1}, {9, -90, 16000, -9.0, 0.1},
  };
  for (const Case& c : cases) {
    int32_t gains[10] = {};
    gains[c.band] = c.tenths;
    Equalizer eq;
    eq.SetGains(gains);
    eq.Prepare(kRate, 2);
    auto s = Tone(c.probe_hz, -30, kRate, 2);
    auto in = s;
    eq.Process(s.data(), kRate);
    double gain = PeakDb(s, 2, 0, kRate / 2, kRate) - PeakDb(in, 2, 0, kRate / 2, kRate);
    EXPECT_NEAR(gain, c.expect_db, c.tolerance) << "band " << c.band << " at " << c.probe_hz;
  }
}

TEST(EqualizerTest, FlatAndOutOfRangeBandsPassSoundUnchanged) {
  const int32_t flat[10] = {};
  const int32_t high_only[10] = {0, 0, 0, 0, 0, 0, 0, 120, -120, 120};  // 12k, 14k, 16k
  struct Case {
    const int32_t* gains;
    int rate;
  };
  for (const Case& c : {Case{flat, 44100}, Case{high_only, 22050}, Case{flat, 8000}}) {
    auto s = Noise(2 * 5000, 0.9f, 3);
    const auto in = s;
    Equalizer eq;
    eq.SetGains(c.gains);
    eq.Prepare(c.rate, 2);
    ProcessInPieces(eq, s, 2, 4);
    EXPECT_EQ(s, in) << c.rate;
  }
}

// A change glides in over tens of milliseconds instead of jumping, and going back to flat ends
// in an exact pass-through again once the filters' echo has faded.
TEST(EqualizerTest, GainChangesGlideAndFlatBecomesExactAgain) {
  Equalizer eq;
  eq.Prepare(kRate, 2);
  auto s = Tone(1000, -30, 2 * kRate, 2);
  const auto in = s;
  const int32_t boost[10] = {0, 0, 0, 0, 120, 0, 0, 0, 0, 0};
  eq.SetGains(boost);
  eq.Process(s.data(), kRate / 2);
  double first = PeakDb(s, 2, 0, 0, 64) - PeakDb(in, 2, 0, 0, 64);
  double after_20ms = PeakDb(s, 2, 0, 882, 1323) - PeakDb(in, 2, 0, 882, 1323);
  double settled = PeakDb(s, 2, 0, kRate / 4, kRate / 2) - PeakDb(in, 2, 0, kRate / 4, kRate / 2);
  EXPECT_LT(first, 1.0);
  EXPECT_GT(after_20ms, 3.0);
  EXPECT_LT(after_20ms, 11.0);
  EXPECT_NEAR(settled, 12.0, 0.1);

  const int32_t flat[10] = {};
  eq.SetGains(flat);
  eq.Process(s.data() + kRate, kRate);  // half a second: glide back plus the fading echo
  auto tail = Tone(1000, -30, 4096, 2);
  const auto tail_in = tail;
  eq.Process(tail.data(), 4096);
  EXPECT_EQ(tail, tail_in);
}

TEST(EqualizerTest, AnySettingStaysFiniteAndWithinFullScale) {
  const std::vector<std::vector<int32_t>> settings = {
      std::vector<int32_t>(10, INT32_MAX),
      std::vector<int32_t>(10, INT32_MIN),
      {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 0,
       5000},
      std::vector<int32_t>(10, 120),
  };
  for (int rate : {8000, 44100, 48000}) {
    for (const auto& g : settings) {
      Equalizer eq;
      eq.SetGains(g.data());
      eq.Prepare(rate, 2);
      auto s = Noise(2 * rate, 1.0f, 9);
      ProcessInPieces(eq, s, 2, 5);
      for (float v : s) {
        ASSERT_TRUE(std::isfinite(v)) << rate;
        ASSERT_LE(std::abs(v), 1.0f) << rate;
      }
    }
  }
}

// A loud tone boosted past full scale is held just below it by the limiter: squeezed, not
// clipped flat and never wrapped around.
TEST(EqualizerTest, LimiterHoldsBoostedSoundBelowFullScale) {
  const int32_t boost[10] = {0, 0, 0, 0, 120, 0, 0, 0, 0, 0};
  Equalizer eq;
  eq.SetGains(boost);
  eq.Prepare(kRate, 2);
  auto s = Tone(1000, -1, kRate, 2);
  const auto in = s;
  eq.Process(s.data(), kRate);
  double peak = PeakDb(s, 2, 0, kRate / 2, kRate);
  EXPECT_LT(peak, 0.0);
  EXPECT_GT(peak, -1.0);
  // The boosted sine comes out as a sine: the limiter's gain barely moves within a cycle.
  double low = 1e9, high = 0;
  for (std::size_t f = kRate / 2; f < kRate; ++f) {
    if (std::abs(in[2 * f]) < 0.1f) continue;
    double g = s[2 * f] / in[2 * f];
    low = std::min(low, g);
    high = std::max(high, g);
  }
  EXPECT_GT(low, 0.0);
  EXPECT_LT(high / low, 1.05);

  // Back to flat, the limiter lets go completely: the sound passes unchanged again.
  const int32_t flat[10] = {};
  eq.SetGains(flat);
  auto quiet = Tone(1000, -20, 2 * kRate, 2);
  eq.Process(quiet.data(), 2 * kRate);
  auto after = Tone(1000, -20, 1024, 2);
  const auto after_in = after;
  eq.Process(after.data(), 1024);
  EXPECT_EQ(after, after_in);
}

// The limiter tests four frames' gains at once while it lets go: a burst past full scale, then
// a long quieter stretch, must come out the same in mono as in stereo with equal channels (and
// in stereo where only one channel is loud), whatever the buffer sizes.
TEST(EqualizerTest, LimiterReleaseIsTheSameInMonoAndStereo) {
  const int32_t boost[10] = {0, 0, 0, 0, 120, 0, 0, 0, 0, 0};
  auto mono = Tone(1000, -3, kRate / 4, 1);
  const auto quiet = Tone(1000, -24, kRate, 1);
  mono.insert(mono.end(), quiet.begin(), quiet.end());
  std::vector<float> both(2 * mono.size()), one(2 * mono.size(), 0.0f);
  for (std::size_t f = 0; f < mono.size(); ++f)
    both[2 * f] = both[2 * f + 1] = one[2 * f] = mono[f];
  EqualizeEach(boost, kRate, {{&mono, 1}, {&both, 2}, {&one, 2}}, 4);
  float loudest = 0;
  for (std::size_t f = 0; f < mono.size(); ++f) {
    ASSERT_NEAR(both[2 * f], mono[f], 1e-6) << "frame " << f;
    ASSERT_NEAR(both[2 * f + 1], mono[f], 1e-6) << "frame " << f;
    ASSERT_NEAR(one[2 * f], mono[f], 1e-6) << "frame " << f;
    ASSERT_EQ(one[2 * f + 1], 0.0f) << "frame " << f;
    loudest = std::max(loudest, std::abs(mono[f]));
  }
  EXPECT_LT(loudest, 0.978f);
  // The quiet stretch is boosted to about -12 dBFS once the limiter has let go.
  EXPECT_GT(PeakDb(mono, 1, 0, mono.size() - 4410, mono.size()), -13.0);
}

// The vectorised equalizer against the plain one over a stream whose gains change twice, once
// in quiet sound and once while the limiter holds loud sound down, then a quiet stretch while
// the limiter lets go; buffers of odd and random sizes cut across the glide's blocks, the
// pipeline's fill and drain and the limiter's groups of four frames.
TEST(EqualizerTest, GlidesAndLimiterMatchThePlainEqualizer) {
  const int32_t first[10] = {60, -60, 60, -60, 60, -60, 60, -60, 60, -60};
  const int32_t second[10] = {-90, 45, -30, 120, 120, -75, 45, -30, 15, 90};
  struct Case {
    int rate, channels;
  };
  for (const Case c : {Case{22050, 1}, Case{44100, 2}, Case{44100, 1}, Case{22050, 2}}) {
    std::vector<float> input;
    for (const float amp : {0.05f, 0.6f, 0.05f, 0.05f}) {
      const auto noise = Noise(c.rate / 2 * c.channels, amp, static_cast<unsigned>(input.size()));
      input.insert(input.end(), noise.begin(), noise.end());
    }
    auto got = input, want = input;
    Equalizer eq;
    eq.SetGains(first);
    eq.Prepare(c.rate, c.channels);
    PlainEqualizer plain(c.rate, c.channels, first);
    std::mt19937 rng(7);
    const std::size_t frames = input.size() / c.channels;
    int changes = 0;
    for (std::size_t done = 0; done < frames;) {
      if (changes < 2 && done >= static_cast<std::size_t>(c.rate) * (1 + 2 * changes) / 4) {
        const int32_t* gains = changes++ == 0 ? second : first;
        eq.SetGains(gains);
        plain.SetGains(gains);
      }
      const std::size_t n = PieceSize(rng, frames - done);
      eq.Process(got.data() + done * c.channels, n);
      plain.Process(want.data() + done * c.channels, n);
      done += n;
    }
    float loudest = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      loudest = std::max(loudest, std::abs(want[i]));
      ASSERT_NEAR(got[i], want[i], 2e-5)
          << c.rate << " Hz, " << c.channels << " channels, frame " << i / c.channels;
    }
    // The loud stretch did reach the limiter.
    EXPECT_GT(loudest, 0.97f) << c.rate << " Hz, " << c.channels << " channels";
  }
}

// A filtered buffer that stays within the limiter's level skips the limiter; one loud sample at
// any place of a buffer, in either channel, must still be caught and held at the limit.
TEST(EqualizerTest, OneLoudSampleAnywhereInABufferIsLimited) {
  const int32_t boost[10] = {120, 120, 120, 120, 120, 120, 120, 120, 120, 0};
  constexpr int kFrames = 37;
  for (const int channels : {1, 2}) {
    for (int f = 0; f < kFrames; ++f) {
      for (int c = 0; c < channels; ++c) {
        auto s = Noise(kFrames * channels, 0.01f, f);
        s[f * channels + c] = 0.9f;
        Equalizer eq;
        eq.SetGains(boost);
        eq.Prepare(kRate, channels);
        eq.Process(s.data(), kFrames);
        float loudest = 0;
        for (float v : s) loudest = std::max(loudest, std::abs(v));
        ASSERT_LE(loudest, 0.9771f) << channels << " channels, frame " << f << " channel " << c;
        ASSERT_GT(std::abs(s[f * channels + c]), 0.97f)
            << channels << " channels, frame " << f << " channel " << c;
      }
    }
  }
}

}  // namespace
}  // namespace veldan
