// Opening the current track and the now-playing display of the main window.
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <unistd.h>

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "main/flag_scope.h"
#include "main/main_window.h"
#include "main/time_text.h"
#include "main/track_titles.h"
#include "platform/drives.h"
#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {
namespace {

std::string_view BoundedText(const char* text, size_t capacity) {
  return std::string_view(text, strnlen(text, capacity - 1));
}

}  // namespace

void TForm_main::SetTimeLabel(QLabel* label, int32_t seconds) {
  label->setText(QString::fromStdString(TimeText(seconds)));
  QCoreApplication::processEvents();
}

void TForm_main::ShowTrackTitles() {
  const TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t index = catalogue.current;
  if (index < 0 || index >= catalogue.count) {
    Label_album->setText(QStringLiteral("Album Title "));
    Label_song->setText(QStringLiteral("Song Title "));
    return;
  }

  TrackPathParts parts;
  SplitTrackPath(catalogue.entries[index], &parts);

  const int32_t first = AlbumFirstIndex(index);
  const int32_t last = AlbumLastIndex(index);
  track_in_album_ = index - first + 1;
  tracks_in_album_ = last - first + 1;
  album_number_ = AlbumNumberOf(index);
  album_count_ = AlbumNumberOf(catalogue.count - 1);

  ShowProgramText(Label_album, NumberedTitle(parts.folder, album_number_, album_count_));
  ShowProgramText(Label_song, NumberedTitle(parts.file, track_in_album_, tracks_in_album_));
}

bool TForm_main::CurrentEntryReadable() const {
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

bool TForm_main::MediumMayHaveChanged() const {
  if (rebuilt_since_play_) return false;
  const TrackCatalogue& catalogue = g_state.catalogue;
  const char letter = DriveLetterOf(g_state.starting_folder);
  if (letter == '\0' || DriveLetterOf(catalogue.entries[catalogue.current]) != letter) return false;
  const char root[4] = {letter, ':', '\\', '\0'};
  if (DriveKindOf(root) != DriveKind::kCdRom) return false;
  // A drive whose root is the host's root would rebuild by searching the whole computer.
  std::string host_root;
  return ProgramPathToHost(root, &host_root) && host_root != "/";
}

void TForm_main::CountFailedOpening() {
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

void TForm_main::OpenCurrentTrack() {
  // The messages an opening lets run can bring a poll that finds the decoder stopped, or another
  // Play; the opening already under way is the one that counts.
  if (opening_track_) return;
  PollStepHold hold(this);
  FlagScope opening(&opening_track_);
  OpenTrack();
}

void TForm_main::OpenTrack() {
  TrackCatalogue& catalogue = g_state.catalogue;
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
    ShowStartingFolderInTitle();
    QCoreApplication::processEvents();
    BuildCatalogue(g_state.starting_folder);
    ShowTrackTitles();
    readable = CurrentEntryReadable();
  }
  // An empty new medium ends play; so does an index that a handler run during the build's
  // message pumping left outside the catalogue. No slot at or past the count is read.
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) {
    g_state.continuous_play = false;
    return;
  }
  ShowTrackTitles();
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
  failed_in_a_row_ = 0;
  last_failed_index_ = -1;
  rebuilt_since_play_ = false;
  ShowOpenedTrack();
}

void TForm_main::ShowOpenedTrack() {
  ShowPlayStatus();
  if (track_info_.title[0] != '\0') {
    ShowProgramText(Label_song,
                    NumberedTitle(track_info_.title, track_in_album_, tracks_in_album_));
  }
  if (track_info_.artist[0] != '\0') {
    ShowProgramText(Label_album, NumberedTitle(track_info_.artist, album_number_, album_count_));
  }
  const std::string rate = std::to_string(track_info_.sample_rate / 1000) + "KHz ";
  if (track_info_.channels == 2) {
    SetLabelColour(Label_stereo, kColourRed);
    Label_stereo->setText(QString::fromStdString("STEREO " + rate));
  } else {
    SetLabelColour(Label_stereo, kColourYellow);
    Label_stereo->setText(QString::fromStdString("MONO " + rate));
  }
  SetTimeLabel(Label_total_time, track_info_.length);
  QCoreApplication::processEvents();
}

void TForm_main::StartPlayback() {
  // Each start gets a fresh failure budget: a catalogue of missing files is tried once round.
  failed_in_a_row_ = 0;
  last_failed_index_ = -1;
  play_given_up_ = false;
  OpenCurrentTrack();
  // An empty catalogue has stopped play inside the opening; the buttons stay as they are.
  if (g_state.catalogue.count <= 0) return;
  SetStartButtonsEnabled(false);
  if (!play_given_up_) g_state.continuous_play = true;
}

void TForm_main::ShowPlayStatus() {
  const std::string text = "Play " + std::to_string(track_info_.bitrate) + "k";
  SetStatus(text.c_str(), kColourAqua);
}

}  // namespace veldan
