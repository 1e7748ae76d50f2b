// Start-up and shutdown of the main window, and what the controller asks of it for a starting
// argument: the folders, the title, the search and the argument applied.
#include <QCloseEvent>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "catalogue/start_argument.h"
#include "main/main_window.h"
#include "opt/equalizer_preset.h"
#include "platform/install_layout.h"

namespace veldan {
namespace {

// An installed copy keeps its resume point in the user's config folder; a portable copy keeps
// none, and is handed no store.
class InstalledResumeStore final : public ResumeStore {
 public:
  void Save(const ResumePoint& point) override {
    RememberResumePoint(g_state.program_folder, point);
  }
  bool Load(ResumePoint* point) override { return SavedResumePoint(point); }
};

InstalledResumeStore g_resume_store;

}  // namespace

void TForm_main::FormCreate(const char* argument) {
  controller_.StartUp(argument);
}

void TForm_main::LoadArgument(const char* argument) {
  char argument_text[kTextSize];
  const bool usable = TakeFoldersFromCommandLine(argument, argument_text);
  DrawSeekBar(0);
  ShowStartingFolderInTitle();
  if (usable) {
    BuildCatalogue(g_state.starting_folder);
    ApplyCommandLineArgument(argument_text);
  } else {
    // The path named cannot be held; playing something else instead would be a surprise.
    g_state.catalogue.count = 0;
    g_state.catalogue.current = 0;
  }
  ShowTrackTitles();
}

bool TForm_main::ArgumentPlayable(const char* argument) {
  return ExamineArgument(argument) == ArgumentKind::kPlayable;
}

void TForm_main::ApplyStoredSettings() {
  LoadEqualizerPreset(g_state.program_folder);
  controller_.SetReplayGainSetting(ReadReplayGainSetting(g_state.program_folder));
  controller_.SetResumeStore(IsInstalledCopy(g_state.program_folder) ? &g_resume_store : nullptr);
}

void TForm_main::FormCloseQuery() {
  controller_.ShutDown();
}

void TForm_main::closeEvent(QCloseEvent* event) {
  if (!g_state.closing) FormCloseQuery();
  event->accept();
}

}  // namespace veldan
