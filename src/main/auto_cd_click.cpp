// The Auto CD button: find a disc, make its drive the starting folder, search it and play it.
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "catalogue/auto_cd.h"
#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "dsel/form_drive_sel.h"
#include "main/main_window.h"
#include "platform/install_layout.h"

namespace veldan {
namespace {

class DiscoveryWindow final : public AutoCdWindow {
 public:
  explicit DiscoveryWindow(TForm_main* owner) : owner_(owner) {}

  bool AskForMedium(const char* root) override {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kMediumPromptCaption),
                    QString::fromStdString(MediumPromptText(root)),
                    QMessageBox::Ok | QMessageBox::Cancel, owner_);
    box.setDefaultButton(QMessageBox::Ok);
    // The text asks the user to press 「ｷｬﾝｾﾙ」: the buttons carry the words the text names,
    // not the toolkit's own labels.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.button(QMessageBox::Cancel)->setText(QString::fromUtf8("キャンセル"));
    return box.exec() == QMessageBox::Ok;
  }

  int ChooseDrive() override {
    owner_->EnsureDialog(TForm_main::Dialog::kDriveSel);
    return Form_drive_sel != nullptr ? Form_drive_sel->exec() : 2;
  }

 private:
  TForm_main* owner_;
};

}  // namespace

void TForm_main::BitBtn_auto_cdClick() {
  int32_t position = 0;
  if (vbmp3_getState(&position) != VBMP3_STOPPED) return;
  SetStatus("Searching ", kColourYellow);
  PumpMessages();
  Timer1->stop();

  // Discovery may wait for a disc with window messages running; the buttons that would start
  // other work meanwhile (another Auto CD, Play, Option, Select) stay disabled until it is done.
  QPushButton* const starters[] = {BitBtn_auto_cd, BitBtn_play, BitBtn_options, BitBtn_sel};
  bool was_enabled[std::size(starters)];
  for (std::size_t i = 0; i < std::size(starters); ++i) {
    was_enabled[i] = starters[i]->isEnabled();
    starters[i]->setEnabled(false);
  }
  // Keys and remote controls may not start play meanwhile either.
  controller_.HoldStarts(true);
  DiscoveryWindow window(this);
  DiscoverMedia(true, window);
  controller_.HoldStarts(false);
  for (std::size_t i = 0; i < std::size(starters); ++i) starters[i]->setEnabled(was_enabled[i]);

  // Closed while discovery waited: the decoder is shut down, and a search would only wait again.
  if (g_state.closing) return;

  ShowStartingFolderInTitle();
  RememberStartingFolder(g_state.program_folder, g_state.starting_folder);
  BuildCatalogue(g_state.starting_folder);
  ShowTrackTitles();
  Timer1->start();
  // The disc's tracks replace whatever was to follow: the controller's queue no longer fits them.
  if (g_state.catalogue.count > 0) controller_.StartPlayback();
  PumpMessages();
}

}  // namespace veldan
