// The sound device: one SDL audio device, open in one format (rate, channels) at a time.
//
// The device is opened when sound is first wanted, not before, stays open from track to track
// while the format stays the same and is reopened only when it changes, because closing a device
// waits for several buffer periods; its owner closes it after a while without play, so the sound
// server can let the sink sleep. The desktop sees the stream as application "VELDAN", role music,
// named after the track that opened it.
//
// When the configured driver has no device to offer the first time one is wanted (no sound card,
// or no sound server yet), SDL's dummy driver takes over, so play still advances in real time;
// that fallback gives way to the configured driver again at every reopen. Once a device of the
// configured driver has played, a device that goes away (the sound server restarted or gone, the
// sink removed) is not replaced by the dummy: the owner finds out through CheckLost and keeps
// asking Use again until the server is back. Every new attempt restarts SDL's audio subsystem,
// because a driver's connection to a server that went away stays dead.
//
// Owned by the decode thread: construction, destruction and every method run there. SDL is
// loaded there too, when the sound system starts; without it no device ever opens. SDL calls
// the source on its own audio thread, with float samples in the format asked for.
#pragma once

#include <atomic>
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
  // False when no device could be opened now; available() tells whether one ever can.
  bool Use(int rate, int channels, const std::string& name, bool* reopened);
  // Starts or stops the callbacks of an open device.
  void SetRunning(bool running);
  // Closes the device (blocks for a few buffer periods); the next Use opens it again.
  void Close();
  // True, with the device closed, when the open device has gone away: SDL reports it stopped,
  // or it runs but its callback has not been called for many periods.
  bool CheckLost();
  bool running() const { return running_; }
  bool is_open() const { return device_ != 0; }
  // False when there is no SDL, so that no device will ever open.
  bool available() const { return sdl_ != nullptr; }
  // The device plays into SDL's dummy driver because the configured driver had none.
  bool on_fallback() const { return device_ != 0 && on_dummy_; }
  // Devices opened so far.
  int sessions() const { return sessions_; }
  // The format the device was opened in.
  int rate() const { return rate_; }
  int channels() const { return channels_; }

 private:
  void StartAudio();
  bool StartDriver(bool dummy);
  void StopDriver();
  bool OpenDevice(int rate, int channels, const std::string& name);
  void CloseDevice();
  static void Callback(void* self, uint8_t* stream, int bytes);

  Source source_;
  void* context_;
  Loader load_;
  const SdlLibrary* sdl_ = nullptr;  // null until loaded, or when there is none
  bool audio_started_ = false;
  // The dummy driver stands in for the configured one. (With SDL_AUDIODRIVER=dummy the dummy
  // is the configured driver: it never stands in, and nothing else is looked for.)
  bool on_dummy_ = false;
  bool had_device_ = false;  // a device of the configured driver has opened
  uint32_t device_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  bool running_ = false;
  int64_t running_since_ns_ = 0;
  int sessions_ = 0;
  std::atomic<int64_t> last_callback_ns_{0};  // written by SDL's audio thread
  std::atomic<uint32_t> callback_device_{0};  // device_, for SDL's audio thread
};

}  // namespace veldan
