// The sound device: one SDL audio device, open in one format (rate, channels) at a time.
//
// The device is opened when sound is first wanted, not before, stays open from track to track
// while the format stays the same and is reopened only when it changes, because closing a device
// waits for several buffer periods; its owner closes it after a while without play, so the sound
// server can let the sink sleep. The desktop sees the stream as application "VELDAN", role music,
// named after the track that opened it. When the
// configured driver has no device to offer (no sound card), SDL's dummy driver takes over, so
// play still advances in real time.
//
// Owned by the decode thread: construction, destruction and every method run there. SDL is
// loaded there too, when the sound system starts; without it no device ever opens. SDL calls
// the source on its own audio thread, with float samples in the format asked for.
#pragma once

#include <cstdint>
#include <string>

namespace veldan {

struct SdlLibrary;

class SoundOutput {
 public:
  // Fills frames interleaved frames of channels floats at samples; runs on SDL's audio thread
  // and must not block.
  using Source = void (*)(void* context, float* samples, int frames, int channels);

  // Gives the SDL functions, or null when there is no SDL; called when the system starts.
  using Loader = const SdlLibrary* (*)();

  // With the system's SDL (SystemSdl).
  SoundOutput(Source source, void* context);
  SoundOutput(Source source, void* context, Loader load);
  ~SoundOutput();
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  // Loads SDL and starts the sound system without opening a device, so that the first Use only
  // opens one.
  void StartSystem();
  // Makes the device open in this format; *reopened tells whether it had to be (re)opened, and
  // then it is stopped. name is the stream's name for the desktop, used when a device is opened.
  // False when no device could be opened at all.
  bool Use(int rate, int channels, const std::string& name, bool* reopened);
  // Starts or stops the callbacks of an open device.
  void SetRunning(bool running);
  // Closes the device (blocks for a few buffer periods); the next Use opens it again.
  void Close();
  bool running() const { return running_; }
  bool is_open() const { return device_ != 0; }
  // The format the device was opened in.
  int rate() const { return rate_; }
  int channels() const { return channels_; }

 private:
  void StartAudio();
  bool StartDriver(bool dummy);
  bool OpenDevice(int rate, int channels, const std::string& name);
  void CloseDevice();
  static void Callback(void* self, uint8_t* stream, int bytes);

  Source source_;
  void* context_;
  Loader load_;
  const SdlLibrary* sdl_ = nullptr;  // null until loaded, or when there is none
  bool audio_started_ = false;
  bool on_dummy_ = false;
  uint32_t device_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  bool running_ = false;
};

}  // namespace veldan
