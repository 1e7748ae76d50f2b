// The gain mode each track is opened with, and the resume point: where play stood, taken up at
// start-up and saved as play goes on.
//
// The decoder keeps the gain mode a track was opened or queued with, so the mode is set before
// every opening and every queueing: a track joined gaplessly plays with the mode that held when
// it was queued, and a change of Random (which drops the queued track) counts from the next
// track on.
//
// The resume point is saved at every track change, every kResumeSaveInterval of play and at
// shut-down, measured by the polls' clock. A resumed track is opened, started and moved to its
// position at once, with no window message let run in between: the decoder drops what it
// decoded for the start unheard, so the listener hears the track from the saved place.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "catalogue/program_state.h"
#include "platform/name_codec.h"
#include "playback/controller_scopes.h"
#include "playback/playback_controller.h"

namespace veldan {

int32_t PlaybackController::GainModeNow() const {
  switch (gain_setting_) {
    case ReplayGainSetting::kOff:
      return VBMP3_GAIN_OFF;
    case ReplayGainSetting::kTrack:
      return VBMP3_GAIN_TRACK;
    case ReplayGainSetting::kAlbum:
      return VBMP3_GAIN_ALBUM;
    case ReplayGainSetting::kAuto:
      break;
  }
  // Under Random the tracks heard one after another are not an album's run, even when the
  // album lock keeps them in one folder: each is levelled on its own.
  return random_ ? VBMP3_GAIN_TRACK : VBMP3_GAIN_ALBUM;
}

void PlaybackController::SetGainModeForNextTrack() {
  vbmp3_setGainMode(GainModeNow());
}

void PlaybackController::TakeUpResumePoint() {
  resume_position_us_ = 0;
  ResumePoint point;
  if (resume_store_ == nullptr || !resume_store_->Load(&point)) return;
  point.starting_folder[sizeof point.starting_folder - 1] = '\0';
  point.track[sizeof point.track - 1] = '\0';
  if (std::strncmp(point.starting_folder, g_state.starting_folder, kTextSize) != 0) return;
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t count = std::clamp(catalogue.count, 0, kCatalogueCapacity);
  for (int32_t i = 0; i < count; ++i) {
    if (std::strncmp(catalogue.entries[i], point.track, kTextSize) != 0) continue;
    catalogue.current = i;
    // Bounded so that a damaged point can't overflow; past the track's end it plays from the
    // start anyway.
    resume_position_us_ =
        std::clamp<int64_t>(point.position_ms, 0, std::numeric_limits<int64_t>::max() / 1000) *
        1000;
    Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
    return;
  }
  // The track has gone: the folder plays from its start, as the search left it.
}

void PlaybackController::SaveResumePoint() {
  if (resume_store_ == nullptr || !resume_point_played_) return;
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) return;
  ResumePoint point;
  CopyText(
      point.starting_folder, sizeof point.starting_folder,
      std::string_view(g_state.starting_folder, strnlen(g_state.starting_folder, kTextSize - 1)));
  CopyText(point.track, sizeof point.track,
           std::string_view(catalogue.entries[catalogue.current],
                            strnlen(catalogue.entries[catalogue.current], kTextSize - 1)));
  int32_t seconds = 0;
  // A stopped track is taken up from its start, as Play would open it.
  if (vbmp3_getState(&seconds) != VBMP3_STOPPED) point.position_ms = vbmp3_getPositionUs() / 1000;
  resume_store_->Save(point);
  last_resume_save_ = clock_();
}

void PlaybackController::SaveResumePointWhenDue() {
  if (resume_store_ == nullptr || !resume_point_played_) return;
  if (clock_() - last_resume_save_ >= kResumeSaveInterval) SaveResumePoint();
}

}  // namespace veldan
