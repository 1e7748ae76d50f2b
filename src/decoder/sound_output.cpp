#include "decoder/sound_output.h"

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

}  // namespace

SoundOutput::SoundOutput(Source source, void* context)
    : SoundOutput(source, context, SystemSdl) {}

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
  if (!audio_started_ && !StartDriver(false)) StartDriver(true);
}

void SoundOutput::StartSystem() {
  StartAudio();
}

bool SoundOutput::StartDriver(bool dummy) {
  if (audio_started_) sdl_->QuitSubSystem(SDL_INIT_AUDIO);
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
  return device_ != 0;
}

void SoundOutput::CloseDevice() {
  if (device_ != 0) sdl_->CloseAudioDevice(device_);
  device_ = 0;
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
  // With no sound card the audio subsystem usually starts fine and only the open fails, so
  // both failures lead to the dummy driver.
  StartAudio();
  if (!audio_started_) return false;
  if (OpenDevice(rate, channels, name)) return true;
  if (on_dummy_ || !StartDriver(true)) return false;
  return OpenDevice(rate, channels, name);
}

void SoundOutput::SetRunning(bool running) {
  if (device_ == 0 || running == running_) return;
  sdl_->PauseAudioDevice(device_, running ? 0 : 1);
  running_ = running;
}

void SoundOutput::Callback(void* self, uint8_t* stream, int bytes) {
  auto* out = static_cast<SoundOutput*>(self);
  int frame_bytes = out->channels_ * static_cast<int>(sizeof(float));
  out->source_(out->context_, reinterpret_cast<float*>(stream), bytes / frame_bytes,
               out->channels_);
}

}  // namespace veldan
