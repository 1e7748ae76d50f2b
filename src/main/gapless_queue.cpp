// The main window's side of gapless play: while a track plays, the decoder is told which track
// the end-of-track step would open next, opens it ahead and joins it on without a gap; the poll
// then learns that it has started and does the end-of-track step's bookkeeping without opening
// anything. Whatever changes what comes next drops the queued track, and the next poll queues
// again under the rules as they are then.
#include <QCheckBox>
#include <cstring>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "main/flag_scope.h"
#include "main/main_window.h"
#include "platform/name_codec.h"

namespace veldan {

void TForm_main::QueueNextTrack() {
  if (queue_tried_ || !g_state.continuous_play) return;
  // One try per track: a file that does not open ahead is not asked for again at every poll,
  // and for Random the index drawn here is the one that plays.
  queue_tried_ = true;
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) return;
  const int32_t next = CheckBox_repeat->isChecked()
                           ? catalogue.current
                           : NextFileIndex(catalogue.current, CheckBox_album_lock->isChecked(),
                                           CheckBox_random->isChecked());
  if (next < 0 || next >= catalogue.count) return;
  char path[kTextSize];
  CopyText(path, sizeof path,
           std::string_view(catalogue.entries[next], strnlen(catalogue.entries[next], kTextSize - 1)));
  if (vbmp3_queue(path) == 0) return;
  queued_index_ = next;
  CopyText(queued_path_, sizeof queued_path_, path);
}

void TForm_main::TakeQueuedTrack(const vbmp3_info& info) {
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t index = queued_index_;
  ForgetQueuedTrack();
  // The catalogue was replaced under the queued track (that drops it, but a join may come
  // first): the track stops, and the end-of-track step goes on from the current entry.
  if (index < 0 || index >= catalogue.count ||
      std::strncmp(catalogue.entries[index], queued_path_, kTextSize) != 0) {
    vbmp3_stop();
    return;
  }
  FlagScope opening(&opening_track_);
  DrawSeekBar(0);
  catalogue.current = index;
  ShowTrackTitles();
  track_info_ = info;
  track_info_.title[sizeof track_info_.title - 1] = '\0';
  track_info_.artist[sizeof track_info_.artist - 1] = '\0';
  ShowOpenedTrack();
  SetStartButtonsEnabled(false);
}

void TForm_main::ForgetQueuedTrack() {
  queued_index_ = -1;
  queue_tried_ = false;
}

void TForm_main::DropQueuedTrack() {
  vbmp3_info info;
  if (!opening_track_ && vbmp3_queuedStarted(&info) != 0 && queued_index_ >= 0) {
    TakeQueuedTrack(info);
  }
  if (queued_index_ >= 0) vbmp3_queue(nullptr);
  ForgetQueuedTrack();
}

}  // namespace veldan
