// Keeps the machine awake for an album: while VELDAN plays, the desktop does not suspend it for
// idleness (platform/sleep_inhibitor.h holds the inhibition: the portal's suspend flag, else
// logind's "idle" lock; the screen may still blank and lock, and an explicit suspend or a closed
// lid is never blocked).
//
// Play is judged at the end of every operation and every poll step of the window's controller
// (its PlaybackChanged signal), so a pause or a stop lets go before the next poll at the latest.
// What counts as playing (PlayGoesOn):
// - the decoder plays;
// - the decoder is paused, but not by the user: a seek-bar drag holds it for the moment;
// - the decoder is stopped while play runs on from track to track (continuous play): the moment
//   between two tracks, a step to another track, a track being opened or passed over, a wait
//   for the disc of the album that plays on.
// So a track change, a join, a step or a seek within continuous play keeps the one inhibition;
// Pause (the user's), Stop, play given up and the window's close end it, and nothing is asked
// before play first begins. The user's pause counts only while the decoder is paused: a step
// from a paused track plays the next one, and the controller's pause flag stays set until the
// next Play.
//
// User-interface thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>

namespace veldan {

class PlaybackController;
class SleepInhibitor;
class TForm_main;

class SleepGuard : public QObject {
  Q_OBJECT

 public:
  // Follows window's play through the desktop's buses (taken only once play begins).
  explicit SleepGuard(TForm_main* window);
  // The same with the portal on session and logind on system.
  SleepGuard(TForm_main* window, QDBusConnection session, QDBusConnection system);
  // Lets go of what is held: the program's end releases the inhibition.
  ~SleepGuard() override;
  SleepGuard(const SleepGuard&) = delete;
  SleepGuard& operator=(const SleepGuard&) = delete;

  // Whether play goes on now, as the inhibition counts it (above).
  static bool PlayGoesOn(const PlaybackController& controller);

  const SleepInhibitor& Inhibitor() const { return *inhibitor_; }

 private:
  SleepGuard(TForm_main* window, SleepInhibitor* inhibitor);
  // Tells the inhibitor what the window's controller plays now.
  void Follow();

  TForm_main* window_;
  SleepInhibitor* inhibitor_;  // a child of this object
};

}  // namespace veldan
