// Design note: three threads meet here.
//
// - The user-interface thread calls the public methods. It alone owns the open track's handle
//   on our side (open_track_), the queued track's, the mode the program sees (mode_) and the
//   serial counter. Every play, seek, stop and close starts a new epoch and posts a Request
//   under request_lock_; queueing a track posts a QueuedRequest. It never waits for the others.
// - The decode thread (DecodeLoop) takes the latest requests, owns the streams while it decodes
//   them, owns the sound device (SoundOutput: opening it at the first play, reopening it on a
//   format change or when it was lost, pausing it, closing it after a while without play) and
//   fills the ring with chunks stamped with the request's epoch and the segment they belong to.
//   It reads ahead only until the ring's reserve is left, which a new request's first chunks may
//   take, and spends the time it then has to spare indexing the track ahead for the next seek.
// - SDL's audio thread runs Fill: it takes chunks of the wanted epoch from the ring, drops
//   chunks of older epochs unplayed (that is how a seek or stop discards sound decoded before
//   it), runs the equalizer and reports what was heard through atomics. It takes no lock.
//
// Segments: within an epoch the open track is one segment (numbered like the epoch) and every
// track joined on without a gap is another, numbered when it was queued. The decode thread goes
// on into the queued track as soon as the current one is decoded, behind the current one's end
// marker; the callback, reaching that marker, plays the queued segment on only if it is still
// the queued one, and claims it with one compare-exchange on queued_segment_. The user-interface
// thread learns of the join from that claim. Chunks of a queued track that was dropped or
// replaced meanwhile are skipped like stale epochs.
//
// Lock order: request_lock_ is the only lock and nothing is called while holding it. The decode
// thread sleeps on the semaphore wake_, posted by a new request and by the callback when the
// ring has room again or the end of a segment has been heard.
//
// Stale results: the position the program sees is the callback's (segment, frame) pair only
// when the segment is the open track's; until its first chunk is heard it is the epoch's start.
// The end of a track counts only when the end marker of the current epoch was heard.
//
// A lost device: when the sound server goes away, SDL stops calling Fill, so nothing more is
// taken from the ring and the heard position holds where the listener stopped hearing. The
// decode thread notices (SoundOutput::CheckLost), closes the device and opens a new one on a
// schedule (at once, then every kRetrySoon for kRetrySoonFor, then every kRetryLater) while
// the track plays; paused or stopped it waits for the next play. The new device's first
// callback takes the ring up where the old one left it, so play resumes at the first frame not
// heard, and the gapless join, a seek or a stop asked for meanwhile work as they always do. The
// last periods the callback handed over before the loss most likely never reached the listener
// (the sound servers hold one to two periods of a stream): the new device's first callbacks
// play the last period and a half of them once more, so that about as much is heard twice as
// would otherwise be lost.

#include "decoder/player.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "decoder/mp3_stream.h"
#include "decoder/sound_output.h"
#include "decoder/track_tags.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {
namespace {

constexpr int kPositionBits = 40;
constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;
constexpr uint32_t kEpochMask = (uint32_t{1} << (64 - kPositionBits)) - 1;
// Set in queued_segment_ by the callback when the queued segment has begun to sound.
constexpr uint32_t kClaimed = uint32_t{1} << 31;
// A device that has not played for this long is closed, so the sound server can let its sink
// sleep (SDL keeps a paused device's thread writing silence). Paused, or stopped with a track
// still open (a track change), it stays open that long so that play resumes at once; with no
// track open (the Stop button) nothing is about to play, and a short grace only spares a close
// and reopen when a track is opened soon. That grace counts from the last request, so that the
// program's track changes (a close, maybe a skipped entry or several, then the next opening,
// one status poll apart each) keep the device open.
constexpr auto kIdleClose = std::chrono::seconds(3);
constexpr auto kIdleCloseWithoutTrack = std::chrono::milliseconds(750);
// While the device runs the decode thread looks at it this often, to find out soon that it was
// lost.
constexpr auto kBoundedWait = std::chrono::milliseconds(250);
// A device that went away is looked for again this often, first soon (the sound server
// restarts), later rarely (it is gone for a while). A dummy device standing in for the
// configured driver gives way to it when that has a device again, looked for as rarely.
constexpr auto kRetrySoon = std::chrono::milliseconds(250);
constexpr auto kRetrySoonFor = std::chrono::seconds(5);
constexpr auto kRetryLater = std::chrono::seconds(2);

uint64_t PackHeard(uint32_t epoch, int64_t frame) {
  return (uint64_t{epoch & kEpochMask} << kPositionBits) |
         (static_cast<uint64_t>(frame) & kPositionMask);
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits for a post, at most for limit (a missed post then costs a short delay, not a hang, and
// an idle device gets closed on time); with no limit, until the next post, so that an idle
// player does not wake at all.
void WaitForPost(sem_t* sem, std::optional<std::chrono::nanoseconds> limit) {
  if (limit) {
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const int64_t ns = std::max<int64_t>(limit->count(), 1'000'000);
    deadline.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
    deadline.tv_nsec += static_cast<long>(ns % 1'000'000'000);
    if (deadline.tv_nsec >= 1'000'000'000) {
      deadline.tv_nsec -= 1'000'000'000;
      deadline.tv_sec += 1;
    }
    while (sem_clockwait(sem, CLOCK_MONOTONIC, &deadline) != 0 && errno == EINTR) {
    }
  } else {
    while (sem_wait(sem) != 0 && errno == EINTR) {
    }
  }
  while (sem_trywait(sem) == 0) {
  }
}

// The name the desktop shows for the sound: the title, else the file name.
std::string StreamName(const Mp3Stream& stream, const std::string& host_path) {
  if (!stream.facts().title.empty()) return ProgramTextToDisplay(stream.facts().title);
  std::size_t slash = host_path.find_last_of('/');
  return slash == std::string::npos ? host_path : host_path.substr(slash + 1);
}

// Opens a track given as program text for Open or Queue and fills its record.
std::unique_ptr<Mp3Stream> OpenTrack(const char* program_path, vbmp3_info* info) {
  if (program_path == nullptr || strnlen(program_path, 512) >= 512) return nullptr;
  std::string host_path;
  if (!ProgramPathToHost(program_path, &host_path)) return nullptr;
  std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(host_path);
  if (!stream) return nullptr;

  const TrackFacts& facts = stream->facts();
  std::memset(info, 0, sizeof *info);
  CopyProgramText(info->title, sizeof info->title, facts.title);
  CopyProgramText(info->artist, sizeof info->artist, facts.artist);
  info->channels = facts.channels;
  info->bitrate = facts.bitrate;
  info->sample_rate = facts.sample_rate;
  info->length = facts.length;
  stream->set_name(StreamName(*stream, host_path));
  return stream;
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
  if (info == nullptr) return false;
  std::unique_ptr<Mp3Stream> stream = OpenTrack(program_path, info);
  if (!stream) return false;
  rate_ = stream->rate();
  length_frames_ = stream->length_frames();
  open_track_ = std::move(stream);
  return true;
}

bool Player::Queue(const char* program_path) {
  Sync();
  DropQueued();
  if (program_path == nullptr || program_path[0] == '\0') return false;
  if (mode_ == VBMP3_STOPPED || !open_track_) return false;
  vbmp3_info info;
  std::unique_ptr<Mp3Stream> stream = OpenTrack(program_path, &info);
  if (!stream) return false;
  queued_track_ = std::move(stream);
  queued_info_ = info;
  queued_segment_id_ = NextSerial();
  queued_segment_.store(queued_segment_id_, std::memory_order_seq_cst);
  PostQueued(queued_track_, queued_segment_id_);
  return true;
}

bool Player::QueuedStarted(vbmp3_info* info) {
  Sync();
  if (!started_ || info == nullptr) return false;
  started_ = false;
  *info = started_info_;
  return true;
}

void Player::Close() {
  Stop();
  started_ = false;
  if (open_track_) {
    open_track_.reset();
    Post(false, 0);  // the decode thread lets go of the stream
  }
}

bool Player::Play() {
  Sync();
  if (!open_track_) return false;
  const int64_t now = NowNs();
  play_time_ns_.store(now, std::memory_order_relaxed);
  mode_ = VBMP3_PLAYING;
  paused_.store(false, std::memory_order_release);
  Post(true, 0);
  request_epoch_ = epoch_;
  request_ns_ = now;
  return true;
}

void Player::Stop() {
  Sync();
  if (mode_ == VBMP3_STOPPED) return;
  mode_ = VBMP3_STOPPED;
  Post(false, 0);
  paused_.store(false, std::memory_order_release);
}

void Player::Pause() {
  Sync();
  if (mode_ != VBMP3_PLAYING) return;
  mode_ = VBMP3_PAUSED;
  paused_.store(true, std::memory_order_release);
  sem_post(&wake_);  // the decode thread lets the device rest
}

void Player::Restart() {
  Sync();
  if (mode_ != VBMP3_PAUSED) return;
  mode_ = VBMP3_PLAYING;
  paused_.store(false, std::memory_order_release);
  sem_post(&wake_);
}

void Player::Seek(int32_t seconds) {
  SeekToFrame(int64_t{std::max<int32_t>(seconds, 0)} * rate_);
}

void Player::SeekMicroseconds(int64_t microseconds) {
  // In two steps, so that no product overflows whatever the caller sends.
  const int64_t us = std::max<int64_t>(microseconds, 0);
  SeekToFrame(us / 1000000 * rate_ + us % 1000000 * rate_ / 1000000);
}

void Player::SeekToFrame(int64_t frame) {
  Sync();
  if (mode_ == VBMP3_STOPPED) return;
  // A seek past the end would be taken; the end is as far as it goes.
  if (length_frames_ >= 0) frame = std::min(frame, length_frames_);
  const int64_t now = NowNs();
  Post(true, frame);
  request_epoch_ = epoch_;
  request_ns_ = now;
}

int64_t Player::HeardFrame() const {
  if (mode_ == VBMP3_STOPPED) return 0;
  const uint64_t heard = heard_.load(std::memory_order_acquire);
  return (heard >> kPositionBits) == segment_ ? static_cast<int64_t>(heard & kPositionMask)
                                              : start_frame_;
}

int Player::State(int32_t* position) {
  Sync();
  if (position != nullptr) {
    const int64_t seconds = rate_ > 0 ? HeardFrame() / rate_ : 0;
    *position =
        static_cast<int32_t>(std::min<int64_t>(seconds, std::numeric_limits<int32_t>::max()));
  }
  return mode_;
}

int64_t Player::PositionMicroseconds() {
  Sync();
  if (rate_ <= 0) return 0;
  const int64_t frame = HeardFrame();
  return frame / rate_ * 1000000 + frame % rate_ * 1000000 / rate_;
}

double Player::FirstSoundDelayMs() const {
  int64_t played = play_time_ns_.load(std::memory_order_relaxed);
  int64_t sounded = first_sound_ns_.load(std::memory_order_relaxed);
  return sounded >= played && played != 0 ? (sounded - played) / 1e6 : -1.0;
}

double Player::RequestSoundDelayMs() const {
  if (sounded_epoch_.load(std::memory_order_acquire) != request_epoch_ || request_ns_ == 0) {
    return -1.0;
  }
  return (epoch_sound_ns_.load(std::memory_order_relaxed) - request_ns_) / 1e6;
}

void Player::Sync() {
  if (queued_track_ &&
      queued_segment_.load(std::memory_order_seq_cst) == (queued_segment_id_ | kClaimed)) {
    // The queued track is heard: it is the open track now, its position counted from its start.
    open_track_ = std::move(queued_track_);
    rate_ = open_track_->rate();
    length_frames_ = open_track_->length_frames();
    segment_ = queued_segment_id_;
    start_frame_ = 0;
    started_ = true;
    started_info_ = queued_info_;
    queued_segment_id_ = 0;
    queued_segment_.store(0, std::memory_order_seq_cst);
  }
  if (mode_ != VBMP3_STOPPED && ended_epoch_.load(std::memory_order_acquire) == epoch_) {
    mode_ = VBMP3_STOPPED;
  }
}

void Player::DropQueued() {
  if (!queued_track_) return;
  uint32_t expected = queued_segment_id_;
  if (!queued_segment_.compare_exchange_strong(expected, 0, std::memory_order_seq_cst)) {
    // Claimed a moment ago: the join has been heard, so the queued track plays already.
    Sync();
    return;
  }
  queued_track_.reset();
  queued_segment_id_ = 0;
  PostQueued(nullptr, 0);
}

uint32_t Player::NextSerial() {
  serial_ = (serial_ + 1) & kEpochMask;
  if (serial_ == 0) serial_ = 1;  // 0 means "no segment"
  return serial_;
}

void Player::Post(bool run, int64_t start_frame) {
  DropQueued();
  epoch_ = NextSerial();
  segment_ = epoch_;
  start_frame_ = start_frame;
  wanted_epoch_.store(epoch_, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    request_ = Request{open_track_, epoch_, start_frame, run};
    request_new_ = true;
    queued_request_ = QueuedRequest{};
    queued_new_ = false;
  }
  sem_post(&wake_);
}

void Player::PostQueued(std::shared_ptr<Mp3Stream> track, uint32_t segment) {
  {
    std::lock_guard<std::mutex> lock(request_lock_);
    queued_request_ = QueuedRequest{std::move(track), segment, segment_};
    queued_new_ = true;
  }
  sem_post(&wake_);
}

void Player::DecodeLoop() {
  SoundOutput output(FillSound, this);
  // The sound system is started ahead, so the first play waits neither for it nor for finding
  // out that there is no device; the device itself opens with the first sound.
  output.StartSystem();
  std::shared_ptr<Mp3Stream> track;
  uint32_t epoch = 0;
  uint32_t segment = 0;                   // the segment being decoded
  uint32_t prev_segment = 0;              // the one it was joined on to; 0 when it began the epoch
  std::shared_ptr<Mp3Stream> prev_track;  // that segment's stream
  std::shared_ptr<Mp3Stream> next;        // queued to follow segment
  uint32_t next_segment = 0;
  bool playing = false;          // the epoch plays and its end has not been heard
  bool decoding = false;         // chunks of sound still to come
  bool ending = false;           // the end marker still to be pushed
  bool finished = true;          // the segment's end marker is in the ring
  bool need_device = false;      // the device is not yet known to suit the track and to run
  std::size_t epoch_chunks = 0;  // pushed since the epoch began; the first may take the reserve
  int64_t position = 0;
  auto idle_since = std::chrono::steady_clock::now();
  auto idle_limit = [&]() -> std::chrono::nanoseconds {
    return track ? std::chrono::nanoseconds(kIdleClose) : kIdleCloseWithoutTrack;
  };
  // No device to be had: since when, and when to try again.
  bool waiting = false;
  auto waiting_since = std::chrono::steady_clock::time_point{};
  auto retry_at = std::chrono::steady_clock::time_point{};
  auto fallback_until = std::chrono::steady_clock::time_point{};  // when the dummy gives way
  bool was_paused = false;

  // Opens (or keeps) the device for the track and lets it run unless paused. Called once the
  // first chunk is in the ring, so the device's first callback already finds sound.
  auto start_device = [&] {
    need_device = false;
    if (!track) return;
    const auto now = std::chrono::steady_clock::now();
    if (waiting && now < retry_at) return;
    bool reopened = false;
    if (!output.Use(track->rate(), track->channels(), track->name(), &reopened)) {
      if (!output.available()) {
        decoding = ending = false;  // no sound at all: the track ends at once
        finished = true;
        next.reset();
        ended_epoch_.store(epoch, std::memory_order_release);
        return;
      }
      // The position holds until a device is back.
      if (!waiting) waiting_since = now;
      waiting = true;
      retry_at =
          now + (now - waiting_since < kRetrySoonFor ? std::chrono::nanoseconds(kRetrySoon)
                                                     : std::chrono::nanoseconds(kRetryLater));
      return;
    }
    waiting = false;
    if (reopened) {
      device_sessions_.store(output.sessions(), std::memory_order_relaxed);
      equalizer_.Prepare(track->rate(), track->channels());
      if (output.on_fallback()) fallback_until = now + kRetryLater;
    }
    if (!paused_.load(std::memory_order_acquire)) output.SetRunning(true);
  };
  // The device runs only while a track plays and is not paused, and closes once it has rested
  // for a while; one that went away is opened again while the track plays.
  auto manage_device = [&] {
    if (playing && ended_epoch_.load(std::memory_order_acquire) == epoch) playing = false;
    const bool paused = paused_.load(std::memory_order_acquire);
    auto now = std::chrono::steady_clock::now();
    const bool was_running = output.running();
    if (output.CheckLost()) {
      // Lost while it played, its last period is played again; paused, it had played it out.
      if (was_running) replay_.store(true, std::memory_order_release);
      waiting = true;
      waiting_since = retry_at = now;
    }
    if (paused != was_paused) {
      was_paused = paused;
      if (!paused && waiting) waiting_since = retry_at = now;  // played again: look at once
    }
    if (output.running() && playing && !paused && output.on_fallback() && now >= fallback_until) {
      output.Close();  // the configured driver may have a device by now
      start_device();
    }
    if (output.running() && (paused || !playing)) {
      output.SetRunning(false);
    } else if (playing && !paused && !need_device && !output.running()) {
      start_device();
    }
    now = std::chrono::steady_clock::now();
    if (output.running()) idle_since = now;
    if (!output.running() && output.is_open() && now >= idle_since + idle_limit()) {
      output.Close();
    }
  };
  // How long the decode thread may sleep: bounded while the device is open (to close it on
  // time, to notice that it was lost, and against a missed post) or while a lost one is looked
  // for, without limit once everything rests.
  auto wait_limit = [&]() -> std::optional<std::chrono::nanoseconds> {
    if (waiting && playing && !paused_.load(std::memory_order_acquire)) {
      return std::max<std::chrono::nanoseconds>(retry_at - std::chrono::steady_clock::now(),
                                                std::chrono::milliseconds(1));
    }
    if (!output.is_open()) return std::nullopt;
    if (output.running()) return kBoundedWait;
    const auto left = idle_since + idle_limit() - std::chrono::steady_clock::now();
    return std::min<std::chrono::nanoseconds>(kBoundedWait, left);
  };
  auto same_format = [](const Mp3Stream& a, const Mp3Stream& b) {
    return a.rate() == b.rate() && a.channels() == b.channels();
  };

  for (;;) {
    Request request;
    QueuedRequest queued;
    bool fresh = false;
    bool fresh_queue = false;
    {
      std::lock_guard<std::mutex> lock(request_lock_);
      if (quit_) break;
      if (request_new_) {
        request = request_;
        request_new_ = false;
        fresh = true;
      }
      if (queued_new_) {
        queued = queued_request_;
        queued_new_ = false;
        fresh_queue = true;
      }
    }
    if (fresh) {
      idle_since = std::chrono::steady_clock::now();  // a track change keeps the device
      if (request.run && waiting) waiting_since = retry_at = idle_since;  // played: look at once
      track = std::move(request.track);  // an older stream is closed here, on this thread
      next.reset();
      next_segment = 0;
      if (request.epoch != epoch) {
        epoch = request.epoch;
        epoch_chunks = 0;
        segment = epoch;
        prev_segment = 0;
        prev_track.reset();
        playing = request.run && track;
        decoding = playing;
        ending = false;
        finished = !playing;
        need_device = playing;
        if (playing) {
          position = track->SeekFrame(request.start_frame);
          if (position < 0) {
            position = 0;
            decoding = false;
            ending = true;
          }
        }
      }
    }
    if (fresh_queue) {
      if (queued.follows == segment) {
        next = std::move(queued.track);
        next_segment = queued.segment;
      } else if (prev_segment != 0 && queued.follows == prev_segment) {
        // The track decoded ahead was dropped or replaced before it was heard; its chunks in
        // the ring are skipped by the callback.
        next.reset();
        next_segment = 0;
        if (queued.track && prev_track && same_format(*prev_track, *queued.track)) {
          track = std::move(queued.track);
          segment = queued.segment;
          position = 0;
          decoding = true;
          ending = finished = false;
        } else {
          // Nothing follows any more, or the replacement waits for the device like any track
          // in another format: go back to just after the previous segment's end.
          segment = prev_segment;
          prev_segment = 0;
          track = std::move(prev_track);
          decoding = ending = false;
          finished = true;
          if (queued.track) {
            next = std::move(queued.track);
            next_segment = queued.segment;
          }
        }
      }
    }
    manage_device();

    bool read_ahead = false;  // the ring is as full as reading ahead makes it
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(request_lock_);
        if (request_new_ || queued_new_ || quit_) break;
      }
      if (finished) {
        if (!next || !track) break;
        if (!same_format(*track, *next)) {
          // The device must be reopened for the next track, which only happens once the
          // callback has played everything before it.
          if (drained_segment_.load(std::memory_order_acquire) != segment) break;
          need_device = true;
        }
        prev_segment = segment;
        prev_track = std::move(track);
        segment = next_segment;
        track = std::move(next);
        next_segment = 0;
        position = 0;
        decoding = true;
        ending = finished = false;
        continue;
      }
      SoundChunk* chunk = ring_.Back(epoch_chunks < ChunkRing::kReserve ? 0 : ChunkRing::kReserve);
      if (chunk == nullptr) {
        // Only the callback makes room, also when the ring is full of stale chunks.
        if (need_device) start_device();
        read_ahead = true;
        break;
      }
      chunk->epoch = epoch;
      chunk->segment = segment;
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
        finished = true;
      }
      ring_.Push();
      ++epoch_chunks;
      if (need_device) start_device();
    }
    manage_device();

    bool more = false;
    {
      std::lock_guard<std::mutex> lock(request_lock_);
      more = request_new_ || queued_new_ || quit_;
    }
    if (!more) {
      // Time to spare: the track's seek index grows a step ahead of the decoding, once per
      // refill, so that a seek far ahead finds its frame at once while the reading stays
      // interleaved with play's own.
      if (read_ahead && decoding) track->IndexAhead();
      WaitForPost(&wake_, wait_limit());
    }
  }
  track.reset();
  next.reset();
  prev_track.reset();
}

void Player::FillSound(void* self, float* samples, int frames, int channels) {
  static_cast<Player*>(self)->Fill(samples, frames, channels);
}

void Player::Fill(float* samples, int frames, int channels) {
  const uint32_t wanted = wanted_epoch_.load(std::memory_order_acquire);
  const bool paused = paused_.load(std::memory_order_acquire);
  if (wanted != callback_epoch_) {
    callback_epoch_ = wanted;
    playing_segment_ = wanted;  // an epoch begins with its own segment
    join_target_ = 0;
  }
  const std::size_t samples_wanted = static_cast<std::size_t>(frames) * channels;
  if (replay_.exchange(false, std::memory_order_acq_rel)) {
    // What the device that went away was given last most likely never reached the listener (its
    // server still held it): rather than lose it, the new device plays the last period and a
    // half of it once more.
    const std::size_t kept =
        last_sound_size_ == samples_wanted ? last_sound_periods_ * samples_wanted : 0;
    const std::size_t rewind = static_cast<std::size_t>(frames + frames / 2) * channels;
    replay_left_ = std::min(kept, rewind);
    replay_from_ = kept - replay_left_;
  }
  int done = 0;
  const bool replayed = replay_left_ > 0;
  if (replayed) {
    if (paused || last_sound_epoch_ != wanted) {
      replay_left_ = 0;  // paused or sought meanwhile: nothing to make up for
    } else {
      const std::size_t n = std::min(replay_left_, samples_wanted);
      std::memcpy(samples, last_sound_.data() + replay_from_, sizeof(float) * n);
      replay_from_ += n;
      replay_left_ -= n;
      done = static_cast<int>(n / static_cast<std::size_t>(channels));
    }
  }
  bool freed = false;
  bool wake = false;
  bool ended = false;
  bool heard = false;
  int64_t heard_frame = 0;
  auto end_here = [&] {
    join_target_ = 0;
    ended = true;
    ended_epoch_.store(wanted, std::memory_order_release);
  };
  while (done < frames) {
    SoundChunk* chunk = ring_.Front();
    if (chunk == nullptr) break;
    if (chunk->epoch != wanted) {  // decoded before a later play, seek or stop
      ring_.Pop();
      freed = true;
      continue;
    }
    if (paused) break;
    if (join_target_ != 0) {
      // Past the end of the playing segment: the queued one follows if it is still queued.
      uint32_t queued = queued_segment_.load(std::memory_order_seq_cst);
      if (queued == 0 || (queued & kClaimed) != 0) {  // dropped before it was heard
        end_here();
        break;
      }
      join_target_ = queued;
      if (chunk->segment != queued) {  // a queued track that was replaced
        ring_.Pop();
        freed = true;
        continue;
      }
      if (chunk->end) {  // it holds no sound: the playing track ends as it would have
        end_here();
        break;
      }
      if (!queued_segment_.compare_exchange_strong(queued, queued | kClaimed,
                                                   std::memory_order_seq_cst)) {
        continue;  // dropped or replaced this instant; look again
      }
      playing_segment_ = queued;
      join_target_ = 0;
      wake = true;
    }
    if (chunk->segment != playing_segment_) {  // a queued track that was dropped
      ring_.Pop();
      freed = true;
      continue;
    }
    if (chunk->end) {
      ring_.Pop();
      wake = true;
      drained_segment_.store(playing_segment_, std::memory_order_release);
      uint32_t queued = queued_segment_.load(std::memory_order_seq_cst);
      if (queued != 0 && (queued & kClaimed) == 0) {
        join_target_ = queued;
        continue;
      }
      end_here();
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
  if (replayed) {
    last_sound_periods_ = 0;  // what is kept is being played again
  } else if (heard && done == frames && kReplayPeriods * samples_wanted <= last_sound_.size()) {
    if (last_sound_size_ != samples_wanted || last_sound_epoch_ != wanted) last_sound_periods_ = 0;
    if (last_sound_periods_ == kReplayPeriods) {
      std::memmove(last_sound_.data(), last_sound_.data() + samples_wanted,
                   sizeof(float) * samples_wanted);
      last_sound_periods_ = 1;
    }
    std::memcpy(last_sound_.data() + static_cast<std::size_t>(last_sound_periods_) * samples_wanted,
                samples, sizeof(float) * samples_wanted);
    ++last_sound_periods_;
    last_sound_size_ = samples_wanted;
    last_sound_epoch_ = wanted;
  } else {
    last_sound_periods_ = 0;
  }

  if (heard) {
    heard_.store(PackHeard(playing_segment_, heard_frame), std::memory_order_release);
    if (wanted != sounding_epoch_) {
      sounding_epoch_ = wanted;
      int64_t now = NowNs();
      epoch_sound_ns_.store(now, std::memory_order_relaxed);
      sounded_epoch_.store(wanted, std::memory_order_release);
      if (first_sound_ns_.load(std::memory_order_relaxed) <
          play_time_ns_.load(std::memory_order_relaxed)) {
        first_sound_ns_.store(now, std::memory_order_relaxed);
      }
    }
  }
  equalizer_.Process(samples, static_cast<std::size_t>(frames));
  if (ended || wake || (freed && ring_.Size() <= ChunkRing::kChunks / 2)) sem_post(&wake_);
}

}  // namespace veldan
