// Opening the current track and the now-playing display of the main window.
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "main/flag_scope.h"
#include "main/main_window.h"
#include "main/time_text.h"
#include "main/track_titles.h"
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
  std::FILE* file = std::fopen(host_path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void TForm_main::OpenCurrentTrack() {
  // The messages an opening lets run can bring a poll that finds the decoder stopped, or another
  // Play; the opening already under way is the one that counts.
  if (opening_track_) return;
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

  if (!CurrentEntryReadable()) {
    // The file has gone: the medium counts as changed, and the new one is searched from its root.
    if (strnlen(g_state.starting_folder, kTextSize) > 2) g_state.starting_folder[2] = '\0';
    ShowStartingFolderInTitle();
    QCoreApplication::processEvents();
    BuildCatalogue(g_state.starting_folder);
    ShowTrackTitles();
  }
  // An empty new medium ends play; so does an index that a handler run during the build's
  // message pumping left outside the catalogue. No slot at or past the count is read.
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) {
    g_state.continuous_play = false;
    return;
  }
  ShowTrackTitles();

  char path[kTextSize];
  CopyText(path, sizeof path, BoundedText(catalogue.entries[catalogue.current], kTextSize));
  vbmp3_close();
  vbmp3_info opened{};
  if (vbmp3_open(path, &opened) == 0) return;
  track_info_ = opened;
  track_info_.title[sizeof track_info_.title - 1] = '\0';
  track_info_.artist[sizeof track_info_.artist - 1] = '\0';
  if (vbmp3_play() == 0) return;
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
  OpenCurrentTrack();
  // An empty catalogue has stopped play inside the opening; the buttons stay as they are.
  if (g_state.catalogue.count <= 0) return;
  SetStartButtonsEnabled(false);
  g_state.continuous_play = true;
}

void TForm_main::ShowPlayStatus() {
  const std::string text = "Play " + std::to_string(track_info_.bitrate) + "k";
  SetStatus(text.c_str(), kColourAqua);
}

}  // namespace veldan
