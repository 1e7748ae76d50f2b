#include "fakes/vbmp3_fake.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <set>

namespace veldan::fake {
namespace {

struct FakeDecoder {
  int32_t state = VBMP3_STOPPED;
  int32_t position = 0;
  // Finer than position; it counts only while its whole seconds agree with position, which the
  // rest of the fake (and the tests) set in seconds.
  int64_t position_us = 0;
  int open_result = 1;
  int play_result = 1;
  bool open = false;
  std::string open_path;
  vbmp3_info open_info{};
  std::string queued_path;
  vbmp3_info queued_info{};
  bool started = false;
  vbmp3_info default_info{};
  std::map<std::string, vbmp3_info> info_by_path;
  std::set<std::string> failing_paths;
  std::vector<int32_t> equalizer;
  int32_t gain_mode = VBMP3_GAIN_OFF;
  int32_t open_gain_mode = VBMP3_GAIN_OFF;
  int32_t queued_gain_mode = VBMP3_GAIN_OFF;
  std::vector<DecoderCall> calls;
};

FakeDecoder& Decoder() {
  static FakeDecoder decoder = [] {
    FakeDecoder d;
    d.default_info = MakeTrackInfo("", "", 2, 128, 44100, 300);
    return d;
  }();
  return decoder;
}

void Log(const char* name, const std::string& path = {}, int32_t value = 0) {
  Decoder().calls.push_back(DecoderCall{name, path, value});
}

}  // namespace

vbmp3_info MakeTrackInfo(const char* title, const char* artist, int32_t channels, int32_t bitrate,
                         int32_t sample_rate, int32_t length) {
  vbmp3_info info{};
  std::strncpy(info.title, title, sizeof info.title - 1);
  std::strncpy(info.artist, artist, sizeof info.artist - 1);
  info.channels = channels;
  info.bitrate = bitrate;
  info.sample_rate = sample_rate;
  info.length = length;
  return info;
}

void ResetDecoder() {
  FakeDecoder& d = Decoder();
  d = FakeDecoder{};
  d.default_info = MakeTrackInfo("", "", 2, 128, 44100, 300);
}

void SetDecoderState(int32_t state) {
  Decoder().state = state;
}
void SetDecoderPosition(int32_t seconds) {
  Decoder().position = seconds;
}
int32_t DecoderState() {
  return Decoder().state;
}
int32_t DecoderPosition() {
  return Decoder().position;
}
void SetOpenResult(int result) {
  Decoder().open_result = result;
}
void SetPlayResult(int result) {
  Decoder().play_result = result;
}
void FailOpenOf(const std::string& path) {
  Decoder().failing_paths.insert(path);
}
void SetTrackInfo(const vbmp3_info& info) {
  Decoder().default_info = info;
}
void SetTrackInfoFor(const std::string& path, const vbmp3_info& info) {
  Decoder().info_by_path[path] = info;
}
std::string QueuedPath() {
  return Decoder().queued_path;
}
bool StartQueuedTrack() {
  FakeDecoder& d = Decoder();
  if (d.queued_path.empty()) return false;
  d.open_path = d.queued_path;
  d.open_info = d.queued_info;
  d.open_gain_mode = d.queued_gain_mode;
  d.queued_path.clear();
  d.state = VBMP3_PLAYING;
  d.position = 0;
  d.started = true;
  return true;
}
bool TrackOpen() {
  return Decoder().open;
}
std::string OpenPath() {
  return Decoder().open ? Decoder().open_path : std::string();
}
std::vector<int32_t> LastEqualizer() {
  return Decoder().equalizer;
}
int32_t DecoderGainMode() {
  return Decoder().gain_mode;
}
int32_t OpenedGainMode() {
  return Decoder().open_gain_mode;
}
int32_t QueuedGainMode() {
  return Decoder().queued_gain_mode;
}
const std::vector<DecoderCall>& DecoderCalls() {
  return Decoder().calls;
}
void ClearCallLog() {
  Decoder().calls.clear();
}

std::vector<std::string> CallLog(bool with_get_state, bool with_queue, bool with_gain) {
  std::vector<std::string> log;
  for (const DecoderCall& call : Decoder().calls) {
    if (call.name == "setGainMode" && !with_gain) continue;
    if ((call.name == "getState" || call.name == "getPositionUs") && !with_get_state) continue;
    if ((call.name == "queue" || call.name == "queuedStarted") && !with_queue) continue;
    if (call.name == "open" || call.name == "queue") {
      log.push_back(call.name + " " + call.path);
    } else if (call.name == "seek") {
      log.push_back("seek " + std::to_string(call.value));
    } else if (call.name == "setGainMode") {
      log.push_back("setGainMode " + std::to_string(call.value));
    } else if (call.name == "seekUs") {
      log.push_back("seek_ms " + std::to_string(call.value));
    } else {
      log.push_back(call.name);
    }
  }
  return log;
}

}  // namespace veldan::fake

using veldan::fake::Decoder;
using veldan::fake::FakeDecoder;
using veldan::fake::Log;

namespace {

// What the real library does on open, close, play, stop and seek: the queued track is dropped.
void DropQueued() {
  Decoder().queued_path.clear();
}

// Looks up the record an open of path would fill.
vbmp3_info InfoFor(const std::string& path) {
  FakeDecoder& d = Decoder();
  const auto found = d.info_by_path.find(path);
  return found != d.info_by_path.end() ? found->second : d.default_info;
}

}  // namespace

extern "C" {

int vbmp3_init(void) {
  Log("init");
  return 1;
}

int vbmp3_free(void) {
  Log("free");
  return 1;
}

int vbmp3_setEqualizer(const int32_t* gains) {
  Log("setEqualizer");
  Decoder().equalizer.assign(gains, gains + 10);
  return 1;
}

int vbmp3_setGainMode(int mode) {
  Log("setGainMode", {}, mode);
  if (mode != VBMP3_GAIN_OFF && mode != VBMP3_GAIN_TRACK && mode != VBMP3_GAIN_ALBUM) return 0;
  Decoder().gain_mode = mode;
  return 1;
}

int vbmp3_open(const char* path, vbmp3_info* info) {
  FakeDecoder& d = Decoder();
  const std::string text(path, strnlen(path, 512));
  Log("open", text);
  DropQueued();
  d.started = false;
  d.open = false;
  d.open_path.clear();
  d.state = VBMP3_STOPPED;
  d.position = 0;
  if (d.open_result == 0 || d.failing_paths.count(text) != 0) return 0;
  d.open_info = InfoFor(text);
  *info = d.open_info;
  d.open_gain_mode = d.gain_mode;
  d.open = true;
  d.open_path = text;
  return 1;
}

int vbmp3_close(void) {
  FakeDecoder& d = Decoder();
  Log("close");
  DropQueued();
  d.started = false;
  d.open = false;
  d.open_path.clear();
  d.state = VBMP3_STOPPED;
  return 1;
}

int vbmp3_play(void) {
  FakeDecoder& d = Decoder();
  Log("play");
  DropQueued();
  if (!d.open || d.play_result == 0) return 0;
  d.state = VBMP3_PLAYING;
  d.position = 0;
  return 1;
}

int vbmp3_stop(void) {
  Log("stop");
  DropQueued();
  Decoder().state = VBMP3_STOPPED;
  return 1;
}

int vbmp3_pause(void) {
  FakeDecoder& d = Decoder();
  Log("pause");
  if (d.state == VBMP3_PLAYING) d.state = VBMP3_PAUSED;
  return 1;
}

int vbmp3_restart(void) {
  FakeDecoder& d = Decoder();
  Log("restart");
  if (d.state == VBMP3_PAUSED) d.state = VBMP3_PLAYING;
  return 1;
}

int vbmp3_seek(int32_t seconds) {
  FakeDecoder& d = Decoder();
  Log("seek", {}, seconds);
  DropQueued();
  if (!d.open) return 0;
  int32_t target = std::max(seconds, 0);
  if (d.open_info.length >= 0) target = std::min(target, d.open_info.length);
  d.position = target;
  return 1;
}

int vbmp3_queue(const char* path) {
  FakeDecoder& d = Decoder();
  const std::string text = path != nullptr ? std::string(path, strnlen(path, 512)) : std::string();
  Log("queue", text);
  DropQueued();
  if (text.empty() || !d.open || d.state == VBMP3_STOPPED) return 0;
  if (d.open_result == 0 || d.failing_paths.count(text) != 0) return 0;
  d.queued_path = text;
  d.queued_info = InfoFor(text);
  d.queued_gain_mode = d.gain_mode;
  return 1;
}

int vbmp3_queuedStarted(vbmp3_info* info) {
  FakeDecoder& d = Decoder();
  Log("queuedStarted");
  if (!d.started) return 0;
  d.started = false;
  *info = d.open_info;
  return 1;
}

int vbmp3_getState(int32_t* position) {
  FakeDecoder& d = Decoder();
  Log("getState");
  if (position != nullptr) *position = d.state == VBMP3_STOPPED ? 0 : d.position;
  return d.state;
}

int64_t vbmp3_getPositionUs(void) {
  FakeDecoder& d = Decoder();
  Log("getPositionUs");
  if (d.state == VBMP3_STOPPED) return 0;
  if (d.position_us / 1000000 != d.position) d.position_us = int64_t{d.position} * 1000000;
  return d.position_us;
}

// Logged in milliseconds.
int vbmp3_seekUs(int64_t microseconds) {
  FakeDecoder& d = Decoder();
  Log("seekUs", {},
      static_cast<int32_t>(std::clamp<int64_t>(microseconds / 1000,
                                               std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max())));
  DropQueued();
  if (!d.open) return 0;
  int64_t target = std::max<int64_t>(microseconds, 0);
  if (d.open_info.length >= 0) target = std::min(target, int64_t{d.open_info.length} * 1000000);
  d.position_us = target;
  d.position = static_cast<int32_t>(target / 1000000);
  return 1;
}

}  // extern "C"
