// The ten-band equalizer and the output limiter that every decoded sample passes through.
//
// Ten peaking filters (RBJ cookbook biquads, one octave wide) at 60, 170, 310, 600 Hz, 1, 3, 6,
// 12, 14 and 16 kHz, gain = setting / 10 dB, computed in float on interleaved frames of one or
// two channels. A band at or above 0.45 x the sample rate is left out; a flat band costs nothing
// and a flat setting passes the sound through unchanged. Gain changes glide to their new value
// within about 70 ms, so moving a slider does not click. After the filters a peak limiter keeps
// the sound inside full scale, and every sample is finally held within [-1, 1]: loud settings
// are squeezed, never wrapped.
//
// Threads: SetGains may be called from any thread at any time; it is lock-free and the next
// Process call picks the new gains up. Prepare and Process belong to one thread (the sound
// callback, or a benchmark's loop); Prepare only while no Process call runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace veldan {

class Equalizer {
 public:
  static constexpr int kBands = 10;
  static constexpr float kBandHz[kBands] = {60,   170,  310,   600,   1000,
                                            3000, 6000, 12000, 14000, 16000};

  Equalizer();
  Equalizer(const Equalizer&) = delete;
  Equalizer& operator=(const Equalizer&) = delete;

  // Ten gains in tenths of a decibel, band order as kBandHz; taken as given (see the .cpp for
  // the one limit the filters need).
  void SetGains(const int32_t* tenths_db);

  // Sets the format, clears the filter state and lets the gains start at their targets (no glide
  // into the first sound of a new format).
  void Prepare(int sample_rate, int channels);

  // Filters count interleaved frames in place.
  void Process(float* samples, std::size_t frames);

 private:
  struct Band {
    bool in_range = false;  // below 0.45 x the sample rate
    double cos_w0 = 0;      // fixed for the band at this rate
    double alpha = 0;
    float gain_db = 0;  // what the filter applies now; glides towards the target
    int tail = 0;       // frames the band still runs after reaching 0 dB, so its echo fades
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    float s1[2] = {0, 0}, s2[2] = {0, 0};  // filter state per channel
  };

  void TakeNewTargets();
  void Glide(std::size_t frames);
  void SetCoefficients(Band& band);
  // Returns true when every filtered sample is within the limiter's level (false when no band
  // runs).
  bool RunFilters(float* samples, std::size_t frames);
  void Limit(float* samples, std::size_t frames);

  // Written by SetGains on any thread, read by Process.
  std::atomic<int32_t> target_tenths_[kBands];
  std::atomic<uint32_t> target_version_{0};

  // Owned by the processing thread.
  uint32_t seen_version_ = ~0u;
  float target_db_[kBands] = {};
  Band bands_[kBands];
  int rate_ = 44100;
  int channels_ = 2;
  float limiter_reduction_ = 0.0f;  // 1 - the limiter's gain
  float limiter_keep_ = 1.0f;       // the reduction's decay per frame
};

}  // namespace veldan
