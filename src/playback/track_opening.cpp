// Opening the current track: the wait for its medium, the rebuild when a disc was swapped, the
// failure budget that ends play once nothing could ever play, and what an opened track shows.
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_window.h"
#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "playback/controller_scopes.h"
#include "playback/flag_scope.h"
#include "playback/playback_controller.h"

namespace veldan {
namespace {

std::string_view BoundedText(const char* text, size_t capacity) {
  return std::string_view(text, strnlen(text, capacity - 1));
}

}  // namespace

bool PlaybackController::CurrentEntryReadable() const {
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) return false;
  std::string host_path;
  if (!ProgramPathToHost(catalogue.entries[catalogue.current], &host_path)) return false;
  // Only a regular file counts: a named pipe would block the open until a writer came.
  const int fd = OpenRegularFile(host_path);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// True when the current entry's missing file may mean a swapped disc: it lies on the starting
// folder's drive, that drive is a CD drive, and no rebuild has happened since a track played.
bool PlaybackController::MediumMayHaveChanged() const {
  if (rebuilt_since_play_) return false;
  const TrackCatalogue& catalogue = g_state.catalogue;
  const char letter = DriveLetterOf(g_state.starting_folder);
  if (letter == '\0' || DriveLetterOf(catalogue.entries[catalogue.current]) != letter) return false;
  const DriveRoot root(letter);
  if (DriveKindOf(root.c_str()) != DriveKind::kCdRom) return false;
  // A drive whose root is the host's root would rebuild by searching the whole computer.
  std::string host_root;
  return ProgramPathToHost(root.c_str(), &host_root) && host_root != "/";
}

void PlaybackController::CountFailedOpening() {
  const int32_t index = g_state.catalogue.current;
  const bool same_again = index == last_failed_index_;
  last_failed_index_ = index;
  ++failed_in_a_row_;
  // Every entry has failed in turn, or the same entry comes round again (Repeat, or an album of
  // one under the lock): cycling on would never play anything.
  if (failed_in_a_row_ >= g_state.catalogue.count || same_again) {
    g_state.continuous_play = false;
    play_given_up_ = true;
    return;
  }
  // The next entry is tried at once rather than after a tick of silence.
  RunPollStepSoon();
}

void PlaybackController::OpenCurrentTrack() {
  // The messages an opening lets run can bring a poll that finds the decoder stopped, or another
  // Play; the opening already under way is the one that counts.
  if (opening_track_) return;
  Entry entry(this);
  PollStepHold hold(this);
  FlagScope opening(&opening_track_);
  OpenTrack();
}

// The opening itself; callers hold opening_track_.
void PlaybackController::OpenTrack() {
  TrackCatalogue& catalogue = g_state.catalogue;
  // A resume point's position is for the first opening only, whichever entry it opens.
  const int64_t resume_us = std::exchange(resume_position_us_, 0);
  // Nothing to open: play stops here rather than rebuilding the catalogue at every poll.
  if (catalogue.count <= 0) {
    g_state.continuous_play = false;
    return;
  }

  // A wait ended because the window is closing: nothing more is to be played.
  if (!WaitForMedia(g_state.starting_folder) && g_state.closing) return;

  bool readable = CurrentEntryReadable();
  if (!readable && MediumMayHaveChanged()) {
    // A file on a CD has gone: the disc counts as swapped, and the new one is searched from its
    // root. Only once until a track plays, so a disc of missing files can't rebuild for ever.
    rebuilt_since_play_ = true;
    failed_in_a_row_ = 0;
    last_failed_index_ = -1;
    if (strnlen(g_state.starting_folder, kTextSize) > 2) g_state.starting_folder[2] = '\0';
    Tell([](PlaybackListener* l) { l->StartingFolderChanged(); });
    host_->PumpMessages();
    BuildCatalogue(g_state.starting_folder);
    Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
    readable = CurrentEntryReadable();
  }
  // An empty new medium ends play; so does an index that a handler run during the build's
  // message pumping left outside the catalogue. No slot at or past the count is read.
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) {
    g_state.continuous_play = false;
    return;
  }
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
  // Anywhere else a file that has gone is skipped as an undecodable one is: the decoder stays
  // stopped and the next poll moves on in the current play order.
  if (!readable) {
    // Closed as after a file that does not decode: the last track's file (on a disc, too) is
    // not held open while play moves on.
    vbmp3_close();
    CountFailedOpening();
    return;
  }

  char path[kTextSize];
  CopyText(path, sizeof path, BoundedText(catalogue.entries[catalogue.current], kTextSize));
  vbmp3_close();
  SetGainModeForNextTrack();
  vbmp3_info opened{};
  if (vbmp3_open(path, &opened) == 0) {
    CountFailedOpening();
    return;
  }
  track_info_ = opened;
  track_info_.title[sizeof track_info_.title - 1] = '\0';
  track_info_.artist[sizeof track_info_.artist - 1] = '\0';
  if (vbmp3_play() == 0) {
    CountFailedOpening();
    return;
  }
  // The resumed place, straight after the start and before any message runs: what was decoded
  // for the start is dropped unheard. A place past the track's end plays the track from its
  // start.
  const bool resumed =
      resume_us > 0 &&
      (track_info_.length <= 0 || resume_us < int64_t{track_info_.length} * kMicrosecondsPerSecond);
  if (resumed) vbmp3_seekUs(resume_us);
  failed_in_a_row_ = 0;
  last_failed_index_ = -1;
  rebuilt_since_play_ = false;
  ShowOpenedTrack();
  if (resumed) Tell([resume_us](PlaybackListener* l) { l->Seeked(resume_us); });
}

// What an opened track shows: the play status, then its titles, format and total time.
void PlaybackController::ShowOpenedTrack() {
  // A track change: where play stands is saved with it.
  resume_point_played_ = true;
  SaveResumePoint();
  ShowPlayStatus();
  Tell([](PlaybackListener* l) { l->TrackOpened(); });
}

void PlaybackController::StartPlayback() {
  Entry entry(this);
  // Each start gets a fresh failure budget: a catalogue of missing files is tried once round.
  failed_in_a_row_ = 0;
  last_failed_index_ = -1;
  play_given_up_ = false;
  OpenCurrentTrack();
  // An empty catalogue has stopped play inside the opening; the controls stay as they are.
  if (g_state.catalogue.count <= 0) return;
  SetStartControlsEnabled(false);
  if (!play_given_up_) g_state.continuous_play = true;
}

// "Play " + bit rate + "k" in aqua.
void PlaybackController::ShowPlayStatus() {
  const std::string text = "Play " + std::to_string(track_info_.bitrate) + "k";
  Tell([&text](PlaybackListener* l) { l->StatusChanged(text.c_str(), kColourAqua); });
}

}  // namespace veldan
