// The fake decoder library: every vbmp3 operation, with no sound and no files, driven by a test.
//
// A test links vbmp3_fake instead of vbmp3, sets what the library reports (state, position, the
// track information that an open fills, whether open and play succeed) and reads back which
// operations the program called, in order. The fake moves between states as the real library
// does (play starts, pause and restart toggle, stop and close stop), so a test only sets what the
// real library would decide on its own: the end of a track, a file that does not open.
//
// Same thread rule as vbmp3: one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/vbmp3.h"

namespace veldan::fake {

struct DecoderCall {
  std::string name;   // "open", "play", "seek", ... (the operation without its "vbmp3_" prefix)
  std::string path;   // open: the path passed
  int32_t value = 0;  // seek: the position passed
};

// Back to a fresh library: stopped, nothing open, position 0, every open and play succeeds,
// default track information (stereo, 128 kbit/s, 44100 Hz, 300 s, no texts), empty call log.
void ResetDecoder();

// What getState reports from now on (the position reads 0 while stopped, as the library's does).
void SetDecoderState(int32_t state);
void SetDecoderPosition(int32_t seconds);
int32_t DecoderState();
int32_t DecoderPosition();

// Results of later opens and plays (nonzero succeeds).
void SetOpenResult(int result);
void SetPlayResult(int result);
// An open of exactly this path fails, whatever SetOpenResult says.
void FailOpenOf(const std::string& path);

// Track information copied into the caller's record by a successful open; a path-specific record
// wins over the default one.
void SetTrackInfo(const vbmp3_info& info);
void SetTrackInfoFor(const std::string& path, const vbmp3_info& info);
vbmp3_info MakeTrackInfo(const char* title, const char* artist, int32_t channels, int32_t bitrate,
                         int32_t sample_rate, int32_t length);

// The path queued to follow the open track, empty when none is.
std::string QueuedPath();
// The queued track starts as the real library's join does: it becomes the open track, playing
// from 0, and the next queuedStarted call reports it. False when nothing was queued.
bool StartQueuedTrack();

bool TrackOpen();
// The path of the track open now, empty when none is.
std::string OpenPath();
// The gains of the last setEqualizer call; empty before the first.
std::vector<int32_t> LastEqualizer();
// The gain mode set last (VBMP3_GAIN_OFF until setGainMode is called), and the one the open
// track and the queued track were opened with, as the real library keeps it per track.
int32_t DecoderGainMode();
int32_t OpenedGainMode();
int32_t QueuedGainMode();

const std::vector<DecoderCall>& DecoderCalls();
// The log as short texts ("open D:\a.mp3", "play", "seek 50", "seek_ms 50400" for a seek in
// microseconds, "queue D:\b.mp3", "setGainMode 2"), getState and getPositionUs calls left out
// unless asked for (a poll calls it every time and it changes nothing), the gapless queue's
// calls (queue, queuedStarted) left out unless asked for, and so are setGainMode calls (the
// controller sets the mode before every open and queue; DecoderGainMode and OpenedGainMode tell
// what came of them).
std::vector<std::string> CallLog(bool with_get_state = false, bool with_queue = false,
                                 bool with_gain = false);
void ClearCallLog();

}  // namespace veldan::fake
