// VELDAN on the desktop's session bus as a remote-controllable player (MPRIS 2): the media keys,
// the desktop's sound menu, panels and command-line controllers see it, ask what plays and
// control it.
//
// Every call is the player's controller's operation that the main window's control stands for
// (Play, Pause, Stop, NextFile, PreFile), its seeks and its argument, under the rule that control
// shows, so the window always shows what a remote did and a remote can do only what the window
// allows at that moment; while a dialog is in front of the window, calls that would change play
// are refused with an error. What clients can see is compared with what they were last told
// whenever the controller reports the end of an operation or poll step, and every difference
// goes out as PropertiesChanged; a seek goes out as Seeked.
//
// The album's picture (mpris:artUrl) is looked up on a thread of its own whenever another track
// becomes current, so that a slow disc never holds up a track change; its answer is posted back
// to this object's thread and goes out as a change of Metadata. Until it comes, and for a track
// without a picture, Metadata has no mpris:artUrl at all.
//
// User-interface thread only. Without a session bus nothing is registered and the player runs
// as it would without this service.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <string>

class QTimer;

namespace veldan {

class TForm_main;
class ArtLookup;
struct ArtAnswer;

inline constexpr char kMprisServiceName[] = "org.mpris.MediaPlayer2.veldan";
inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kHandOverInterface[] = "org.veldan.HandOver";
// How long before its caller's deadline a hand-over must be answered at the latest: time for the
// answer to travel, on a machine that may be busy.
inline constexpr int kHandOverAnswerMarginMs = 1000;

class MprisService : public QObject, public QDBusContext {
  Q_OBJECT

 public:
  // The service for window, which must outlive it.
  explicit MprisService(TForm_main* window);
  ~MprisService() override;
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  // Registers the object and the bus name on connection (the name with an ".instance<pid>"
  // suffix when another player holds it, unless main_name_only). False, with nothing left
  // registered, when the connection is not connected or registration fails. Once registered,
  // later calls change nothing and return true.
  bool Register(QDBusConnection connection, bool main_name_only = false);
  // The bus name this service holds, empty before a successful Register.
  QString ServiceName() const { return service_name_; }

  // Sends PropertiesChanged for every visible property whose value differs from the one last
  // sent (or read at registration). Called on the controller's news; not while a track opens.
  void Refresh();

  // --- What clients read ---
  QString PlaybackStatus() const;
  QString LoopStatus() const;
  bool Shuffle() const;
  QVariantMap Metadata() const;
  // The current catalogue entry's track id, or the "no track" path.
  QString TrackId() const;
  int64_t PositionMicroseconds() const;
  bool CanGoNext() const;
  bool CanGoPrevious() const;
  bool CanPlay() const;
  bool CanPause() const;
  bool CanSeek() const;

  TForm_main* Window() const { return window_; }

  // --- The hand-over from a second start (hand_over.h) ---

  // A request to play uri, whose caller waits until deadline_ms on the monotonic clock (shared
  // by the processes of the machine). It is carried out only if its answer can reach the caller
  // before that moment (kHandOverAnswerMarginMs to spare), so that a caller that gave up and
  // started a player of its own never has its path played here too: answered, then played, at
  // once when the window is free; held while the window is busy (start-up, a search, a track
  // opening) and served by ServePendingHandOvers; refused while a dialog is open, or for a path
  // OpenUri would refuse.
  void TakeHandOver(const QString& uri, int64_t deadline_ms);
  // Serves the held requests once the window is no longer busy: each answered (or told it came
  // too late), and the latest in time played. started_with, the argument start-up has just
  // played, is not played again. Runs at the status poll's rhythm, and from the entry right
  // after start-up.
  void ServePendingHandOvers(const char* started_with = nullptr);
  qsizetype PendingHandOvers() const { return pending_.size(); }

 private:
  struct PendingHandOver {
    QDBusMessage call;
    QByteArray path;
    int64_t deadline_ms;
  };

  QVariantMap PlayerProperties() const;

  // The controller's news: asks for the picture when another track is current, then Refresh.
  void OnPlaybackChanged();
  // Asks the lookup for the current track's picture unless it was asked for that track already.
  void RequestArtOfCurrentTrack();
  // On this object's thread: the lookup's answer, taken when it is for the latest request.
  void TakeArtAnswer(const ArtAnswer& answer);

  TForm_main* window_;
  QDBusConnection connection_;
  QString service_name_;
  QTimer* hand_over_timer_ = nullptr;
  QVariantMap last_sent_;
  QList<PendingHandOver> pending_;
  // The track (host path) whose picture was asked for last, the number of that request, and
  // its answer (a file URI; empty while it is looked up or when there is none).
  std::string art_track_;
  uint64_t art_request_ = 0;
  QString art_uri_;
  // Made at the first request, once start-up knows whether this copy is installed. Last, and
  // ended first in the destructor: its thread is joined before anything its answers reach goes.
  std::unique_ptr<ArtLookup> art_lookup_;
};

}  // namespace veldan
