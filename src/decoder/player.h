// The player behind the vbmp3 operations: one open track (and one queued to follow it without a
// gap), its decode thread, the ring buffer, the equalizer and the sound device.
//
// All methods except SetEqualizer are called from the program's user-interface thread, one at
// a time; none of them waits for the decoder or the device (vbmp3_open reads the start of the
// file, and the destructor joins the decode thread). SetEqualizer is safe from any thread.
// The threads it runs are described at the top of player.cpp.
#pragma once

#include <semaphore.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "decoder/chunk_ring.h"
#include "decoder/equalizer.h"
#include "decoder/replay_gain.h"
#include "decoder/vbmp3.h"

namespace veldan {

class Mp3Stream;
class SoundOutput;

class Player {
 public:
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void SetEqualizer(const int32_t* tenths_db);
  // VBMP3_GAIN_OFF, _TRACK or _ALBUM for the tracks opened and queued from now on; false for
  // anything else.
  bool SetGainMode(int mode);

  // Opens a track given as program text and fills info; closes the previous one first.
  bool Open(const char* program_path, vbmp3_info* info);
  // Opens a track ahead to follow the open one without a gap; null or empty drops the queued one.
  bool Queue(const char* program_path);
  // Once, after the queued track's first sample was heard: true, with its record.
  bool QueuedStarted(vbmp3_info* info);
  void Close();
  bool Play();
  void Stop();
  void Pause();
  void Restart();
  void Seek(int32_t seconds);
  // VBMP3_STOPPED, VBMP3_PLAYING or VBMP3_PAUSED; the heard position in whole seconds.
  int State(int32_t* position);
  // As Seek and State, in microseconds.
  void SeekMicroseconds(int64_t microseconds);
  int64_t PositionMicroseconds();

  // Milliseconds from the last Play to the first sound of it handed to the device, -1 while
  // nothing of it has been heard. For measurements.
  double FirstSoundDelayMs() const;
  // Milliseconds from the last Play or Seek to the first sound decoded for it handed to the
  // device, -1 while nothing of it has been heard. For measurements.
  double RequestSoundDelayMs() const;
  // Sound devices opened so far. For measurements.
  int DeviceSessions() const { return device_sessions_.load(std::memory_order_relaxed); }

 private:
  // What the user-interface thread asks the decode thread for; guarded by request_lock_.
  struct Request {
    std::shared_ptr<Mp3Stream> track;
    uint32_t epoch = 0;
    int64_t start_frame = 0;
    bool run = false;  // decode from start_frame; false: stopped
  };

  // The queued track as the decode thread learns of it: it follows segment `follows`.
  struct QueuedRequest {
    std::shared_ptr<Mp3Stream> track;
    uint32_t segment = 0;
    uint32_t follows = 0;
  };

  uint32_t NextSerial();
  void Post(bool run, int64_t start_frame);
  void PostQueued(std::shared_ptr<Mp3Stream> track, uint32_t segment);
  void DropQueued();
  // Catches up with what the sound callback has done: a join heard, the end heard.
  void Sync();
  // Seek and SeekMicroseconds once the target is in frames.
  void SeekToFrame(int64_t frame);
  // The frame the listener has heard of the open track: the callback's, once the track's
  // segment has sounded, else where the epoch began; 0 when stopped.
  int64_t HeardFrame() const;
  bool RequestPending();  // a request, a queued request or the quit not yet taken

  // The decode thread's side, in player.cpp: the cursor over the epoch and segment it decodes,
  // and the loop that moves it and keeps the sound device.
  class DecodeCursor;
  class DecodeThread;
  void DecodeLoop();

  // The sound callback's side, in named steps of one callback.
  struct Take;
  enum class JoinStep { kJoined, kSkip, kRetry, kEnded };
  static void FillSound(void* self, float* samples, int frames, int channels);
  void Fill(float* samples, int frames, int channels);
  // Plays again what a lost device was last given; true while a replay was under way.
  bool PlayAgain(float* samples, int frames, int channels, uint32_t wanted, bool paused,
                 Take* take);
  void TakeFromRing(float* samples, int frames, int channels, uint32_t wanted, bool paused,
                    Take* take);
  void SkipChunk(Take* take);
  // Past the playing segment's end: the queued segment's chunk joined on, skipped, looked at
  // again, or the end of the track.
  JoinStep Join(const SoundChunk& chunk, uint32_t wanted, Take* take);
  // The playing segment's end marker: true when a queued segment is to follow.
  bool PassEnd(uint32_t wanted, Take* take);
  void EndHere(uint32_t wanted, Take* take);
  // Keeps the last periods of sound for a replay after a lost device.
  void KeepLastSound(const float* samples, std::size_t samples_wanted, uint32_t wanted,
                     bool replayed, bool all_sound);
  void ReportHeard(uint32_t wanted, int64_t heard_frame);

  // User-interface thread only.
  std::shared_ptr<Mp3Stream> open_track_;
  int rate_ = 0;
  int64_t length_frames_ = -1;
  int mode_ = VBMP3_STOPPED;
  GainMode gain_mode_ = GainMode::kOff;      // for the next track opened or queued
  uint32_t serial_ = 0;                      // numbers epochs and queued segments alike
  uint32_t epoch_ = 0;                       // the last play, seek, stop or close
  uint32_t segment_ = 0;                     // the segment the open track is heard as
  int64_t start_frame_ = 0;                  // where the current epoch began
  uint32_t request_epoch_ = 0;               // the epoch of the last play or seek
  int64_t request_ns_ = 0;                   // when it was asked for
  std::shared_ptr<Mp3Stream> queued_track_;  // null when nothing is queued
  uint32_t queued_segment_id_ = 0;
  vbmp3_info queued_info_{};
  bool started_ = false;  // a join was heard and not yet reported
  vbmp3_info started_info_{};

  // Shared between the user-interface and the decode thread.
  std::mutex request_lock_;
  Request request_;               // guarded by request_lock_
  bool request_new_ = false;      // guarded by request_lock_
  QueuedRequest queued_request_;  // guarded by request_lock_
  bool queued_new_ = false;       // guarded by request_lock_
  bool quit_ = false;             // guarded by request_lock_
  sem_t wake_;                    // posted by every thread; the decode thread waits on it

  // Shared with the sound callback, lock-free; each written by one side only.
  ChunkRing ring_;                         // decode thread -> callback
  Equalizer equalizer_;                    // gains from any thread, filtering in callback
  std::atomic<uint32_t> wanted_epoch_{0};  // written by the UI thread
  std::atomic<bool> paused_{false};        // written by the UI thread
  std::atomic<uint64_t> heard_{0};         // callback: segment << 40 | frames heard
  // The queued track's segment, 0 for none: the UI thread writes it, the callback claims it at
  // the join by setting kClaimed (one compare-exchange, so a drop and a join never both win).
  std::atomic<uint32_t> queued_segment_{0};
  std::atomic<uint32_t> drained_segment_{0};  // callback: the last segment whose end it passed
  std::atomic<uint32_t> ended_epoch_{~0u};    // callback (or decode thread): track ended
  std::atomic<int64_t> play_time_ns_{0};      // written by the UI thread
  std::atomic<int64_t> first_sound_ns_{0};    // written by the callback
  std::atomic<int64_t> epoch_sound_ns_{0};    // callback: when sounding_epoch_ was first heard,
  std::atomic<uint32_t> sounded_epoch_{0};    // published by this (release) after the time
  std::atomic<int> device_sessions_{0};       // written by the decode thread
  std::atomic<bool> replay_{false};           // set by the decode thread when the device was lost
  // Callback only.
  uint32_t sounding_epoch_ = ~0u;
  uint32_t callback_epoch_ = 0;  // the epoch the two values below belong to
  uint32_t playing_segment_ = 0;
  uint32_t join_target_ = 0;  // past the playing segment's end, waiting for this queued one
  // The last kReplayPeriods callbacks' sound, older first, while they were all sound (before
  // the equalizer), their size in samples and epoch; what of it is still to be played again.
  static constexpr int kReplayPeriods = 2;
  std::array<float, kReplayPeriods * SoundChunk::kFrames * 2> last_sound_{};
  std::size_t last_sound_size_ = 0;
  int last_sound_periods_ = 0;
  uint32_t last_sound_epoch_ = 0;
  std::size_t replay_from_ = 0;
  std::size_t replay_left_ = 0;

  std::thread decoder_;  // last: starts after everything above exists
};

}  // namespace veldan
