// Start-up and shutdown of the main window.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <ctime>

#include "catalogue/catalogue.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "catalogue/start_argument.h"
#include "decoder/vbmp3.h"
#include "main/flag_scope.h"
#include "main/main_window.h"
#include "opt/equalizer_preset.h"

namespace veldan {

void TForm_main::FormCreate(const char* argument) {
  FlagScope starting(&starting_up_);
  SeedRandom(static_cast<unsigned>(std::time(nullptr)));
  vbmp3_init();
  LoadArgument(argument);
  LoadEqualizerPreset(g_state.program_folder);
  if (g_state.catalogue.count > 0 && !g_state.closing) {
    StartPlayback();
    PumpMessages();
  }
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

bool TForm_main::Busy() const {
  return QApplication::activeModalWidget() != nullptr || opening_track_ || !Timer1->isActive() ||
         g_state.closing || starting_up_ || playing_argument_;
}

bool TForm_main::PlayArgument(const char* argument) {
  if (Busy() || argument == nullptr || ExamineArgument(argument) != ArgumentKind::kPlayable) {
    return false;
  }
  // Its search lets remote calls and drops run; they must not start a second one inside it.
  FlagScope playing(&playing_argument_);
  // The Stop button's own handler, so that whatever stopping play involves happens here too.
  BitBtn_stopClick();
  user_paused_ = false;
  LoadArgument(argument);
  if (g_state.catalogue.count > 0 && !g_state.closing) StartPlayback();
  return true;
}

void TForm_main::FormCloseQuery() {
  g_state.continuous_play = false;
  g_state.wait_abort = true;
  // A handler interrupted in a media wait may go on to work that waits again (a build after an
  // Auto CD wait); the closing flag ends those waits too, so the program always ends.
  g_state.closing = true;
  vbmp3_stop();
  vbmp3_close();
  vbmp3_free();
}

void TForm_main::closeEvent(QCloseEvent* event) {
  if (!g_state.closing) FormCloseQuery();
  event->accept();
}

}  // namespace veldan
