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

struct ActiveBand {
  float b0, b1, b2, a1, a2;
};

// Mono: frame by frame through all active bands. The bands of one frame depend on each other,
// but a band's next frame depends only on its own state, so the processor overlaps consecutive
// frames; N is a template parameter so the band loop unrolls and the state stays in registers.
template <int N>
void MonoCascade(const ActiveBand* bands, float (*s1)[2], float (*s2)[2], float* samples,
                 std::size_t frames) {
  float z1[N], z2[N];
  ActiveBand k[N];
  for (int b = 0; b < N; ++b) {
    k[b] = bands[b];
    z1[b] = s1[b][0];
    z2[b] = s2[b][0];
  }
  for (std::size_t f = 0; f < frames; ++f) {
    float x = samples[f];
    for (int b = 0; b < N; ++b) {
      float y = k[b].b0 * x + z1[b];
      z1[b] = k[b].b1 * x - k[b].a1 * y + z2[b];
      z2[b] = k[b].b2 * x - k[b].a2 * y;
      x = y;
    }
    samples[f] = x;
  }
  for (int b = 0; b < N; ++b) {
    s1[b][0] = z1[b];
    s2[b][0] = z2[b];
  }
}

using MonoFn = void (*)(const ActiveBand*, float (*)[2], float (*)[2], float*, std::size_t);
constexpr MonoFn kMonoCascades[] = {nullptr,        MonoCascade<1>, MonoCascade<2>, MonoCascade<3>,
                                    MonoCascade<4>, MonoCascade<5>, MonoCascade<6>, MonoCascade<7>,
                                    MonoCascade<8>, MonoCascade<9>, MonoCascade<10>};

// Stereo: the cascade as a pipeline. At step n band k works on frame n - k, so all bands of a
// step are independent and two bands (both channels each) share one four-lane vector; a band's
// input is what the band before it produced one step earlier. The first and last steps of a
// block, where the pipeline fills and drains, run band by band in scalar code on the same
// state. The result is exactly the plain cascade, without delay.
typedef float V4 __attribute__((vector_size(16)));

struct alignas(16) Pipeline {
  float y[Equalizer::kBands][2];  // each band's last output: the next band's next input
  float s1[Equalizer::kBands][2];
  float s2[Equalizer::kBands][2];
  ActiveBand k[Equalizer::kBands];
  int bands;  // even: an odd count gets a pass-through band
};

// One step of the pipeline for the bands that have work at step n of a block of `frames`.
void ScalarStep(Pipeline& p, float* samples, std::ptrdiff_t n, std::ptrdiff_t frames) {
  for (int b = p.bands - 1; b >= 0; --b) {
    std::ptrdiff_t f = n - b;
    if (f < 0 || f >= frames) continue;
    const ActiveBand& k = p.k[b];
    for (int c = 0; c < 2; ++c) {
      float x = b == 0 ? samples[f * 2 + c] : p.y[b - 1][c];
      float y = k.b0 * x + p.s1[b][c];
      p.s1[b][c] = k.b1 * x - k.a1 * y + p.s2[b][c];
      p.s2[b][c] = k.b2 * x - k.a2 * y;
      p.y[b][c] = y;
    }
    if (b == p.bands - 1) {
      samples[f * 2] = p.y[b][0];
      samples[f * 2 + 1] = p.y[b][1];
    }
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

V4 Splat2(float a, float b) {
  return V4{a, a, b, b};
}

// Steps first..last-1, where every band has work; P = bands / 2 vectors.
template <int P>
void VectorSteps(Pipeline& p, float* samples, std::ptrdiff_t first, std::ptrdiff_t last) {
  V4 y[P], s1[P], s2[P], b0[P], b1[P], b2[P], a1[P], a2[P];
  for (int i = 0; i < P; ++i) {
    y[i] = Load(p.y[2 * i]);
    s1[i] = Load(p.s1[2 * i]);
    s2[i] = Load(p.s2[2 * i]);
    const ActiveBand& lo = p.k[2 * i];
    const ActiveBand& hi = p.k[2 * i + 1];
    b0[i] = Splat2(lo.b0, hi.b0);
    b1[i] = Splat2(lo.b1, hi.b1);
    b2[i] = Splat2(lo.b2, hi.b2);
    a1[i] = Splat2(lo.a1, hi.a1);
    a2[i] = Splat2(lo.a2, hi.a2);
  }
  constexpr std::ptrdiff_t kLag = 2 * P - 1;
  for (std::ptrdiff_t n = first; n < last; ++n) {
    V4 fresh = {samples[n * 2], samples[n * 2 + 1], 0.0f, 0.0f};
    V4 in[P];
    in[0] = __builtin_shufflevector(fresh, y[0], 0, 1, 4, 5);
    for (int i = 1; i < P; ++i) in[i] = __builtin_shufflevector(y[i - 1], y[i], 2, 3, 4, 5);
    for (int i = 0; i < P; ++i) {
      y[i] = b0[i] * in[i] + s1[i];
      s1[i] = b1[i] * in[i] - a1[i] * y[i] + s2[i];
      s2[i] = b2[i] * in[i] - a2[i] * y[i];
    }
    samples[(n - kLag) * 2] = y[P - 1][2];
    samples[(n - kLag) * 2 + 1] = y[P - 1][3];
  }
  for (int i = 0; i < P; ++i) {
    Store(p.y[2 * i], y[i]);
    Store(p.s1[2 * i], s1[i]);
    Store(p.s2[2 * i], s2[i]);
  }
}

using VectorFn = void (*)(Pipeline&, float*, std::ptrdiff_t, std::ptrdiff_t);
constexpr VectorFn kVectorSteps[] = {nullptr,        VectorSteps<1>, VectorSteps<2>,
                                     VectorSteps<3>, VectorSteps<4>, VectorSteps<5>};

void StereoCascade(Pipeline& p, float* samples, std::size_t frame_count) {
  const auto frames = static_cast<std::ptrdiff_t>(frame_count);
  const std::ptrdiff_t lag = p.bands - 1;
  const std::ptrdiff_t steps = frames + lag;
  // Steps lag..frames-1 have work for every band.
  std::ptrdiff_t full_from = lag, full_to = std::max(lag, frames);
  for (std::ptrdiff_t n = 0; n < full_from && n < steps; ++n) ScalarStep(p, samples, n, frames);
  if (full_to > full_from) kVectorSteps[p.bands / 2](p, samples, full_from, full_to);
  for (std::ptrdiff_t n = full_to; n < steps; ++n) ScalarStep(p, samples, n, frames);
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

void Equalizer::RunFilters(float* samples, std::size_t frames) {
  Pipeline p;
  int index[kBands];
  int n = 0;
  for (int i = 0; i < kBands; ++i) {
    const Band& band = bands_[i];
    if (!band.in_range || (band.gain_db == 0.0f && band.tail == 0)) continue;
    p.k[n] = {band.b0, band.b1, band.b2, band.a1, band.a2};
    for (int c = 0; c < 2; ++c) {
      p.s1[n][c] = band.s1[c];
      p.s2[n][c] = band.s2[c];
      p.y[n][c] = 0.0f;
    }
    index[n++] = i;
  }
  if (n == 0) return;
  if (channels_ == 1) {
    kMonoCascades[n](p.k, p.s1, p.s2, samples, frames);
  } else {
    p.bands = n;
    if (n % 2 == 1) {  // a pass-through band fills the last pair
      p.k[n] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
      p.s1[n][0] = p.s1[n][1] = p.s2[n][0] = p.s2[n][1] = p.y[n][0] = p.y[n][1] = 0.0f;
      p.bands = n + 1;
    }
    StereoCascade(p, samples, frames);
  }
  bool finite = true;
  for (int j = 0; j < n; ++j) {
    for (int c = 0; c < 2; ++c)
      finite = finite && std::isfinite(p.s1[j][c]) && std::isfinite(p.s2[j][c]);
  }
  for (int j = 0; j < n; ++j) {
    Band& band = bands_[index[j]];
    for (int c = 0; c < 2; ++c) {
      // A state that left float's range would keep the sound dead; it starts again from silence.
      band.s1[c] = finite ? p.s1[j][c] : 0.0f;
      band.s2[c] = finite ? p.s2[j][c] : 0.0f;
    }
  }
}

void Equalizer::Limit(float* samples, std::size_t frames) {
  // The reduction (1 - gain) decays by a factor per frame, so the limiter lets go completely
  // instead of creeping towards a gain of 1 and stalling a rounding step below it.
  float reduction = limiter_reduction_;
  for (std::size_t f = 0; f < frames; ++f) {
    float* frame = samples + f * channels_;
    float peak = std::abs(frame[0]);
    if (channels_ == 2) peak = std::max(peak, std::abs(frame[1]));
    float gain = 1.0f - reduction;
    if (!(peak * gain <= kLimitLevel)) {
      // A peak that the filters pushed past the limit (or a value that is no number at all,
      // which only a broken state could give) sets the gain at once; the rest is release.
      gain = std::isfinite(peak) ? kLimitLevel / peak : 0.0f;
      reduction = 1.0f - gain;
    }
    for (int c = 0; c < channels_; ++c) frame[c] *= gain;
    reduction = reduction < 1e-6f ? 0.0f : reduction * limiter_keep_;
  }
  limiter_reduction_ = reduction;
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
    if (filtering) RunFilters(block, n);
    if (filtering || limiter_reduction_ > 0.0f) Limit(block, n);
    done += n;
  }
  std::size_t count = frames * channels_;
  for (std::size_t i = 0; i < count; ++i) samples[i] = std::min(1.0f, std::max(-1.0f, samples[i]));
}

}  // namespace veldan
