// The vbmp3 operations: a thin C face over the one Player of the process.
#include "decoder/vbmp3.h"

#include <memory>

#include "decoder/playback_stats.h"
#include "decoder/player.h"

namespace {

// Created by vbmp3_init, destroyed by vbmp3_free; every operation before or after does nothing
// and returns 0. Touched from the user-interface thread only.
std::unique_ptr<veldan::Player> g_player;

}  // namespace

extern "C" {

int vbmp3_init(void) {
  if (!g_player) g_player = std::make_unique<veldan::Player>();
  return 1;
}

int vbmp3_free(void) {
  g_player.reset();
  return 1;
}

int vbmp3_setEqualizer(const int32_t* gains) {
  if (!g_player || gains == nullptr) return 0;
  g_player->SetEqualizer(gains);
  return 1;
}

int vbmp3_setGainMode(int mode) {
  return g_player && g_player->SetGainMode(mode) ? 1 : 0;
}

int vbmp3_open(const char* path, vbmp3_info* info) {
  return g_player && g_player->Open(path, info) ? 1 : 0;
}

int vbmp3_close(void) {
  if (g_player) g_player->Close();
  return 1;
}

int vbmp3_play(void) {
  return g_player && g_player->Play() ? 1 : 0;
}

int vbmp3_stop(void) {
  if (g_player) g_player->Stop();
  return 1;
}

int vbmp3_pause(void) {
  if (g_player) g_player->Pause();
  return 1;
}

int vbmp3_restart(void) {
  if (g_player) g_player->Restart();
  return 1;
}

int vbmp3_seek(int32_t seconds) {
  if (g_player) g_player->Seek(seconds);
  return 1;
}

int vbmp3_queue(const char* path) {
  return g_player && g_player->Queue(path) ? 1 : 0;
}

int vbmp3_queuedStarted(vbmp3_info* info) {
  return g_player && g_player->QueuedStarted(info) ? 1 : 0;
}

int vbmp3_getState(int32_t* position) {
  if (!g_player) {
    if (position != nullptr) *position = 0;
    return VBMP3_STOPPED;
  }
  return g_player->State(position);
}

int64_t vbmp3_getPositionUs(void) {
  return g_player ? g_player->PositionMicroseconds() : 0;
}

int vbmp3_seekUs(int64_t microseconds) {
  if (g_player) g_player->SeekMicroseconds(microseconds);
  return 1;
}

}  // extern "C"

namespace veldan {

double FirstSoundDelayMs() {
  return g_player ? g_player->FirstSoundDelayMs() : -1.0;
}

double RequestSoundDelayMs() {
  return g_player ? g_player->RequestSoundDelayMs() : -1.0;
}

int DeviceSessions() {
  return g_player ? g_player->DeviceSessions() : 0;
}

}  // namespace veldan
