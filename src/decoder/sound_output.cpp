#include "decoder/sound_output.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "decoder/sdl_library.h"

namespace veldan {
namespace {

// The device's period, the smallest power of two of frames that lasts 20 ms (1024 frames, 23 ms,
// at 44.1 kHz; 21-32 ms at every rate): a play, seek, pause or equalizer change is heard within
// one period, and the device thread wakes 31-47 times a second while it plays. Twice that (the
// old choice) left more slack for a busy desktop starving the sound server between callbacks,
// but made a listener wait up to 46 ms, noticeably late, for a seek; 20-25 ms is also the slice
// the desktop's sound servers work in by default, so the shorter period asks nothing of them
// that they do not do anyway.
Uint16 BufferFrames(int rate) {
  Uint16 frames = 256;
  while (frames < 8192 && frames * 50 < rate) frames = static_cast<Uint16>(frames * 2);
  return frames;
}

// A running device whose callback has not been called for this long has stopped playing, also
// when SDL has not noticed (its PipeWire driver does not notice the server going away): some
// forty periods, well beyond what a busy machine delays a callback by (a false alarm costs a
// needless reopen, and a slow sink closes slowly).
constexpr int64_t kStalledNs = 1'000'000'000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SoundOutput::SoundOutput(Source source, void* context) : SoundOutput(source, context, SystemSdl) {}

SoundOutput::SoundOutput(Source source, void* context, Loader load)
    : source_(source), context_(context), load_(load) {}

SoundOutput::~SoundOutput() {
  if (sdl_ == nullptr) return;
  CloseDevice();
  if (audio_started_) sdl_->QuitSubSystem(SDL_INIT_AUDIO);
  // SDL keeps hint and driver bookkeeping until SDL_Quit; when nothing else in the process
  // uses SDL, it is released with the sound.
  if (sdl_->WasInit(SDL_INIT_EVERYTHING) == 0) sdl_->Quit();
}

void SoundOutput::StartAudio() {
  if (sdl_ == nullptr) sdl_ = load_();
  if (sdl_ == nullptr) return;  // no SDL: no device ever opens
  if (!audio_started_ && !StartDriver(false) && !had_device_) StartDriver(true);
}

void SoundOutput::StartSystem() {
  StartAudio();
}

void SoundOutput::StopDriver() {
  if (audio_started_) sdl_->QuitSubSystem(SDL_INIT_AUDIO);
  audio_started_ = false;
  on_dummy_ = false;
}

bool SoundOutput::StartDriver(bool dummy) {
  StopDriver();
  // The hint outranks SDL_AUDIODRIVER only for this one start; afterwards the environment
  // decides again (a later start in the same process may have a device).
  if (dummy) sdl_->SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  audio_started_ = sdl_->InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (dummy) sdl_->ResetHint(SDL_HINT_AUDIODRIVER);
  on_dummy_ = dummy;
  return audio_started_;
}

bool SoundOutput::OpenDevice(int rate, int channels, const std::string& name) {
  // What the desktop's sound settings show for the stream; read by SDL when the device opens.
  sdl_->SetHint(SDL_HINT_APP_NAME, "VELDAN");
  sdl_->SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "VELDAN");
  sdl_->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, name.empty() ? "VELDAN" : name.c_str());
  sdl_->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
  SDL_AudioSpec want;
  std::memset(&want, 0, sizeof want);
  want.freq = rate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels);
  want.samples = BufferFrames(rate);
  want.callback = Callback;
  want.userdata = this;
  SDL_AudioSpec have;
  // No changes allowed: SDL converts to whatever the hardware takes, so the callback always
  // sees exactly the decoder's format.
  rate_ = rate;
  channels_ = channels;
  device_ = sdl_->OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) return false;
  callback_device_.store(device_, std::memory_order_release);  // before the device runs
  ++sessions_;
  if (!on_dummy_) had_device_ = true;
  return true;
}

void SoundOutput::CloseDevice() {
  if (device_ != 0) sdl_->CloseAudioDevice(device_);
  device_ = 0;
  callback_device_.store(0, std::memory_order_release);
  running_ = false;
}

void SoundOutput::Close() {
  CloseDevice();
}

bool SoundOutput::Use(int rate, int channels, const std::string& name, bool* reopened) {
  *reopened = false;
  if (device_ != 0 && rate == rate_ && channels == channels_) return true;
  *reopened = true;
  CloseDevice();
  // A dummy that stands in for the configured driver is given up at every reopen: the sound
  // server may have come since.
  if (on_dummy_) StopDriver();
  // With no sound card the audio subsystem usually starts fine and only the open fails, so
  // both failures lead to the dummy driver, unless the configured driver has had a device:
  // then it is only away for a while, and a new try starts it afresh.
  StartAudio();
  if (audio_started_ && OpenDevice(rate, channels, name)) return true;
  if (sdl_ == nullptr || on_dummy_) return false;
  StopDriver();
  if (had_device_ || !StartDriver(true)) return false;
  return OpenDevice(rate, channels, name);
}

bool SoundOutput::CheckLost() {
  if (device_ == 0) return false;
  bool lost = sdl_->GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
  if (!lost && running_) {
    const int64_t heard =
        std::max(last_callback_ns_.load(std::memory_order_relaxed), running_since_ns_);
    lost = NowNs() - heard > kStalledNs;
  }
  if (!lost) return false;
  CloseDevice();
  StopDriver();
  return true;
}

void SoundOutput::SetRunning(bool running) {
  if (device_ == 0 || running == running_) return;
  sdl_->PauseAudioDevice(device_, running ? 0 : 1);
  running_ = running;
  if (running) running_since_ns_ = NowNs();
}

void SoundOutput::Callback(void* self, uint8_t* stream, int bytes) {
  auto* out = static_cast<SoundOutput*>(self);
  // SDL goes on calling a device that went away, at its pace, and drops what it is given; the
  // source is not asked for sound then, so that the sound not heard is still there for the
  // next device.
  const uint32_t device = out->callback_device_.load(std::memory_order_acquire);
  if (device == 0 || out->sdl_->GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED) {
    std::memset(stream, 0, static_cast<std::size_t>(bytes));
    return;
  }
  out->last_callback_ns_.store(NowNs(), std::memory_order_relaxed);
  int frame_bytes = out->channels_ * static_cast<int>(sizeof(float));
  out->source_(out->context_, reinterpret_cast<float*>(stream), bytes / frame_bytes,
               out->channels_);
}

}  // namespace veldan
