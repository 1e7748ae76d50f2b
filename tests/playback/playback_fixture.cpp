#include "playback/playback_fixture.h"

#include "catalogue/catalogue.h"
#include "platform/name_codec.h"

namespace veldan::testing {

void TestHost::PumpMessages() {
  if (!on_next_pump) return;
  const std::function<void()> run = std::move(on_next_pump);
  on_next_pump = nullptr;
  run();
}

void TestHost::LoadArgument(const char* argument) {
  loaded.push_back(argument != nullptr ? argument : "");
  if (on_load) on_load(argument);
}

void RecordingListener::CurrentEntryChanged() {
  events.push_back("entry " + std::to_string(g_state.catalogue.current));
}

void RecordingListener::StatusChanged(const char* text, uint32_t /*rgb*/) {
  status = text;
  events.push_back("status " + status);
}

void RecordingListener::ElapsedChanged(int32_t seconds) {
  events.push_back("elapsed " + std::to_string(seconds));
}

void RecordingListener::BarMoved(int32_t seconds) {
  events.push_back("bar " + std::to_string(seconds));
}

void RecordingListener::StartControlsEnabled(bool enabled) {
  events.push_back(enabled ? "start on" : "start off");
}

void RecordingListener::PlayEnabled(bool enabled) {
  events.push_back(enabled ? "play on" : "play off");
}

void RecordingListener::Seeked(int64_t microseconds) {
  events.push_back("seeked " + std::to_string(microseconds));
}

void RecordingListener::PlaybackStateChanged() {
  if (with_changes_) events.push_back("changed");
}

void PlaybackTest::SetUp() {
  ResetProgramState();
  fake::ResetDecoder();
  controller_ = std::make_unique<PlaybackController>(&host_);
  controller_->AddListener(&listener_);
}

void PlaybackTest::TearDown() {
  controller_.reset();
  tree_.reset();
}

void PlaybackTest::BuildCatalogueOf(std::initializer_list<const char*> files) {
  tree_.reset();
  tree_ = std::make_unique<test::TempDrive>('T');
  for (const char* file : files) tree_->WriteFile(file);
  CopyText(g_state.starting_folder, kTextSize, "T:");
  BuildCatalogue(g_state.starting_folder);
  ASSERT_EQ(g_state.catalogue.count, static_cast<int32_t>(files.size()));
}

void PlaybackTest::StartPlaying() {
  controller_->StartPlayback();
  ASSERT_EQ(fake::DecoderState(), VBMP3_PLAYING);
  Poll();
}

int PlaybackTest::RunSteps(int max) {
  int steps = 0;
  while (host_.step_scheduled && steps < max) {
    host_.step_scheduled = false;
    controller_->RunHeldPollStep();
    ++steps;
  }
  return steps;
}

void PlaybackTest::SetModes(bool lock, bool repeat, bool random) {
  controller_->SetAlbumLock(lock);
  controller_->SetRepeat(repeat);
  controller_->SetRandom(random);
}

std::string PlaybackTest::LastOpened() const {
  std::string path;
  for (const fake::DecoderCall& call : fake::DecoderCalls()) {
    if (call.name == "open") path = call.path;
  }
  return path;
}

int PlaybackTest::OpenCount() const {
  int count = 0;
  for (const fake::DecoderCall& call : fake::DecoderCalls()) count += call.name == "open";
  return count;
}

}  // namespace veldan::testing
