// The controller's own scopes, shared by its source files: an operation called from outside,
// and a hold on the poll's early step. User-interface thread only.
#pragma once

#include "playback/playback_controller.h"

namespace veldan {

// Every operation called from outside: the queue's key is checked on the way in (a change made
// outside since the last call) and on the way out (the operation's own change), and the outermost
// one tells the listeners that the state may have changed.
class PlaybackController::Entry {
 public:
  explicit Entry(PlaybackController* controller) : controller_(controller) {
    ++controller_->entry_depth_;
    controller_->CheckQueueKey();
  }
  ~Entry() {
    controller_->CheckQueueKey();
    if (--controller_->entry_depth_ == 0) {
      controller_->Tell([](PlaybackListener* l) { l->PlaybackStateChanged(); });
    }
  }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

 private:
  PlaybackController* controller_;
};

// Holds the poll's early step off while work that lets messages run is under way; the last hold
// to end runs a step held off meanwhile.
class PlaybackController::PollStepHold {
 public:
  explicit PollStepHold(PlaybackController* controller) : controller_(controller) {
    ++controller_->step_holds_;
  }
  ~PollStepHold() { controller_->ReleasePollStepHold(); }
  PollStepHold(const PollStepHold&) = delete;
  PollStepHold& operator=(const PollStepHold&) = delete;

 private:
  PlaybackController* controller_;
};

template <typename Call>
inline void PlaybackController::Tell(Call call) {
  // A listener lets messages run; the list it was called from stays as it was.
  const std::vector<PlaybackListener*> listeners = listeners_;
  for (PlaybackListener* listener : listeners) call(listener);
}

}  // namespace veldan
