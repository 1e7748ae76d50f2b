// The player's controller over the fake decoder and a catalogue built from a temporary drive,
// with a host that stands in for the window and a listener that records what it is told.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "playback/playback_controller.h"
#include "support/temp_drives.h"

namespace veldan::testing {

// The window's part: a poll timer that runs unless stopped, no dialog, the early step kept until
// the test turns the event loop, and a hook where the window would let messages run.
class TestHost : public PlaybackHost {
 public:
  void PumpMessages() override;
  void ScheduleHeldPollStep() override { step_scheduled = true; }
  bool PollRunning() const override { return poll_running; }
  bool DialogOpen() const override { return dialog_open; }
  void LoadArgument(const char* argument) override;
  bool ArgumentPlayable(const char* /*argument*/) override { return playable; }
  void ApplyStoredSettings() override { ++settings_applied; }

  bool step_scheduled = false;
  bool poll_running = true;
  bool dialog_open = false;
  bool playable = true;
  int settings_applied = 0;
  std::vector<std::string> loaded;
  // Runs once, at the next time messages are let run (a click or a poll arriving meanwhile).
  std::function<void()> on_next_pump;
  std::function<void(const char*)> on_load;
};

// Every notification as a short text: "entry 2", "opened", "status Play 128k", "elapsed 10",
// "bar 10", "start on", "play off", "modes", "seeked 5000000", "changed" (the last left out
// unless asked for).
class RecordingListener : public PlaybackListener {
 public:
  explicit RecordingListener(bool with_changes = false) : with_changes_(with_changes) {}
  void CurrentEntryChanged() override;
  void StartingFolderChanged() override { events.push_back("folder"); }
  void TrackOpened() override { events.push_back("opened"); }
  void StatusChanged(const char* text, uint32_t /*rgb*/) override;
  void ElapsedChanged(int32_t seconds) override;
  void BarMoved(int32_t seconds) override;
  void StartControlsEnabled(bool enabled) override;
  void PlayEnabled(bool enabled) override;
  void ModesChanged() override { events.push_back("modes"); }
  void Seeked(int64_t microseconds) override;
  void PlaybackStateChanged() override;

  std::vector<std::string> events;
  // The last status text.
  std::string status;

 private:
  bool with_changes_;
};

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates empty files ('/'-separated, below a fresh temporary drive T:), makes the drive's
  // root the starting folder and builds the catalogue from it.
  void BuildCatalogueOf(std::initializer_list<const char*> files);
  std::string HostPath(const std::string& relative) const { return tree_->root() + "/" + relative; }

  std::string Entry(int index) const { return g_state.catalogue.entries[index]; }
  int32_t Current() const { return g_state.catalogue.current; }
  // Starts play on the current entry and polls once, so that the poll has seen it play.
  void StartPlaying();
  void Poll() { controller_->PollStep(); }
  // The decoder reaches the end of the track.
  void EndTrack() { fake::SetDecoderState(VBMP3_STOPPED); }
  // Turns the event loop: runs the early steps asked for, at most max of them; the steps run.
  int RunSteps(int max = 1000);
  void SetModes(bool lock, bool repeat, bool random);
  std::string LastOpened() const;
  int OpenCount() const;

  std::unique_ptr<test::TempDrive> tree_;
  TestHost host_;
  RecordingListener listener_;
  std::unique_ptr<PlaybackController> controller_;
};

}  // namespace veldan::testing
