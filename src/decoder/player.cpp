// Design note: three threads meet here.
//
// - The user-interface thread calls the public methods. It alone owns the open track's handle
//   on our side (open_track_), the queued track's, the mode the program sees (mode_) and the
//   serial counter. Every play, seek, stop and close starts a new epoch and posts a Request
//   under request_lock_; queueing a track posts a QueuedRequest. It never waits for the others.
//   It opens every stream, with the gain mode it holds at that moment: a track's ReplayGain is
//   in the stream's samples from the decoder on, so it comes before the equalizer, and a mode
//   set later changes only the tracks opened or queued after it.
// - The decode thread (DecodeThread) takes the latest requests, owns the streams while it decodes
//   them, owns the sound device (SoundOutput: opening it at the first play, reopening it on a
//   format change or when it was lost, pausing it, closing it after a while without play) and
//   fills the ring with chunks stamped with the request's epoch and the segment they belong to.
//   Where it is in the epoch and which segment it decodes is its DecodeCursor's, moved only by
//   the cursor's steps (a request, a queued track, a join).
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
std::unique_ptr<Mp3Stream> OpenTrack(const char* program_path, vbmp3_info* info, GainMode gain) {
  if (program_path == nullptr || strnlen(program_path, 512) >= 512) return nullptr;
  std::string host_path;
  if (!ProgramPathToHost(program_path, &host_path)) return nullptr;
  std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(host_path, gain);
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

bool Player::SetGainMode(int mode) {
  switch (mode) {
    case VBMP3_GAIN_OFF:
      gain_mode_ = GainMode::kOff;
      return true;
    case VBMP3_GAIN_TRACK:
      gain_mode_ = GainMode::kTrack;
      return true;
    case VBMP3_GAIN_ALBUM:
      gain_mode_ = GainMode::kAlbum;
      return true;
    default:
      return false;
  }
}

bool Player::Open(const char* program_path, vbmp3_info* info) {
  Close();
  if (info == nullptr) return false;
  std::unique_ptr<Mp3Stream> stream = OpenTrack(program_path, info, gain_mode_);
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
  std::unique_ptr<Mp3Stream> stream = OpenTrack(program_path, &info, gain_mode_);
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

// Where the decode thread is: the epoch it decodes, the segment of it whose chunks it pushes, and
// the tracks on either side of that segment. Every change of segment is one of the steps below.
class Player::DecodeCursor {
 public:
  enum class Phase {
    kDecoding,  // chunks of sound still to come
    kEnding,    // the end marker still to be pushed
    kFinished,  // the segment's end marker is in the ring
  };

  uint32_t epoch() const { return epoch_; }
  uint32_t segment() const { return segment_; }
  Mp3Stream* track() const { return track_.get(); }
  // The epoch plays and its end has not been heard.
  bool playing() const { return playing_; }
  Phase phase() const { return phase_; }
  // The first chunks of an epoch may take the ring's reserve.
  bool in_reserve() const { return epoch_chunks_ < ChunkRing::kReserve; }
  // The segment is in the ring to its end and a track is queued to follow it.
  bool at_join() const { return phase_ == Phase::kFinished && next_ && track_; }
  // The queued track plays in the current track's format, so the device goes on as it is.
  bool join_keeps_format() const { return SameFormat(*track_, *next_); }

  // A request from the user-interface thread: its track (the open one, or none) is decoded from
  // now on, and nothing follows it until a track is queued again. A new epoch (every play, seek,
  // stop and close) begins with its own segment: decoded from the request's frame when it plays
  // (a stream that cannot seek only ends), else finished at once.
  void TakeRequest(Request request) {
    track_ = std::move(request.track);
    DropNext();
    if (request.epoch == epoch_) return;
    epoch_ = request.epoch;
    epoch_chunks_ = 0;
    prev_segment_ = 0;
    prev_track_.reset();
    playing_ = request.run && track_;
    EnterSegment(epoch_);
    if (!playing_) {
      phase_ = Phase::kFinished;
    } else {
      position_ = track_->SeekFrame(request.start_frame);
      if (position_ < 0) {
        position_ = 0;
        phase_ = Phase::kEnding;
      }
    }
  }

  // A track queued (or dropped) behind a segment. Behind the current one it simply follows;
  // behind the previous one it replaces the track decoded ahead, whose chunks the callback skips.
  void TakeQueued(QueuedRequest queued) {
    if (queued.follows == segment_) {
      next_ = std::move(queued.track);
      next_segment_ = queued.segment;
    } else if (prev_segment_ != 0 && queued.follows == prev_segment_) {
      DropNext();
      if (queued.track && prev_track_ && SameFormat(*prev_track_, *queued.track)) {
        ReplaceAhead(std::move(queued));
      } else {
        FallBack(std::move(queued));
      }
    }
  }

  // At a join: the queued track becomes the segment decoded, behind the end of the current one.
  void JoinNext() {
    prev_segment_ = segment_;
    prev_track_ = std::move(track_);
    track_ = std::move(next_);
    EnterSegment(next_segment_);
    next_segment_ = 0;
  }

  // No sound can be had at all: the track ends at once and nothing follows it.
  void EndAtOnce() {
    phase_ = Phase::kFinished;
    next_.reset();
  }

  void EndHeard() { playing_ = false; }

  // Writes the segment's next chunk: sound, or its end marker once the sound is out. False when
  // the track has just ended and nothing was written; the end marker comes next.
  bool Write(SoundChunk* chunk) {
    chunk->epoch = epoch_;
    chunk->segment = segment_;
    chunk->taken = 0;
    chunk->first_frame = position_;
    if (phase_ == Phase::kDecoding) {
      const std::size_t frames = track_->Read(chunk->samples, SoundChunk::kFrames);
      if (frames == 0) {
        phase_ = Phase::kEnding;
        return false;
      }
      chunk->end = false;
      chunk->frames = static_cast<uint32_t>(frames);
      position_ += static_cast<int64_t>(frames);
    } else {
      chunk->end = true;
      chunk->frames = 0;
      phase_ = Phase::kFinished;
    }
    ++epoch_chunks_;
    return true;
  }

  // Lets go of every stream, on the decode thread.
  void Release() {
    track_.reset();
    next_.reset();
    prev_track_.reset();
  }

 private:
  static bool SameFormat(const Mp3Stream& a, const Mp3Stream& b) {
    return a.rate() == b.rate() && a.channels() == b.channels();
  }

  // The one switch to a segment: decoded from the start of the track it holds.
  void EnterSegment(uint32_t segment) {
    segment_ = segment;
    position_ = 0;
    phase_ = Phase::kDecoding;
  }

  void DropNext() {
    next_.reset();
    next_segment_ = 0;
  }

  // The track queued in place of the one decoded ahead plays in the previous track's format:
  // it is decoded at once behind the previous segment's end.
  void ReplaceAhead(QueuedRequest queued) {
    track_ = std::move(queued.track);
    EnterSegment(queued.segment);
  }

  // Nothing follows any more, or the replacement waits for the device like any track in another
  // format: back to just after the previous segment's end, with the replacement queued behind it.
  void FallBack(QueuedRequest queued) {
    segment_ = prev_segment_;
    prev_segment_ = 0;
    track_ = std::move(prev_track_);
    phase_ = Phase::kFinished;
    if (queued.track) {
      next_ = std::move(queued.track);
      next_segment_ = queued.segment;
    }
  }

  uint32_t epoch_ = 0;
  uint32_t segment_ = 0;                   // the segment being decoded
  std::shared_ptr<Mp3Stream> track_;       // its stream
  uint32_t prev_segment_ = 0;              // the one it was joined on to; 0 when it began the epoch
  std::shared_ptr<Mp3Stream> prev_track_;  // that segment's stream
  std::shared_ptr<Mp3Stream> next_;        // queued to follow segment_
  uint32_t next_segment_ = 0;
  bool playing_ = false;
  Phase phase_ = Phase::kFinished;
  std::size_t epoch_chunks_ = 0;  // pushed since the epoch began
  int64_t position_ = 0;          // the frame the next chunk begins with
};

// The decode thread: the cursor, the sound device, and when to look at the device again.
class Player::DecodeThread {
 public:
  explicit DecodeThread(Player& player) : player_(player), output_(FillSound, &player) {}

  void Run() {
    // The sound system is started ahead, so the first play waits neither for it nor for finding
    // out that there is no device; the device itself opens with the first sound.
    output_.StartSystem();
    for (;;) {
      Request request;
      QueuedRequest queued;
      bool fresh = false;
      bool fresh_queue = false;
      {
        std::lock_guard<std::mutex> lock(player_.request_lock_);
        if (player_.quit_) break;
        if (player_.request_new_) {
          request = player_.request_;
          player_.request_new_ = false;
          fresh = true;
        }
        if (player_.queued_new_) {
          queued = player_.queued_request_;
          player_.queued_new_ = false;
          fresh_queue = true;
        }
      }
      if (fresh) TakeRequest(std::move(request));
      if (fresh_queue) cursor_.TakeQueued(std::move(queued));
      ManageDevice();
      const bool read_ahead = FillRing();
      ManageDevice();
      if (!player_.RequestPending()) {
        // Time to spare: the track's seek index grows a step ahead of the decoding, once per
        // refill, so that a seek far ahead finds its frame at once while the reading stays
        // interleaved with play's own.
        if (read_ahead && cursor_.phase() == DecodeCursor::Phase::kDecoding) {
          cursor_.track()->IndexAhead();
        }
        WaitForPost(&player_.wake_, WaitLimit());
      }
    }
    cursor_.Release();
  }

 private:
  using Clock = std::chrono::steady_clock;

  void TakeRequest(Request request) {
    idle_since_ = Clock::now();  // a track change keeps the device
    if (request.run && waiting_) waiting_since_ = retry_at_ = idle_since_;  // played: look at once
    const uint32_t epoch = cursor_.epoch();
    cursor_.TakeRequest(std::move(request));
    if (cursor_.epoch() != epoch) need_device_ = cursor_.playing();
  }

  // Pushes chunks until the ring is as full as reading ahead makes it (true), a request comes
  // in, or nothing more is to be decoded for now.
  bool FillRing() {
    while (!player_.RequestPending()) {
      if (cursor_.phase() == DecodeCursor::Phase::kFinished) {
        if (!cursor_.at_join()) return false;
        if (!cursor_.join_keeps_format()) {
          // The device must be reopened for the next track, which only happens once the
          // callback has played everything before it.
          if (player_.drained_segment_.load(std::memory_order_acquire) != cursor_.segment()) {
            return false;
          }
          need_device_ = true;
        }
        cursor_.JoinNext();
        continue;
      }
      SoundChunk* chunk = player_.ring_.Back(cursor_.in_reserve() ? 0 : ChunkRing::kReserve);
      if (chunk == nullptr) {
        // Only the callback makes room, also when the ring is full of stale chunks.
        if (need_device_) StartDevice();
        return true;
      }
      if (!cursor_.Write(chunk)) continue;
      player_.ring_.Push();
      if (need_device_) StartDevice();
    }
    return false;
  }

  std::chrono::nanoseconds IdleLimit() const {
    return cursor_.track() ? std::chrono::nanoseconds(kIdleClose) : kIdleCloseWithoutTrack;
  }

  // Opens (or keeps) the device for the track and lets it run unless paused. Called once the
  // first chunk is in the ring, so the device's first callback already finds sound.
  void StartDevice() {
    need_device_ = false;
    Mp3Stream* track = cursor_.track();
    if (track == nullptr) return;
    const auto now = Clock::now();
    if (waiting_ && now < retry_at_) return;
    bool reopened = false;
    if (!output_.Use(track->rate(), track->channels(), track->name(), &reopened)) {
      if (!output_.available()) {
        cursor_.EndAtOnce();  // no sound at all
        player_.ended_epoch_.store(cursor_.epoch(), std::memory_order_release);
        return;
      }
      // The position holds until a device is back.
      if (!waiting_) waiting_since_ = now;
      waiting_ = true;
      retry_at_ =
          now + (now - waiting_since_ < kRetrySoonFor ? std::chrono::nanoseconds(kRetrySoon)
                                                      : std::chrono::nanoseconds(kRetryLater));
      return;
    }
    waiting_ = false;
    if (reopened) {
      player_.device_sessions_.store(output_.sessions(), std::memory_order_relaxed);
      player_.equalizer_.Prepare(track->rate(), track->channels());
      if (output_.on_fallback()) fallback_until_ = now + kRetryLater;
    }
    if (!player_.paused_.load(std::memory_order_acquire)) output_.SetRunning(true);
  }

  // The device runs only while a track plays and is not paused, and closes once it has rested
  // for a while; one that went away is opened again while the track plays.
  void ManageDevice() {
    if (cursor_.playing() &&
        player_.ended_epoch_.load(std::memory_order_acquire) == cursor_.epoch()) {
      cursor_.EndHeard();
    }
    const bool playing = cursor_.playing();
    const bool paused = player_.paused_.load(std::memory_order_acquire);
    auto now = Clock::now();
    const bool was_running = output_.running();
    if (output_.CheckLost()) {
      // Lost while it played, its last period is played again; paused, it had played it out.
      if (was_running) player_.replay_.store(true, std::memory_order_release);
      waiting_ = true;
      waiting_since_ = retry_at_ = now;
    }
    if (paused != was_paused_) {
      was_paused_ = paused;
      if (!paused && waiting_) waiting_since_ = retry_at_ = now;  // played again: look at once
    }
    if (output_.running() && playing && !paused && output_.on_fallback() &&
        now >= fallback_until_) {
      output_.Close();  // the configured driver may have a device by now
      StartDevice();
    }
    if (output_.running() && (paused || !playing)) {
      output_.SetRunning(false);
    } else if (playing && !paused && !need_device_ && !output_.running()) {
      StartDevice();
    }
    now = Clock::now();
    if (output_.running()) idle_since_ = now;
    if (!output_.running() && output_.is_open() && now >= idle_since_ + IdleLimit()) {
      output_.Close();
    }
  }

  // How long the decode thread may sleep: bounded while the device is open (to close it on
  // time, to notice that it was lost, and against a missed post) or while a lost one is looked
  // for, without limit once everything rests.
  std::optional<std::chrono::nanoseconds> WaitLimit() const {
    if (waiting_ && cursor_.playing() && !player_.paused_.load(std::memory_order_acquire)) {
      return std::max<std::chrono::nanoseconds>(retry_at_ - Clock::now(),
                                                std::chrono::milliseconds(1));
    }
    if (!output_.is_open()) return std::nullopt;
    if (output_.running()) return kBoundedWait;
    const auto left = idle_since_ + IdleLimit() - Clock::now();
    return std::min<std::chrono::nanoseconds>(kBoundedWait, left);
  }

  Player& player_;
  SoundOutput output_;
  DecodeCursor cursor_;
  bool need_device_ = false;  // the device is not yet known to suit the track and to run
  Clock::time_point idle_since_ = Clock::now();
  // No device to be had: since when, and when to try again.
  bool waiting_ = false;
  Clock::time_point waiting_since_{};
  Clock::time_point retry_at_{};
  Clock::time_point fallback_until_{};  // when the dummy gives way
  bool was_paused_ = false;
};

void Player::DecodeLoop() {
  DecodeThread thread(*this);
  thread.Run();
}

bool Player::RequestPending() {
  std::lock_guard<std::mutex> lock(request_lock_);
  return request_new_ || queued_new_ || quit_;
}

void Player::FillSound(void* self, float* samples, int frames, int channels) {
  static_cast<Player*>(self)->Fill(samples, frames, channels);
}

// What one callback did: the frames it wrote, and what it tells the other threads.
struct Player::Take {
  int done = 0;             // frames written so far
  bool freed = false;       // chunks were given back to the ring
  bool wake = false;        // a segment's end was passed or a join made
  bool ended = false;       // the epoch's track ended
  bool heard = false;       // sound of the wanted epoch was written
  int64_t heard_frame = 0;  // the frame after the last one written
};

void Player::Fill(float* samples, int frames, int channels) {
  const uint32_t wanted = wanted_epoch_.load(std::memory_order_acquire);
  const bool paused = paused_.load(std::memory_order_acquire);
  if (wanted != callback_epoch_) {
    callback_epoch_ = wanted;
    playing_segment_ = wanted;  // an epoch begins with its own segment
    join_target_ = 0;
  }
  Take take;
  const bool replayed = PlayAgain(samples, frames, channels, wanted, paused, &take);
  TakeFromRing(samples, frames, channels, wanted, paused, &take);
  std::memset(samples + take.done * channels, 0, sizeof(float) * (frames - take.done) * channels);
  KeepLastSound(samples, static_cast<std::size_t>(frames) * channels, wanted, replayed,
                take.heard && take.done == frames);
  if (take.heard) ReportHeard(wanted, take.heard_frame);
  equalizer_.Process(samples, static_cast<std::size_t>(frames));
  if (take.ended || take.wake || (take.freed && ring_.Size() <= ChunkRing::kChunks / 2)) {
    sem_post(&wake_);
  }
}

bool Player::PlayAgain(float* samples, int frames, int channels, uint32_t wanted, bool paused,
                       Take* take) {
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
  if (replay_left_ == 0) return false;
  if (paused || last_sound_epoch_ != wanted) {
    replay_left_ = 0;  // paused or sought meanwhile: nothing to make up for
  } else {
    const std::size_t n = std::min(replay_left_, samples_wanted);
    std::memcpy(samples, last_sound_.data() + replay_from_, sizeof(float) * n);
    replay_from_ += n;
    replay_left_ -= n;
    take->done = static_cast<int>(n / static_cast<std::size_t>(channels));
  }
  return true;
}

void Player::TakeFromRing(float* samples, int frames, int channels, uint32_t wanted, bool paused,
                          Take* take) {
  while (take->done < frames) {
    SoundChunk* chunk = ring_.Front();
    if (chunk == nullptr) break;
    if (chunk->epoch != wanted) {  // decoded before a later play, seek or stop
      SkipChunk(take);
      continue;
    }
    if (paused) break;
    if (join_target_ != 0) {
      const JoinStep step = Join(*chunk, wanted, take);
      if (step == JoinStep::kEnded) break;
      if (step == JoinStep::kSkip) SkipChunk(take);
      if (step != JoinStep::kJoined) continue;
    }
    if (chunk->segment != playing_segment_) {  // a queued track that was dropped
      SkipChunk(take);
      continue;
    }
    if (chunk->end) {
      if (PassEnd(wanted, take)) continue;
      break;
    }
    const int n = std::min(static_cast<int>(chunk->frames - chunk->taken), frames - take->done);
    std::memcpy(samples + take->done * channels, chunk->samples + chunk->taken * channels,
                sizeof(float) * n * channels);
    chunk->taken += n;
    take->done += n;
    take->heard = true;
    take->heard_frame = chunk->first_frame + chunk->taken;
    if (chunk->taken == chunk->frames) {
      ring_.Pop();
      take->freed = true;
    }
  }
}

void Player::SkipChunk(Take* take) {
  ring_.Pop();
  take->freed = true;
}

Player::JoinStep Player::Join(const SoundChunk& chunk, uint32_t wanted, Take* take) {
  // Past the end of the playing segment: the queued one follows if it is still queued.
  uint32_t queued = queued_segment_.load(std::memory_order_seq_cst);
  if (queued == 0 || (queued & kClaimed) != 0) {  // dropped before it was heard
    EndHere(wanted, take);
    return JoinStep::kEnded;
  }
  join_target_ = queued;
  if (chunk.segment != queued) return JoinStep::kSkip;  // a queued track that was replaced
  if (chunk.end) {  // it holds no sound: the playing track ends as it would have
    EndHere(wanted, take);
    return JoinStep::kEnded;
  }
  if (!queued_segment_.compare_exchange_strong(queued, queued | kClaimed,
                                               std::memory_order_seq_cst)) {
    return JoinStep::kRetry;  // dropped or replaced this instant; look again
  }
  playing_segment_ = queued;
  join_target_ = 0;
  take->wake = true;
  return JoinStep::kJoined;
}

bool Player::PassEnd(uint32_t wanted, Take* take) {
  ring_.Pop();
  take->wake = true;
  drained_segment_.store(playing_segment_, std::memory_order_release);
  const uint32_t queued = queued_segment_.load(std::memory_order_seq_cst);
  if (queued != 0 && (queued & kClaimed) == 0) {
    join_target_ = queued;
    return true;
  }
  EndHere(wanted, take);
  return false;
}

void Player::EndHere(uint32_t wanted, Take* take) {
  join_target_ = 0;
  take->ended = true;
  ended_epoch_.store(wanted, std::memory_order_release);
}

void Player::KeepLastSound(const float* samples, std::size_t samples_wanted, uint32_t wanted,
                           bool replayed, bool all_sound) {
  if (replayed) {
    last_sound_periods_ = 0;  // what is kept is being played again
  } else if (all_sound && kReplayPeriods * samples_wanted <= last_sound_.size()) {
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
}

void Player::ReportHeard(uint32_t wanted, int64_t heard_frame) {
  heard_.store(PackHeard(playing_segment_, heard_frame), std::memory_order_release);
  if (wanted == sounding_epoch_) return;
  sounding_epoch_ = wanted;
  const int64_t now = NowNs();
  epoch_sound_ns_.store(now, std::memory_order_relaxed);
  sounded_epoch_.store(wanted, std::memory_order_release);
  if (first_sound_ns_.load(std::memory_order_relaxed) <
      play_time_ns_.load(std::memory_order_relaxed)) {
    first_sound_ns_.store(now, std::memory_order_relaxed);
  }
}

}  // namespace veldan
