// Helpers of the decoder tests: fixture paths, reference decodes and SDL disk-driver captures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veldan::test {

// $VELDAN_FIXTURES/name (the fixtures the build generates).
std::string FixturePath(const char* name);
// A host path as the program text vbmp3_open takes.
std::string ProgramPath(const std::string& host_path);

// All samples of a file as the library's own stream decodes them (interleaved floats).
std::vector<float> DecodeAll(const std::string& host_path, int* channels = nullptr,
                             int* rate = nullptr);

// Sound with every stretch of 16 or more fully silent frames removed: what is left of a capture
// once the device's silence (before play, while paused, during an underrun) is taken out.
std::vector<float> WithoutGaps(const std::vector<float>& samples, int channels);

// Level in dB relative to full scale (RMS of a full-scale sine = 0 dB) of one channel over a
// stretch of frames.
double LevelDb(const std::vector<float>& samples, int channels, int channel,
               std::size_t first_frame, std::size_t frames);

// Index of the first frame where a and b differ by more than tolerance, or the shorter length.
std::size_t FirstDifference(const float* a, const float* b, std::size_t samples, float tolerance);

// Points SDL at its disk driver, writing what the device plays into a temporary file; the
// driver is paced at about twenty times real time. Restores nothing: each test is a process.
class DiskCapture {
 public:
  DiskCapture();
  ~DiskCapture();
  DiskCapture(const DiskCapture&) = delete;
  DiskCapture& operator=(const DiskCapture&) = delete;
  // The float samples written so far (read after vbmp3_free, which flushes the file).
  std::vector<float> Samples() const;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::string file_;
};

// Polls vbmp3_getState until it returns state, at most timeout_ms; true when it did.
bool WaitForState(int state, int timeout_ms);
// Polls until the position reaches at least seconds while playing; true when it did.
bool WaitForPosition(int32_t seconds, int timeout_ms);

}  // namespace veldan::test
