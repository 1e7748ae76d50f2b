// Gapless play: while a track plays, the decoder is told which track the end-of-track step would
// open next, opens it ahead and joins it on without a gap; the poll then learns that it has
// started and does the end-of-track step's bookkeeping without opening anything.
//
// The queued track is keyed to what it was derived from: the catalogue (its count, the current
// index and every entry's path), the play modes and whether play runs on. Whatever changes any of
// these, the controller's own operations as much as a dialog replacing the catalogue, makes the
// key fail at the next operation or poll, and the queued track goes before it can join; the next
// poll queues again under the rules as they are then.
//
// The decoder holds the queued file open from the moment it is queued, so a disc swapped or a
// file replaced meanwhile would still be heard from the old file. The poll therefore checks,
// while a track is queued and once more when its start is reported, that the entry's path still
// names the file queued (same device and inode); if not, the queued track goes, and the end of
// the playing track is dealt with as without a queue, the changed-medium rule included.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "playback/controller_scopes.h"
#include "playback/flag_scope.h"
#include "playback/playback_controller.h"

namespace veldan {
namespace {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
};

// The regular file a catalogue path names now; false when it names none (gone, its medium out)
// or something else, such as a pipe, which is left to the end-of-track step to pass over.
bool IdentityOf(const char* program_path, FileIdentity* identity) {
  std::string host_path;
  struct stat st {};
  if (!ProgramPathToHost(program_path, &host_path) || ::stat(host_path.c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode)) {
    return false;
  }
  identity->device = static_cast<uint64_t>(st.st_dev);
  identity->inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// 64-bit FNV-1a over the catalogue's count, current index and paths.
class CatalogueHash {
 public:
  void Add(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
      hash_ = (hash_ ^ bytes[i]) * 0x100000001b3ULL;
    }
  }
  uint64_t Value() const { return hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

PlaybackController::QueueKey PlaybackController::KeyNow() const {
  const TrackCatalogue& catalogue = g_state.catalogue;
  CatalogueHash hash;
  hash.Add(&catalogue.count, sizeof catalogue.count);
  hash.Add(&catalogue.current, sizeof catalogue.current);
  const int32_t count = std::clamp(catalogue.count, 0, kCatalogueCapacity);
  for (int32_t i = 0; i < count; ++i) {
    // The terminator too, so that "a" + "bc" and "ab" + "c" differ.
    hash.Add(catalogue.entries[i], strnlen(catalogue.entries[i], kTextSize - 1) + 1);
  }
  return QueueKey{hash.Value(), album_lock_, repeat_, random_, g_state.continuous_play};
}

void PlaybackController::CheckQueueKey() {
  if (queued_index_ >= 0 && !(queued_key_ == KeyNow())) DropQueue();
}

void PlaybackController::QueueNextTrack() {
  if (queue_tried_ || !g_state.continuous_play) return;
  // One try per track: a file that does not open ahead is not asked for again at every poll,
  // and for Random the index drawn here is the one that plays.
  queue_tried_ = true;
  const TrackCatalogue& catalogue = g_state.catalogue;
  if (catalogue.current < 0 || catalogue.current >= catalogue.count) return;
  const int32_t next =
      repeat_ ? catalogue.current : NextFileIndex(catalogue.current, album_lock_, random_);
  if (next < 0 || next >= catalogue.count) return;
  char path[kTextSize];
  CopyText(
      path, sizeof path,
      std::string_view(catalogue.entries[next], strnlen(catalogue.entries[next], kTextSize - 1)));
  // The file is identified on both sides of the decoder's opening it, so that the identity
  // kept is the one of the file the decoder holds.
  FileIdentity before;
  if (!IdentityOf(path, &before)) return;
  // The queued track keeps the gain mode that holds now.
  SetGainModeForNextTrack();
  if (vbmp3_queue(path) == 0) return;
  FileIdentity after;
  if (!IdentityOf(path, &after) || !SameFile(before, after)) {
    vbmp3_queue(nullptr);
    return;
  }
  queued_index_ = next;
  CopyText(queued_path_, sizeof queued_path_, path);
  queued_device_ = after.device;
  queued_inode_ = after.inode;
  queued_key_ = KeyNow();
}

bool PlaybackController::QueuedFileUnchanged() const {
  FileIdentity now;
  return IdentityOf(queued_path_, &now) &&
         SameFile(now, FileIdentity{queued_device_, queued_inode_});
}

void PlaybackController::DropChangedQueuedTrack() {
  vbmp3_queue(nullptr);
  queued_index_ = -1;
  // The join may have come just before the drop: the replaced file's track then plays, and it
  // stops, leaving the end-of-track step to go on from the current entry.
  vbmp3_info started;
  if (vbmp3_queuedStarted(&started) != 0) vbmp3_stop();
}

void PlaybackController::TakeQueuedTrack(const vbmp3_info& info) {
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t index = queued_index_;
  const bool file_unchanged = QueuedFileUnchanged();
  ForgetQueuedTrack();
  // The catalogue was replaced under the queued track (that drops it, but a join may come
  // first), or the entry's file was replaced since the last poll: the track stops, and the
  // end-of-track step goes on from the current entry.
  if (index < 0 || index >= catalogue.count ||
      std::strncmp(catalogue.entries[index], queued_path_, kTextSize) != 0 || !file_unchanged) {
    vbmp3_stop();
    return;
  }
  PollStepHold hold(this);
  FlagScope opening(&opening_track_);
  MoveBar(0);
  catalogue.current = index;
  Tell([](PlaybackListener* l) { l->CurrentEntryChanged(); });
  track_info_ = info;
  track_info_.title[sizeof track_info_.title - 1] = '\0';
  track_info_.artist[sizeof track_info_.artist - 1] = '\0';
  ShowOpenedTrack();
  SetStartControlsEnabled(false);
}

void PlaybackController::ForgetQueuedTrack() {
  queued_index_ = -1;
  queue_tried_ = false;
}

void PlaybackController::DropQueue() {
  vbmp3_info info;
  if (!opening_track_ && vbmp3_queuedStarted(&info) != 0 && queued_index_ >= 0) {
    TakeQueuedTrack(info);
  }
  if (queued_index_ >= 0) vbmp3_queue(nullptr);
  ForgetQueuedTrack();
}

}  // namespace veldan
