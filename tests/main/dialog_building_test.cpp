// The dialogs built when first needed: none before, each one once, and each shows and does what
// a dialog built at start-up would.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <functional>
#include <string>

#include "dsel/form_drive_sel.h"
#include "main/main_window_fixture.h"
#include "opt/equalizer_setting.h"
#include "opt/options_dialog.h"
#include "platform/drives.h"
#include "sel/form_sel.h"
#include "support/modal.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ver/form_version.h"

namespace veldan::testing {
namespace {

class DialogBuildingTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_EQ(Form_option, nullptr);
    ASSERT_EQ(Form_version, nullptr);
    ASSERT_EQ(Form_sel, nullptr);
    ASSERT_EQ(Form_drive_sel, nullptr);
    for (const char* file : {"A/1.mp3", "A/2.mp3", "B/1.mp3"}) CreateFile(dir_->path(), file);
  }
  void TearDown() override {
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
    MainWindowTest::TearDown();  // the window deletes the dialogs it built
    EXPECT_EQ(Form_option, nullptr);
    EXPECT_EQ(Form_sel, nullptr);
  }

  // Start-up as the entry runs it: the start-up work, then dialogs on demand, then the window.
  void StartUp() {
    const std::string folder = dir_->path().toStdString();
    window_->FormCreate(folder.c_str());
    window_->Timer1->stop();
    window_->BuildDialogsOnDemand();
    window_->show();
  }
  // The next file, as the Next button and the following poll play it.
  void ChangeTrack() {
    fake::SetDecoderState(VBMP3_PLAYING);
    window_->BitBtn_next_fileClick();
    Poll();
  }
  // Runs press; once a modal dialog is up, runs action on it (which must close it).
  static void WhileModal(const std::function<void()>& press,
                         const std::function<void(QWidget*)>& action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        poll->deleteLater();
        action(modal);
      }
    });
    poll->start(10);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->done(kTimedOut);
      }
    });
    watchdog.start(5000);
    press();
  }

  // What the selection dialog shows: every line and the selected row.
  static std::string SelectionView(const TForm_sel& dialog) {
    std::string view;
    for (int i = 0; i < dialog.ListBox1->count(); ++i) {
      view += dialog.ListBox1->item(i)->text().toStdString() + "\n";
    }
    return view + "selected " + std::to_string(dialog.ListBox1->currentRow());
  }
  // What the options dialog shows: drives, folder, files and the equalizer bars.
  static std::string OptionsView(const TForm_option& dialog) {
    std::string view = dialog.windowTitle().toStdString() + "\n";
    for (int i = 0; i < dialog.DriveComboBox_source->count(); ++i) {
      view += dialog.DriveComboBox_source->itemText(i).toStdString() + "\n";
    }
    view += std::string("drive ") + dialog.DriveComboBox_source->Drive() + "\n";
    view += std::string("folder ") + dialog.DirectoryListBox_source->Folder() + "\n";
    for (int i = 0; i < dialog.FileListBox_source->count(); ++i) {
      view += dialog.FileListBox_source->item(i)->text().toStdString() + "\n";
    }
    for (const QSlider* bar : {dialog.TrackBar1, dialog.TrackBar5, dialog.TrackBar10}) {
      view += std::to_string(bar->value()) + " ";
    }
    return view;
  }
  // Shows each dialog modally and returns what they showed.
  static std::string ShownViews(TForm_option& option, TForm_sel& selection) {
    std::string options, list;
    ExecWith(option, [&] {
      options = OptionsView(option);
      option.reject();
    });
    ExecWith(selection, [&] {
      list = SelectionView(selection);
      selection.done(2);
    });
    return options + "\n---\n" + list;
  }
};

TEST_F(DialogBuildingTest, NoDialogIsBuiltBeforeItIsNeeded) {
  StartUp();
  EXPECT_EQ(Form_option, nullptr);
  EXPECT_EQ(Form_version, nullptr);
  EXPECT_EQ(Form_sel, nullptr);
  EXPECT_EQ(Form_drive_sel, nullptr);
  EXPECT_TRUE(window_->findChildren<QDialog*>().isEmpty());
}

TEST_F(DialogBuildingTest, WithoutDemandBuildingAMissingDialogIsNotBuilt) {
  // Window tests bring dialogs of their own; the handlers then do nothing without one.
  window_->EnsureDialog(TForm_main::Dialog::kSel);
  window_->EnsureDialog(TForm_main::Dialog::kOption);
  EXPECT_EQ(Form_sel, nullptr);
  EXPECT_EQ(Form_option, nullptr);
}

TEST_F(DialogBuildingTest, SelectionOpensFirstThingAndAgainAfterATrackChange) {
  StartUp();
  std::string first, second;
  WhileModal([this] { window_->BitBtn_selClick(); },
             [&](QWidget* modal) {
               ASSERT_EQ(modal, Form_sel);
               first = SelectionView(*Form_sel);
               Form_sel->done(2);
             });
  EXPECT_EQ(first, Entry(0) + "\n" + Entry(1) + "\n" + Entry(2) + "\nselected 0");
  TForm_sel* const built = Form_sel;
  EXPECT_EQ(built->parent(), window_.get());

  ChangeTrack();
  ASSERT_EQ(Current(), 1);
  WhileModal([this] { window_->BitBtn_selClick(); },
             [&](QWidget* modal) {
               ASSERT_EQ(modal, built);  // built once, kept
               second = SelectionView(*Form_sel);
               Form_sel->ListBox1->setCurrentRow(2);
               Form_sel->ListBox1DblClick();
             });
  EXPECT_EQ(second, Entry(0) + "\n" + Entry(1) + "\n" + Entry(2) + "\nselected 1");
  Poll();
  EXPECT_EQ(LastOpened(), Entry(2));
}

TEST_F(DialogBuildingTest, OptionsAndVersionOpenFirstThingAndAgainAfterATrackChange) {
  StartUp();
  g_state.applied_equalizer[0] = 60;
  for (int round = 0; round < 2; ++round) {
    int bar = -1;
    WhileModal([this] { window_->BitBtn_optionsClick(); },
               [&](QWidget* modal) {
                 ASSERT_EQ(modal, Form_option);
                 bar = Form_option->TrackBar1->value();
                 Form_option->BitBtn2->click();
               });
    EXPECT_EQ(bar, BarPositionFromValue(60)) << "round " << round;
    bool shown = false;
    WhileModal([this] { window_->About1Click(); },
               [&](QWidget* modal) {
                 ASSERT_EQ(modal, Form_version);
                 shown = true;
                 Form_version->Button1->click();
               });
    EXPECT_TRUE(shown) << "round " << round;
    ChangeTrack();
  }
  EXPECT_EQ(window_->findChildren<TForm_option*>().size(), 1);
  EXPECT_EQ(window_->findChildren<TForm_version*>().size(), 1);
}

TEST_F(DialogBuildingTest, DriveChoiceOpensWhenAutoCdFindsTwoDiscs) {
  const std::string drives =
      "E=cdrom:" + dir_->path().toStdString() + "/A;F=cdrom:" + dir_->path().toStdString() + "/B";
  setenv("VELDAN_DRIVES", drives.c_str(), 1);
  ReloadDriveTable();
  StartUp();
  fake::SetDecoderState(VBMP3_STOPPED);
  g_state.continuous_play = false;
  std::string second_button;
  WhileModal([this] { window_->BitBtn_auto_cdClick(); },
             [&](QWidget* modal) {
               ASSERT_EQ(modal, Form_drive_sel);
               second_button = Form_drive_sel->BitBtn2->text().toStdString();
               Form_drive_sel->done(2);
             });
  EXPECT_EQ(second_button.rfind("F:\\", 0), 0u) << second_button;
  EXPECT_EQ(Form_drive_sel->parent(), window_.get());
}

// The same dialog built right after the start-up work (where the entry used to build it) and
// built at its first showing, after a track change, shows the same.
TEST_F(DialogBuildingTest, ADialogBuiltLateShowsWhatOneBuiltEarlyShows) {
  window_->FormCreate(dir_->path().toStdString().c_str());
  window_->Timer1->stop();
  g_state.applied_equalizer[4] = -120;
  auto early_option = std::make_unique<TForm_option>(window_.get());
  auto early_sel = std::make_unique<TForm_sel>(window_.get());
  ChangeTrack();

  const std::string early = ShownViews(*early_option, *early_sel);
  early_option.reset();
  early_sel.reset();

  window_->BuildDialogsOnDemand();
  window_->EnsureDialog(TForm_main::Dialog::kOption);
  window_->EnsureDialog(TForm_main::Dialog::kSel);
  ASSERT_NE(Form_option, nullptr);
  ASSERT_NE(Form_sel, nullptr);
  const std::string late = ShownViews(*Form_option, *Form_sel);
  EXPECT_EQ(late, early);
  EXPECT_NE(late.find("selected 1"), std::string::npos);
}

}  // namespace
}  // namespace veldan::testing
