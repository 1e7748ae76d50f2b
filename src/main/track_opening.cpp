// The main window's now-playing display: the time labels, the album and song titles, and what an
// opened track shows of itself.
#include <QCoreApplication>
#include <QLabel>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "catalogue/track_titles.h"
#include "main/main_window.h"
#include "main/time_text.h"

namespace veldan {

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

void TForm_main::CurrentEntryChanged() {
  ShowTrackTitles();
}

void TForm_main::StartingFolderChanged() {
  ShowStartingFolderInTitle();
}

void TForm_main::ElapsedChanged(int32_t seconds) {
  SetTimeLabel(Label_time, seconds);
}

// Titles from the track's tags (numbered as the path's are), its format and its total time.
void TForm_main::TrackOpened() {
  const vbmp3_info& info = controller_.TrackInfo();
  if (info.title[0] != '\0') {
    ShowProgramText(Label_song, NumberedTitle(info.title, track_in_album_, tracks_in_album_));
  }
  if (info.artist[0] != '\0') {
    ShowProgramText(Label_album, NumberedTitle(info.artist, album_number_, album_count_));
  }
  const std::string rate = std::to_string(info.sample_rate / 1000) + "KHz ";
  if (info.channels == 2) {
    SetLabelColour(Label_stereo, kColourRed);
    Label_stereo->setText(QString::fromStdString("STEREO " + rate));
  } else {
    SetLabelColour(Label_stereo, kColourYellow);
    Label_stereo->setText(QString::fromStdString("MONO " + rate));
  }
  SetTimeLabel(Label_total_time, info.length);
  QCoreApplication::processEvents();
}

}  // namespace veldan
