// The player behind the vbmp3 operations: one open track, its decode thread, the ring buffer,
// the equalizer and the sound device.
//
// All methods except SetEqualizer are called from the program's user-interface thread, one at
// a time; none of them waits for the decoder or the device (vbmp3_open reads the start of the
// file, and the destructor joins the decode thread). SetEqualizer is safe from any thread.
// The threads it runs are described at the top of player.cpp.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "decoder/chunk_ring.h"
#include "decoder/equalizer.h"
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

  // Opens a track given as program text and fills info; closes the previous one first.
  bool Open(const char* program_path, vbmp3_info* info);
  void Close();
  bool Play();
  void Stop();
  void Pause();
  void Restart();
  void Seek(int32_t seconds);
  // VBMP3_STOPPED, VBMP3_PLAYING or VBMP3_PAUSED; the heard position in whole seconds.
  int State(int32_t* position);

  // Milliseconds from the last Play to the first sound of it handed to the device, -1 while
  // nothing of it has been heard. For measurements.
  double FirstSoundDelayMs() const;

 private:
  // What the user-interface thread asks the decode thread for; guarded by request_lock_.
  struct Request {
    std::shared_ptr<Mp3Stream> track;
    uint32_t epoch = 0;
    int64_t start_frame = 0;
    bool run = false;  // decode from start_frame; false: stopped
  };

  void Post(bool run, int64_t start_frame);
  void NoteEnd();
  void DecodeLoop();
  static void FillSound(void* self, float* samples, int frames, int channels);
  void Fill(float* samples, int frames, int channels);

  // User-interface thread only.
  std::shared_ptr<Mp3Stream> open_track_;
  int rate_ = 0;
  int64_t length_frames_ = -1;
  int mode_ = VBMP3_STOPPED;
  uint32_t epoch_ = 0;
  int64_t start_frame_ = 0;  // where the current epoch began

  // Shared between the user-interface and the decode thread.
  std::mutex request_lock_;
  Request request_;           // guarded by request_lock_
  bool request_new_ = false;  // guarded by request_lock_
  bool quit_ = false;         // guarded by request_lock_
  sem_t wake_;                // posted by every thread; the decode thread waits on it

  // Shared with the sound callback, lock-free; each written by one side only.
  ChunkRing ring_;                          // decode thread -> callback
  Equalizer equalizer_;                     // gains from any thread, filtering in callback
  std::atomic<uint32_t> wanted_epoch_{0};   // written by the UI thread
  std::atomic<bool> paused_{false};         // written by the UI thread
  std::atomic<uint64_t> heard_{0};          // callback: epoch << 40 | frames heard
  std::atomic<uint32_t> ended_epoch_{~0u};  // callback (or decode thread): track ended
  std::atomic<int64_t> play_time_ns_{0};    // written by the UI thread
  std::atomic<int64_t> first_sound_ns_{0};  // written by the callback
  uint32_t sounding_epoch_ = ~0u;           // callback only

  std::thread decoder_;  // last: starts after everything above exists
};

}  // namespace veldan
