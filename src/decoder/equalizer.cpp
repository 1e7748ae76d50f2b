#include "decoder/equalizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace veldan {
namespace {

// One octave per band: neighbours overlap enough that equal settings give a smooth curve.
constexpr double kQ = 1.4142135623730951;
// A setting beyond +-60 dB per band is held there: ten bands at +60 dB multiply full scale by
// 1e30, still inside float's range, so the filters never produce infinities. The program's own
// settings (+-12 dB) are far inside.
constexpr float kMaxBandDb = 60.0f;
// Glide speed: 0.5 dB per 64 frames, a 24 dB sweep in about 70 ms at 44.1 kHz.
constexpr std::size_t kGlideFrames = 64;
constexpr float kGlideStepDb = 0.5f;
// The limiter acts above -0.2 dBFS and lets go with a 100 ms time constant.
constexpr float kLimitLevel = 0.977f;
constexpr double kReleaseSeconds = 0.1;

// Denormal floats in a decaying filter tail cost a hundred times more than normal ones; they
// are flushed to zero while the equalizer runs.
class FlushDenormals {
 public:
#if defined(__SSE__)
  FlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | 0x8040);
  }  // FTZ | DAZ
  ~FlushDenormals() {
    _mm_setcsr(saved_);
  }

 private:
  unsigned saved_;
#endif
};

// A band's filter as the cascade runs it. The state update takes the output's share in
// directly (c1 = b1 - a1 * b0, c2 = b2 - a2 * b0), so the new state waits on the input and the
// old state only, not on the new output: the chain of dependent operations from one frame to
// the next, not the arithmetic, is what bounds the cascade's speed. It also rounds less than
// the textbook order, which subtracts two nearly equal products in a low band.
struct ActiveBand {
  float b0, c1, c2, a1, a2;
};

// The cascade as a pipeline. At step n band k works on frame n - D * k, so all bands of a step
// are independent and share four-lane vectors: two bands of both channels each in stereo, four
// bands in mono; a band's input is what the band before it produced D steps earlier. In mono,
// with two or three vectors a step, D = 2 gives each frame's way from band to band two steps, so
// the next step need not wait for it; stereo has work enough in its five vectors, and a second
// step's outputs would not fit its registers. The first and last frames of a block, where the
// pipeline fills and drains, run band by band in scalar code on the same state. The result is
// exactly the plain cascade, without delay.
typedef float V4 __attribute__((vector_size(16)));
typedef int V4i __attribute__((vector_size(16)));  // lane-wise comparison results

constexpr int kLanes = 4;
// Stereo needs ten bands of two lanes; mono at most twelve (ten and two pass-through partners).
constexpr int kMaxLanes = 2 * Equalizer::kBands;
constexpr int kMaxDelay = 2;
// The most frames a band works on while the pipeline fills or drains, times the channels.
constexpr int kMaxEdge = kMaxDelay * kMaxLanes;

// Lane b * channels + c holds band b's value for channel c.
struct alignas(16) Pipeline {
  // Outputs on their way to the next band: [d] is what each band produced d steps ago.
  float y[kMaxDelay][kMaxLanes];
  float s1[kMaxLanes];
  float s2[kMaxLanes];
  ActiveBand k[kMaxLanes];
  int bands;  // fills whole vectors: missing bands are pass-through partners
};

// Band b of the pipeline over count frames, from `in` to `out` (which may be the same).
template <int C>
void RunBand(Pipeline& p, int b, const float* in, float* out, std::ptrdiff_t count) {
  const ActiveBand& k = p.k[b];
  for (int c = 0; c < C; ++c) {
    float s1 = p.s1[b * C + c], s2 = p.s2[b * C + c];
    for (std::ptrdiff_t f = 0; f < count; ++f) {
      const float x = in[f * C + c];
      out[f * C + c] = k.b0 * x + s1;
      const float next_s1 = (k.c1 * x + s2) - k.a1 * s1;
      s2 = k.c2 * x - k.a2 * s1;
      s1 = next_s1;
    }
    p.s1[b * C + c] = s1;
    p.s2[b * C + c] = s2;
  }
}

V4 Load(const float* p) {
  V4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store(float* p, V4 v) {
  std::memcpy(p, &v, sizeof v);
}

V4 Magnitude(V4 v) {
  const V4i bits = __builtin_bit_cast(V4i, v) & 0x7fffffff;
  return __builtin_bit_cast(V4, bits);
}

// The bands in vectors: vector i of P holds bands i, i + P, i + 2P, ... (one lane per band in
// mono, a pair of lanes in stereo). A band's input is then the same lane of the vector before,
// and only the first vector takes a shift by one band, of the last vector with the new frame
// entering at the bottom: one shuffle per step instead of one per vector.
template <int C>
V4 ShiftInBand(V4 fresh, V4 last) {
  if constexpr (C == 2) {
    return __builtin_shufflevector(fresh, last, 0, 1, 4, 5);
  } else {
    const V4 up = __builtin_shufflevector(last, last, 0, 0, 1, 2);
    return __builtin_shufflevector(up, fresh, 4, 1, 2, 3);
  }
}

// Steps first..last-1, where every band has work; P vectors of 4 / C bands each.
template <int C, int D, int P>
void VectorSteps(Pipeline& p, float* samples, std::ptrdiff_t first, std::ptrdiff_t last) {
  V4 y[D][P], s1[P], s2[P], b0[P], c1[P], c2[P], a1[P], a2[P];
  for (int i = 0; i < P; ++i) {
    for (int lane = 0; lane < kLanes; ++lane) {
      const int band = lane / C * P + i, from = band * C + lane % C;
      for (int d = 0; d < D; ++d) y[d][i][lane] = p.y[d][from];
      s1[i][lane] = p.s1[from];
      s2[i][lane] = p.s2[from];
      const ActiveBand& k = p.k[band];
      b0[i][lane] = k.b0;
      c1[i][lane] = k.c1;
      c2[i][lane] = k.c2;
      a1[i][lane] = k.a1;
      a2[i][lane] = k.a2;
    }
  }
  constexpr std::ptrdiff_t kLag = D * (P * (kLanes / C) - 1);
  for (std::ptrdiff_t n = first; n < last; ++n) {
    V4 fresh = {};
    for (int c = 0; c < C; ++c) fresh[c] = samples[n * C + c];
    V4 in[P];
    in[0] = ShiftInBand<C>(fresh, y[D - 1][P - 1]);
    for (int i = 1; i < P; ++i) in[i] = y[D - 1][i - 1];
    for (int d = D - 1; d > 0; --d) {
      for (int i = 0; i < P; ++i) y[d][i] = y[d - 1][i];
    }
    for (int i = 0; i < P; ++i) {
      y[0][i] = b0[i] * in[i] + s1[i];
      const V4 next_s1 = (c1[i] * in[i] + s2[i]) - a1[i] * s1[i];
      s2[i] = c2[i] * in[i] - a2[i] * s1[i];
      s1[i] = next_s1;
    }
    // The last band sits in the top lanes of the last vector.
    for (int c = 0; c < C; ++c) samples[(n - kLag) * C + c] = y[0][P - 1][kLanes - C + c];
  }
  for (int i = 0; i < P; ++i) {
    for (int lane = 0; lane < kLanes; ++lane) {
      const int to = (lane / C * P + i) * C + lane % C;
      for (int d = 0; d < D; ++d) p.y[d][to] = y[d][i][lane];
      p.s1[to] = s1[i][lane];
      p.s2[to] = s2[i][lane];
    }
  }
}

using VectorFn = void (*)(Pipeline&, float*, std::ptrdiff_t, std::ptrdiff_t);
constexpr int kMonoDelay = 2, kStereoDelay = 1;
constexpr VectorFn kStereoSteps[] = {nullptr,
                                     VectorSteps<2, kStereoDelay, 1>,
                                     VectorSteps<2, kStereoDelay, 2>,
                                     VectorSteps<2, kStereoDelay, 3>,
                                     VectorSteps<2, kStereoDelay, 4>,
                                     VectorSteps<2, kStereoDelay, 5>};
constexpr VectorFn kMonoSteps[] = {nullptr, VectorSteps<1, kMonoDelay, 1>,
                                   VectorSteps<1, kMonoDelay, 2>, VectorSteps<1, kMonoDelay, 3>};

template <int C>
void Cascade(Pipeline& p, float* samples, std::size_t frame_count) {
  constexpr int D = C == 1 ? kMonoDelay : kStereoDelay;
  const auto frames = static_cast<std::ptrdiff_t>(frame_count);
  const int bands = p.bands;
  const std::ptrdiff_t lag = D * (bands - 1);
  if (frames <= lag) {
    // Too short for the pipeline to fill: band after band over the whole block.
    for (int b = 0; b < bands; ++b) RunBand<C>(p, b, samples, samples, frames);
    return;
  }
  // Filling: band b takes frames 0..lag-1-D*b; its last D outputs are on their way to band b+1
  // when the vector steps start.
  float edge[2][kMaxEdge];
  for (int b = 0; b < bands - 1; ++b) {
    const std::ptrdiff_t count = lag - D * b;
    const float* in = b == 0 ? samples : edge[(b - 1) % 2];
    float* out = edge[b % 2];
    RunBand<C>(p, b, in, out, count);
    for (int d = 0; d < D; ++d) {
      for (int c = 0; c < C; ++c) p.y[d][b * C + c] = out[(count - 1 - d) * C + c];
    }
  }
  const int vectors = bands * C / kLanes;
  (C == 1 ? kMonoSteps : kStereoSteps)[vectors](p, samples, lag, frames);
  // Draining: band b still owes frames frames-D*b..frames-1; the first D of them take what the
  // band before it produced last, the rest what that band produced while draining.
  for (int b = 1; b < bands; ++b) {
    const std::ptrdiff_t count = D * b;
    const float* before = edge[(b - 1) % 2];
    float* in = edge[b % 2];
    // Band b - 1's drained frames, moved up behind its D outputs in flight.
    for (std::ptrdiff_t i = (count - D) * C - 1; i >= 0; --i) in[D * C + i] = before[i];
    for (int d = 0; d < D; ++d) {
      for (int c = 0; c < C; ++c) in[(D - 1 - d) * C + c] = p.y[d][(b - 1) * C + c];
    }
    float* out = b == bands - 1 ? samples + (frames - count) * C : in;
    RunBand<C>(p, b, in, out, count);
  }
}

// Whether a comparison held in every lane: one test instead of four branches.
bool All(V4i held) {
#if defined(__SSE__)
  return _mm_movemask_ps(__builtin_bit_cast(__m128, held)) == 0xf;
#else
  return held[0] && held[1] && held[2] && held[3];
#endif
}

// Whether every sample is within the limiter's level; a value that is no number is not.
bool WithinLimit(const float* samples, std::size_t count) {
  const V4 limit = {kLimitLevel, kLimitLevel, kLimitLevel, kLimitLevel};
  V4i within = {-1, -1, -1, -1};
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) within &= Magnitude(Load(samples + i)) <= limit;
  bool held = All(within);
  for (; i < count; ++i) held = held && std::abs(samples[i]) <= kLimitLevel;
  return held;
}

// Index of the first frame from `from` on whose peak is past the limit (or is no number at
// all), or frames when none is. Four frames are tested at once.
template <int C>
std::size_t FirstLoudFrame(const float* samples, std::size_t from, std::size_t frames) {
  const V4 limit = {kLimitLevel, kLimitLevel, kLimitLevel, kLimitLevel};
  std::size_t f = from;
  for (; f + kLanes <= frames; f += kLanes) {
    bool loud = false;
    for (int part = 0; part < C; ++part) {
      const V4 v = Load(samples + f * C + part * kLanes);
      // NaN compares false and so counts as loud, as it does frame by frame.
      loud |= !All((v <= limit) & (v >= -limit));
    }
    if (loud) break;
  }
  for (; f < frames; ++f) {
    for (int c = 0; c < C; ++c) {
      if (!(std::abs(samples[f * C + c]) <= kLimitLevel)) return f;
    }
  }
  return frames;
}

template <int C>
float LimitFrames(float* samples, std::size_t frames, float reduction, float keep) {
  // keep^1..keep^4: the reduction of the next four frames when no new peak comes.
  const V4 decay = {keep, keep * keep, keep * keep * keep, keep * keep * keep * keep};
  const V4 shift = {1.0f, decay[0], decay[1], decay[2]};
  const V4 one = {1.0f, 1.0f, 1.0f, 1.0f};
  const V4 limit = {kLimitLevel, kLimitLevel, kLimitLevel, kLimitLevel};
  for (std::size_t f = 0; f < frames;) {
    if (reduction == 0.0f) {
      // Nothing to let go of: frames below the limit pass unchanged, untouched.
      f = FirstLoudFrame<C>(samples, f, frames);
      if (f == frames) break;
    } else if (f + kLanes <= frames && reduction * decay[2] >= 1e-6f) {
      // Four frames' gains at once. Where any of them would meet a new peak, or the release
      // would end inside them, the frames go one by one instead.
      const V4 gain = one - reduction * shift;
      // A comparison with a value that is no number is false, so such a frame goes one by one.
      if constexpr (C == 1) {
        const V4 v = Load(samples + f);
        if (All(Magnitude(v) * gain <= limit)) {
          Store(samples + f, v * gain);
          reduction *= decay[3];
          f += kLanes;
          continue;
        }
      } else {
        // Frames f, f+1 and f+2, f+3, each gain for both channels.
        const V4 lo = Load(samples + 2 * f), hi = Load(samples + 2 * f + 4);
        const V4 lo_gain = __builtin_shufflevector(gain, gain, 0, 0, 1, 1);
        const V4 hi_gain = __builtin_shufflevector(gain, gain, 2, 2, 3, 3);
        if (All((Magnitude(lo) * lo_gain <= limit) & (Magnitude(hi) * hi_gain <= limit))) {
          Store(samples + 2 * f, lo * lo_gain);
          Store(samples + 2 * f + 4, hi * hi_gain);
          reduction *= decay[3];
          f += kLanes;
          continue;
        }
      }
    }
    // Frame by frame, through the four frames a group would have taken, so that a new peak
    // costs one failed group only: the peak that the filters pushed past the limit (or a value
    // that is no number at all, which only a broken state could give) sets the gain at once;
    // the rest is release.
    const std::size_t end = std::min(frames, f + kLanes);
    for (; f < end; ++f) {
      float* frame = samples + f * C;
      float peak = std::abs(frame[0]);
      if (C == 2) peak = std::max(peak, std::abs(frame[1]));
      float gain = 1.0f - reduction;
      if (!(peak * gain <= kLimitLevel)) {
        gain = std::isfinite(peak) ? kLimitLevel / peak : 0.0f;
        reduction = 1.0f - gain;
      }
      for (int c = 0; c < C; ++c) frame[c] *= gain;
      reduction = reduction < 1e-6f ? 0.0f : reduction * keep;
    }
  }
  return reduction;
}

}  // namespace

Equalizer::Equalizer() {
  for (auto& t : target_tenths_) t.store(0, std::memory_order_relaxed);
  Prepare(44100, 2);
}

void Equalizer::SetGains(const int32_t* tenths_db) {
  for (int i = 0; i < kBands; ++i) target_tenths_[i].store(tenths_db[i], std::memory_order_relaxed);
  target_version_.fetch_add(1, std::memory_order_release);
}

void Equalizer::TakeNewTargets() {
  uint32_t version = target_version_.load(std::memory_order_acquire);
  if (version == seen_version_) return;
  seen_version_ = version;
  for (int i = 0; i < kBands; ++i) {
    float db = static_cast<float>(target_tenths_[i].load(std::memory_order_relaxed)) / 10.0f;
    target_db_[i] = std::clamp(db, -kMaxBandDb, kMaxBandDb);
  }
}

void Equalizer::SetCoefficients(Band& band) {
  double a = std::pow(10.0, band.gain_db / 40.0);
  double a0 = 1.0 + band.alpha / a;
  band.b0 = static_cast<float>((1.0 + band.alpha * a) / a0);
  band.b1 = static_cast<float>(-2.0 * band.cos_w0 / a0);
  band.b2 = static_cast<float>((1.0 - band.alpha * a) / a0);
  band.a1 = band.b1;
  band.a2 = static_cast<float>((1.0 - band.alpha / a) / a0);
}

void Equalizer::Prepare(int sample_rate, int channels) {
  rate_ = sample_rate > 0 ? sample_rate : 44100;
  channels_ = channels == 1 ? 1 : 2;
  seen_version_ = ~0u;
  TakeNewTargets();
  for (int i = 0; i < kBands; ++i) {
    Band& band = bands_[i];
    band = Band{};
    band.in_range = kBandHz[i] < 0.45 * rate_;
    double w0 = 2.0 * M_PI * kBandHz[i] / rate_;
    band.cos_w0 = std::cos(w0);
    band.alpha = std::sin(w0) / (2.0 * kQ);
    band.gain_db = band.in_range ? target_db_[i] : 0.0f;
    SetCoefficients(band);
  }
  limiter_reduction_ = 0.0f;
  limiter_keep_ = static_cast<float>(std::exp(-1.0 / (kReleaseSeconds * rate_)));
}

void Equalizer::Glide(std::size_t frames) {
  for (int i = 0; i < kBands; ++i) {
    Band& band = bands_[i];
    if (!band.in_range) continue;
    float target = target_db_[i];
    if (band.gain_db != target) {
      float step = target - band.gain_db;
      band.gain_db = std::abs(step) <= kGlideStepDb
                         ? target
                         : band.gain_db + std::copysign(kGlideStepDb, step);
      SetCoefficients(band);
      // After the last step onto 0 dB the band is a pass-through, but its state still holds the
      // echo of the earlier gain; it keeps running for a quarter second so that fades out.
      band.tail = rate_ / 4;
    } else if (band.gain_db == 0.0f && band.tail > 0) {
      band.tail -= static_cast<int>(frames);
      if (band.tail <= 0) {
        band.tail = 0;
        band.s1[0] = band.s1[1] = band.s2[0] = band.s2[1] = 0.0f;
      }
    }
  }
}

bool Equalizer::RunFilters(float* samples, std::size_t frames) {
  const int channels = channels_;
  Pipeline p;
  int index[kBands];
  int n = 0;
  for (int i = 0; i < kBands; ++i) {
    const Band& band = bands_[i];
    if (!band.in_range || (band.gain_db == 0.0f && band.tail == 0)) continue;
    // Products of two floats are exact in double: c1 and c2 are rounded once, so the cascade
    // is the same filter as one that runs on the five coefficients.
    const double b0 = band.b0;
    p.k[n] = {band.b0, static_cast<float>(band.b1 - band.a1 * b0),
              static_cast<float>(band.b2 - band.a2 * b0), band.a1, band.a2};
    for (int c = 0; c < channels; ++c) {
      p.s1[n * channels + c] = band.s1[c];
      p.s2[n * channels + c] = band.s2[c];
      for (auto& in_flight : p.y) in_flight[n * channels + c] = 0.0f;
    }
    index[n++] = i;
  }
  if (n == 0) return false;
  // Pass-through partners fill the last vector.
  const int per_vector = kLanes / channels;
  p.bands = (n + per_vector - 1) / per_vector * per_vector;
  for (int b = n; b < p.bands; ++b) {
    p.k[b] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    for (int c = 0; c < channels; ++c) {
      p.s1[b * channels + c] = p.s2[b * channels + c] = 0.0f;
      for (auto& in_flight : p.y) in_flight[b * channels + c] = 0.0f;
    }
  }
  if (channels == 1) {
    Cascade<1>(p, samples, frames);
  } else {
    Cascade<2>(p, samples, frames);
  }
  bool finite = true;
  for (int lane = 0; lane < n * channels; ++lane) {
    finite = finite && std::isfinite(p.s1[lane]) && std::isfinite(p.s2[lane]);
  }
  for (int j = 0; j < n; ++j) {
    Band& band = bands_[index[j]];
    for (int c = 0; c < channels; ++c) {
      // A state that left float's range would keep the sound dead; it starts again from silence.
      band.s1[c] = finite ? p.s1[j * channels + c] : 0.0f;
      band.s2[c] = finite ? p.s2[j * channels + c] : 0.0f;
    }
  }
  return WithinLimit(samples, frames * channels);
}

void Equalizer::Limit(float* samples, std::size_t frames) {
  // The reduction (1 - gain) decays by a factor per frame, so the limiter lets go completely
  // instead of creeping towards a gain of 1 and stalling a rounding step below it.
  limiter_reduction_ = channels_ == 1
                           ? LimitFrames<1>(samples, frames, limiter_reduction_, limiter_keep_)
                           : LimitFrames<2>(samples, frames, limiter_reduction_, limiter_keep_);
}

void Equalizer::Process(float* samples, std::size_t frames) {
  FlushDenormals flush;
  TakeNewTargets();
  for (std::size_t done = 0; done < frames;) {
    bool gliding = false;
    for (int i = 0; i < kBands; ++i)
      gliding |= bands_[i].in_range && bands_[i].gain_db != target_db_[i];
    // While a gain glides the coefficients change every few frames; otherwise the filters take
    // the whole buffer at once.
    std::size_t n = gliding ? std::min(kGlideFrames, frames - done) : frames - done;
    float* block = samples + done * channels_;
    Glide(n);
    bool filtering = false;
    for (const Band& band : bands_) filtering |= band.in_range && (band.gain_db != 0 || band.tail);
    // A filtered block whose every sample is within the limiter's level, while the limiter has
    // nothing to let go of, is already final: neither the limiter nor the clamp would change it.
    bool held = false;
    if (filtering) held = RunFilters(block, n);
    if (limiter_reduction_ > 0.0f || (filtering && !held)) {
      Limit(block, n);
      held = false;
    }
    if (!held) {
      const std::size_t count = n * channels_;
      for (std::size_t i = 0; i < count; ++i) block[i] = std::min(1.0f, std::max(-1.0f, block[i]));
    }
    done += n;
  }
}

}  // namespace veldan
