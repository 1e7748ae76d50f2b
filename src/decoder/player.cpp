// Design note: three threads meet here.
//
// - The user-interface thread calls the public methods. It alone owns the open track's handle
//   on our side (open_track_), the mode the program sees (mode_) and the epoch counter. Every
//   play, seek, stop and close starts a new epoch and posts a Request under request_lock_; it
//   never waits for the other threads.
// - The decode thread (DecodeLoop) takes the latest Request, owns the stream while it decodes
//   it, owns the sound device (SoundOutput: opening, reopening on a format change, starting and
//   stopping its callbacks) and fills the ring with chunks stamped with the request's epoch.
// - SDL's audio thread runs Fill: it takes chunks of the wanted epoch from the ring, drops
//   chunks of older epochs unplayed (that is how a seek or stop discards sound decoded before
//   it), runs the equalizer and reports what was heard through atomics. It takes no lock.
//
// Lock order: request_lock_ is the only lock and nothing is called while holding it. The decode
// thread sleeps on the semaphore wake_, posted by a new request and by the callback when the
// ring has room again or the end of a track has been heard.
//
// Stale results: the position the program sees is the callback's (epoch, frame) pair only when
// the epoch is the current one; until the first chunk of a new epoch is heard it is the epoch's
// start. The end of a track counts only when the end marker of the current epoch was heard.

#include "decoder/player.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>

#include "decoder/mp3_stream.h"
#include "decoder/sound_output.h"
#include "decoder/track_tags.h"
#include "platform/drives.h"
#include "platform/paths.h"

namespace veldan {
namespace {

constexpr int kPositionBits = 40;
constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;
constexpr uint32_t kEpochMask = (uint32_t{1} << (64 - kPositionBits)) - 1;

uint64_t PackHeard(uint32_t epoch, int64_t frame) {
  return (uint64_t{epoch & kEpochMask} << kPositionBits) |
         (static_cast<uint64_t>(frame) & kPositionMask);
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits for a post, at most half a second (a missed post then costs a short delay, not a hang).
void WaitForPost(sem_t* sem) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_nsec += 500'000'000;
  if (deadline.tv_nsec >= 1'000'000'000) {
    deadline.tv_nsec -= 1'000'000'000;
    deadline.tv_sec += 1;
  }
  while (sem_clockwait(sem, CLOCK_MONOTONIC, &deadline) != 0 && errno == EINTR) {
  }
  while (sem_trywait(sem) == 0) {
  }
}

}  // namespace

Player::Player() {
  sem_init(&wake_, 0, 0);
  decoder_ = std::thread([this] { DecodeLoop(); });
}

Player::~Player() {
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    quit_ = true;
  }
  sem_post(&wake_);
  decoder_.join();
  sem_destroy(&wake_);
}

void Player::SetEqualizer(const int32_t* tenths_db) {
  equalizer_.SetGains(tenths_db);
}

bool Player::Open(const char* program_path, vbmp3_info* info) {
  Close();
  if (program_path == nullptr || info == nullptr || strnlen(program_path, 512) >= 512) return false;
  std::string host_path;
  if (!ProgramPathToHost(program_path, &host_path)) return false;
  std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(host_path);
  if (!stream) return false;

  const TrackFacts& facts = stream->facts();
  std::memset(info, 0, sizeof *info);
  CopyProgramText(info->title, sizeof info->title, facts.title);
  CopyProgramText(info->artist, sizeof info->artist, facts.artist);
  info->channels = facts.channels;
  info->bitrate = facts.bitrate;
  info->sample_rate = facts.sample_rate;
  info->length = facts.length;

  rate_ = stream->rate();
  length_frames_ = stream->length_frames();
  open_track_ = std::move(stream);
  return true;
}

void Player::Close() {
  Stop();
  if (open_track_) {
    open_track_.reset();
    Post(false, 0);  // the decode thread lets go of the stream
  }
}

bool Player::Play() {
  if (!open_track_) return false;
  play_time_ns_.store(NowNs(), std::memory_order_relaxed);
  mode_ = VBMP3_PLAYING;
  paused_.store(false, std::memory_order_release);
  Post(true, 0);
  return true;
}

void Player::Stop() {
  NoteEnd();
  if (mode_ == VBMP3_STOPPED) return;
  mode_ = VBMP3_STOPPED;
  Post(false, 0);
  paused_.store(false, std::memory_order_release);
}

void Player::Pause() {
  NoteEnd();
  if (mode_ != VBMP3_PLAYING) return;
  mode_ = VBMP3_PAUSED;
  paused_.store(true, std::memory_order_release);
}

void Player::Restart() {
  NoteEnd();
  if (mode_ != VBMP3_PAUSED) return;
  mode_ = VBMP3_PLAYING;
  paused_.store(false, std::memory_order_release);
}

void Player::Seek(int32_t seconds) {
  NoteEnd();
  if (mode_ == VBMP3_STOPPED) return;
  int64_t frame = int64_t{std::max<int32_t>(seconds, 0)} * rate_;
  // A seek past the end would be taken; the end is as far as it goes.
  if (length_frames_ >= 0) frame = std::min(frame, length_frames_);
  Post(true, frame);
}

int Player::State(int32_t* position) {
  NoteEnd();
  int64_t frame = 0;
  if (mode_ != VBMP3_STOPPED) {
    uint64_t heard = heard_.load(std::memory_order_acquire);
    frame = (heard >> kPositionBits) == (epoch_ & kEpochMask)
                ? static_cast<int64_t>(heard & kPositionMask)
                : start_frame_;
  }
  if (position != nullptr) {
    int64_t seconds = rate_ > 0 ? frame / rate_ : 0;
    *position =
        static_cast<int32_t>(std::min<int64_t>(seconds, std::numeric_limits<int32_t>::max()));
  }
  return mode_;
}

double Player::FirstSoundDelayMs() const {
  int64_t played = play_time_ns_.load(std::memory_order_relaxed);
  int64_t sounded = first_sound_ns_.load(std::memory_order_relaxed);
  return sounded >= played && played != 0 ? (sounded - played) / 1e6 : -1.0;
}

void Player::NoteEnd() {
  if (mode_ != VBMP3_STOPPED && ended_epoch_.load(std::memory_order_acquire) == epoch_) {
    mode_ = VBMP3_STOPPED;
  }
}

void Player::Post(bool run, int64_t start_frame) {
  ++epoch_;
  start_frame_ = start_frame;
  wanted_epoch_.store(epoch_, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    request_ = Request{open_track_, epoch_, start_frame, run};
    request_new_ = true;
  }
  sem_post(&wake_);
}

void Player::DecodeLoop() {
  SoundOutput output(FillSound, this);
  // The device is opened ahead, in the format most tracks have, so the first play waits neither
  // for the sound system nor for finding out that it has no device.
  bool opened = false;
  if (output.Use(44100, 2, &opened)) equalizer_.Prepare(44100, 2);
  std::shared_ptr<Mp3Stream> track;
  uint32_t epoch = 0;
  bool decoding = false;     // chunks of sound still to come
  bool ending = false;       // the end marker still to be pushed
  bool need_device = false;  // the device is not yet known to suit the track and to run
  int64_t position = 0;

  // Opens (or keeps) the device for the track and lets it run. Called once the first chunk is
  // in the ring, so the device's first callback already finds sound.
  auto start_device = [&] {
    need_device = false;
    bool reopened = false;
    if (!output.Use(track->rate(), track->channels(), &reopened)) {
      decoding = ending = false;  // no sound at all: the track ends at once
      ended_epoch_.store(epoch, std::memory_order_release);
      return;
    }
    if (reopened) equalizer_.Prepare(track->rate(), track->channels());
    output.SetRunning(true);
  };

  for (;;) {
    Request request;
    bool fresh = false;
    {
      std::lock_guard<std::mutex> lock(request_lock_);
      if (quit_) break;
      if (request_new_) {
        request = request_;
        request_new_ = false;
        fresh = true;
      }
    }
    if (fresh) {
      track = std::move(request.track);  // an older stream is closed here, on this thread
      if (request.epoch != epoch) {
        epoch = request.epoch;
        bool run = request.run && track;
        decoding = run;
        ending = false;
        need_device = run;
        if (run) {
          position = track->SeekFrame(request.start_frame);
          if (position < 0) {
            decoding = false;
            ending = true;
          }
        } else {
          output.SetRunning(false);
        }
      }
    }

    while (decoding || ending) {
      {
        std::lock_guard<std::mutex> lock(request_lock_);
        if (request_new_ || quit_) break;
      }
      SoundChunk* chunk = ring_.Back();
      if (chunk == nullptr) {
        // Only the callback makes room, also when the ring is full of stale chunks.
        if (need_device) start_device();
        break;
      }
      chunk->epoch = epoch;
      chunk->taken = 0;
      chunk->first_frame = position;
      if (decoding) {
        std::size_t frames = track->Read(chunk->samples, SoundChunk::kFrames);
        if (frames == 0) {
          decoding = false;
          ending = true;
          continue;
        }
        chunk->end = false;
        chunk->frames = static_cast<uint32_t>(frames);
        position += static_cast<int64_t>(frames);
      } else {
        chunk->end = true;
        chunk->frames = 0;
        ending = false;
      }
      ring_.Push();
      if (need_device) start_device();
    }
    // Once the end has been heard the device rests until the next play.
    if (!decoding && !ending && !need_device && output.running() &&
        ended_epoch_.load(std::memory_order_acquire) == epoch) {
      output.SetRunning(false);
    }

    bool more = false;
    {
      std::lock_guard<std::mutex> lock(request_lock_);
      more = request_new_ || quit_;
    }
    if (!more) WaitForPost(&wake_);
  }
  track.reset();
}

void Player::FillSound(void* self, float* samples, int frames, int channels) {
  static_cast<Player*>(self)->Fill(samples, frames, channels);
}

void Player::Fill(float* samples, int frames, int channels) {
  const uint32_t wanted = wanted_epoch_.load(std::memory_order_acquire);
  const bool paused = paused_.load(std::memory_order_acquire);
  int done = 0;
  bool freed = false;
  bool ended = false;
  bool heard = false;
  int64_t heard_frame = 0;
  while (done < frames) {
    SoundChunk* chunk = ring_.Front();
    if (chunk == nullptr) break;
    if (chunk->epoch != wanted) {  // decoded before a later play, seek or stop
      ring_.Pop();
      freed = true;
      continue;
    }
    if (paused) break;
    if (chunk->end) {
      ring_.Pop();
      ended = true;
      ended_epoch_.store(wanted, std::memory_order_release);
      break;
    }
    int n = std::min(static_cast<int>(chunk->frames - chunk->taken), frames - done);
    std::memcpy(samples + done * channels, chunk->samples + chunk->taken * channels,
                sizeof(float) * n * channels);
    chunk->taken += n;
    done += n;
    heard = true;
    heard_frame = chunk->first_frame + chunk->taken;
    if (chunk->taken == chunk->frames) {
      ring_.Pop();
      freed = true;
    }
  }
  std::memset(samples + done * channels, 0, sizeof(float) * (frames - done) * channels);

  if (heard) {
    heard_.store(PackHeard(wanted, heard_frame), std::memory_order_release);
    if (wanted != sounding_epoch_) {
      sounding_epoch_ = wanted;
      int64_t now = NowNs();
      if (first_sound_ns_.load(std::memory_order_relaxed) <
          play_time_ns_.load(std::memory_order_relaxed)) {
        first_sound_ns_.store(now, std::memory_order_relaxed);
      }
    }
  }
  equalizer_.Process(samples, static_cast<std::size_t>(frames));
  if (ended || (freed && ring_.Size() <= ChunkRing::kChunks / 2)) sem_post(&wake_);
}

}  // namespace veldan
