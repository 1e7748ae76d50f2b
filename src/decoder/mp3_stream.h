// One MP3 track, decoded by libmpg123 into interleaved float samples.
//
// Opening reads up to the first audio frame: a file whose format can't be found there (text, a
// WAV under an .mp3 name, random bytes) does not open. The output format found there holds for
// the whole track; a later frame in another rate or channel count is converted into it, so the
// sound device never changes in the middle of a track. The end of a track is where the decoder
// says it is (a truncated file ends early), never where the length said it would be.
//
// A stream belongs to one thread at a time: it is opened on the user-interface thread and then
// handed to the decode thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "decoder/replay_gain.h"

namespace veldan {

// What a track says about itself, for the track information record.
struct TrackFacts {
  std::string title;    // program text, empty when the tags have none
  std::string artist;   // program text, likewise
  int channels = 0;     // of the stream: 1 mono, 2 for every two-channel mode
  int bitrate = 0;      // kbit/s; the average for a variable bit rate
  int sample_rate = 0;  // Hz
  int length = -1;      // whole seconds, -1 when not known
  double gain_db = 0;   // the ReplayGain the samples carry, after its peak's limit; 0 for none
};

class Mp3Stream {
 public:
  // Opens host_path, reading only its start: the length comes from a Xing/LAME header, or else is
  // estimated from the first frames and the file size (never a read of the whole file, which
  // takes seconds on a disc, a stick or a network share). Null when the file can't be read or
  // holds no MP3 audio. Every sample carries the gain chosen by gain (see replay_gain.h); a
  // track whose tags tell no gain of either kind, or kOff, decodes exactly as it is.
  static std::unique_ptr<Mp3Stream> Open(const std::string& host_path,
                                         GainMode gain = GainMode::kOff);
  ~Mp3Stream();
  Mp3Stream(const Mp3Stream&) = delete;
  Mp3Stream& operator=(const Mp3Stream&) = delete;

  const TrackFacts& facts() const { return facts_; }
  // Output format: every Read delivers frames of channels() floats at rate() Hz.
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  // Length in frames, -1 when not known.
  int64_t length_frames() const { return length_frames_; }
  // What the desktop calls the sound while this track plays (UTF-8); empty unless set.
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }

  // Moves to a frame (a target past a known end is the end). Returns the frame decoding goes on
  // from, or -1 when the stream can't seek (then it has ended).
  int64_t SeekFrame(int64_t frame);

  // Extends the seek index a little beyond what has been decoded, so that a later seek that far
  // finds its frame at once instead of reading every frame up to it. Meant for moments when the
  // decoder is ahead anyway; takes a few milliseconds at most from memory, one moderate read from
  // a disc. False once the whole track is indexed (or can't be).
  bool IndexAhead();

  // Decodes up to max_frames frames into out (max_frames x channels() floats). Returns the
  // number of frames; fewer than asked only at the end, 0 once the track has ended (its end, a
  // read error, or damage the decoder can't get past).
  std::size_t Read(float* out, std::size_t max_frames);

 private:
  struct Impl;
  explicit Mp3Stream(std::unique_ptr<Impl> impl);
  // Gives the decoder the index read ahead when it reaches further than its own.
  void AdoptScoutIndex();

  std::unique_ptr<Impl> impl_;
  TrackFacts facts_;
  int rate_ = 0;
  int channels_ = 0;
  int64_t length_frames_ = -1;
  std::string name_;
  bool ended_ = false;
  bool untouched_ = true;  // nothing decoded or sought since opening
  int failures_ = 0;       // decode errors since the last good frame
};

}  // namespace veldan
