// The ring of decoded sound between the decode thread and the sound callback.
//
// A single-producer, single-consumer ring of fixed chunks: the decode thread fills chunks at
// the back, the sound callback drains them at the front. Neither side waits for the other or
// takes a lock; each index has one writer. 48 chunks of 1024 frames hold about a second of
// sound at 48 kHz and more at lower rates.
//
// Every chunk carries the epoch of the play request it was decoded for (each play, seek and
// stop starts a new epoch), so the callback can drop sound that a later request made stale
// without the two threads ever flushing the ring together, and the segment: which of the tracks
// joined without a gap within that epoch it belongs to.
//
// The decode thread reads ahead only until kReserve chunks are left free, so the first chunks of
// a new request always find room behind the stale ones and are heard at the next callback (which
// drops the stale ones first), instead of waiting one more callback for room.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace veldan {

struct SoundChunk {
  static constexpr std::size_t kFrames = 1024;
  uint32_t epoch = 0;
  uint32_t segment = 0;     // the track within the epoch (one per gapless join)
  bool end = false;         // marks the end of the track instead of carrying sound
  int64_t first_frame = 0;  // track position of samples[0]
  uint32_t frames = 0;      // frames in samples
  uint32_t taken = 0;       // frames the consumer has already played
  float samples[kFrames * 2];
};

class ChunkRing {
 public:
  static constexpr std::size_t kChunks = 48;
  // More than the device takes in one callback at any rate.
  static constexpr std::size_t kReserve = 4;

  // Producer: the free chunk at the back, or null unless more than keep_free chunks are free.
  SoundChunk* Back(std::size_t keep_free = 0) {
    uint64_t w = written_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) + keep_free >= kChunks) return nullptr;
    return &chunks_[w % kChunks];
  }
  // Producer: hands the chunk from Back() to the consumer.
  void Push() { written_.fetch_add(1, std::memory_order_release); }

  // Consumer: the oldest chunk, or null when the ring is empty.
  SoundChunk* Front() {
    uint64_t r = read_.load(std::memory_order_relaxed);
    if (r == written_.load(std::memory_order_acquire)) return nullptr;
    return &chunks_[r % kChunks];
  }
  // Consumer: gives the chunk from Front() back to the producer.
  void Pop() { read_.fetch_add(1, std::memory_order_release); }
  // Consumer: chunks waiting.
  std::size_t Size() const {
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_relaxed));
  }

 private:
  std::array<SoundChunk, kChunks> chunks_;
  alignas(64) std::atomic<uint64_t> written_{0};  // written by the producer only
  alignas(64) std::atomic<uint64_t> read_{0};     // written by the consumer only
};

}  // namespace veldan
