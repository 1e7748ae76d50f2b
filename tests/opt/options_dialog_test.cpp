#include "opt/options_dialog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <cstring>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "opt/dialog_driver.h"
#include "opt/equalizer_preset.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ui/temp_drives.h"

namespace veldan {
namespace {

const QString kCaption = QString::fromUtf8("VELDAN\u3000オプション設定");
const QString kWaiting = QString::fromUtf8("メディア認識待機中");
const QString kListen = QString::fromUtf8("試聴");
const QString kStop = QString::fromUtf8("停止");

class OptionsDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    drives_.MakeFolder(drives_.Q("Music/Live"));
    drives_.MakeFolder(drives_.Q("prog"));
    drives_.MakeFile(drives_.Q("Music/a.mp3"));
    drives_.MakeFile(drives_.Q("Music/Live/b.mp3"));
    drives_.EnterFolder(drives_.Q("Music"));
    std::strcpy(g_state.program_folder, "Q:\\prog");
    std::strcpy(g_state.starting_folder, "C:\\elsewhere");
    dialog_ = std::make_unique<TForm_option>();
  }
  void TearDown() override { dialog_.reset(); }

  std::vector<int> BarPositions() const {
    std::vector<int> positions;
    for (QSlider* bar : Bars()) positions.push_back(bar->value());
    return positions;
  }
  std::vector<QSlider*> Bars() const {
    TForm_option& d = *dialog_;
    return {d.TrackBar1, d.TrackBar2, d.TrackBar3, d.TrackBar4, d.TrackBar5,
            d.TrackBar6, d.TrackBar7, d.TrackBar8, d.TrackBar9, d.TrackBar10};
  }
  static std::vector<int32_t> Edited() {
    return {g_state.edited_equalizer, g_state.edited_equalizer + kEqualizerBands};
  }
  static std::vector<int32_t> Applied() {
    return {g_state.applied_equalizer, g_state.applied_equalizer + kEqualizerBands};
  }
  bool EqualizerEditable() const {
    bool all = dialog_->Button_eq_save->isEnabled() && dialog_->Button_eq_reset->isEnabled();
    for (QSlider* bar : Bars()) all = all && bar->isEnabled();
    return all;
  }
  QByteArray Preset() const {
    QFile file(drives_.Q("prog/VELDANEQ.DEF"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
  }
  void UseOneTrackCatalogue() {
    std::strcpy(g_state.catalogue.entries[0], "Q:\\Music\\a.mp3");
    g_state.catalogue.count = 1;
    g_state.catalogue.current = 0;
  }

  test::TempDrives drives_;
  std::unique_ptr<TForm_option> dialog_;
};

TEST_F(OptionsDialogTest, StartsWithItsDesignedFaceAtTheProcessFolder) {
  TForm_option& d = *dialog_;
  EXPECT_EQ(Form_option, &d);
  EXPECT_EQ(d.windowTitle(), kCaption);
  EXPECT_EQ(d.size(), QSize(546, 272));
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  EXPECT_EQ(d.DriveComboBox_source->Drive(), 'Q');
  EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "Q:\\Music");
  EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{"a.mp3"});
  EXPECT_FALSE(d.FileListBox_source->isEnabled());
  EXPECT_EQ(d.Button_test->text(), kListen);
  EXPECT_EQ(BarPositions(), std::vector<int>(10, 12));
  // Position 0 is the top: a bar's up key moves toward it.
  QTest::keyClick(d.TrackBar1, Qt::Key_Up);
  EXPECT_EQ(d.TrackBar1->value(), 11);
  EXPECT_EQ(Edited()[0], 10);
}

TEST_F(OptionsDialogTest, OkAtOnceTakesTheFolderTheListShows) {
  TForm_option& d = *dialog_;
  const int result = test::ExecWith(d, [&] { d.BitBtn1->click(); });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.chosen_folder, "Q:\\Music");
}

TEST_F(OptionsDialogTest, OkOnADriveRootGivesTheRootWithItsSeparator) {
  TForm_option& d = *dialog_;
  const int result = test::ExecWith(d, [&] {
    test::DoubleClickItem(d.DirectoryListBox_source, "Q:\\");
    EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{});  // the lists moved together
    QTest::keyClick(&d, Qt::Key_Return);  // the default button
  });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.chosen_folder, "Q:\\");
}

TEST_F(OptionsDialogTest, FolderOpenMovesTheFileList) {
  TForm_option& d = *dialog_;
  test::ExecWith(d, [&] {
    test::DoubleClickItem(d.DirectoryListBox_source, "Live");
    EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{"b.mp3"});
    d.close();  // the close box: Cancel
  });
  EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "Q:\\Music\\Live");
  EXPECT_STREQ(g_state.chosen_folder, "");
}

TEST_F(OptionsDialogTest, CdWithoutMediumWaitsWithOkGreyUntilTheDiscAnswers) {
  TForm_option& d = *dialog_;
  QString caption_during;
  bool ok_enabled_during = true;
  bool media_enabled_during = true;
  QByteArray folder_during;
  const int result = test::ExecWith(d, [&] {
    QTimer::singleShot(50, [&] {
      caption_during = d.windowTitle();
      ok_enabled_during = d.BitBtn1->isEnabled();
      media_enabled_during = d.Button_media_change->isEnabled();
      folder_during = d.DirectoryListBox_source->Folder();
    });
    QTimer::singleShot(150, [&] {
      drives_.MakeFolder(drives_.R("Disc"));
      drives_.MakeFile(drives_.R("track.mp3"));
    });
    ASSERT_TRUE(d.DriveComboBox_source->SetDrive('R'));  // returns once the wait has ended
    EXPECT_EQ(d.windowTitle(), kCaption);
    EXPECT_TRUE(d.BitBtn1->isEnabled());
    EXPECT_TRUE(d.Button_media_change->isEnabled());
    EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "R:\\");
    EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{"track.mp3"});
    d.BitBtn1->click();
  });
  EXPECT_EQ(caption_during, kWaiting);
  EXPECT_FALSE(ok_enabled_during);
  EXPECT_FALSE(media_enabled_during);
  EXPECT_EQ(folder_during, QByteArray("Q:\\Music"));
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.chosen_folder, "R:\\");
}

TEST_F(OptionsDialogTest, CancelDuringAWaitClosesWhenTheWaitEnds) {
  TForm_option& d = *dialog_;
  bool visible_after_cancel = false;
  const int result = test::ExecWith(d, [&] {
    QTimer::singleShot(30, [&] { d.BitBtn2->click(); });
    QTimer::singleShot(80, [&] { visible_after_cancel = d.isVisible(); });
    QTimer::singleShot(120, [&] { drives_.MakeFolder(drives_.R()); });
    d.DriveComboBox_source->SetDrive('R');
    EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "R:\\");  // the handler finished first
  });
  EXPECT_TRUE(visible_after_cancel);
  EXPECT_EQ(result, kModalCancel);
}

TEST_F(OptionsDialogTest, ClosingTheProgramAbandonsTheWaitAndLeavesTheLists) {
  TForm_option& d = *dialog_;
  test::ExecWith(d, [&] {
    QTimer::singleShot(50, [] { g_state.closing = true; });
    d.DriveComboBox_source->SetDrive('R');
    EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "Q:\\Music");
    EXPECT_EQ(d.windowTitle(), kCaption);
    EXPECT_TRUE(d.BitBtn1->isEnabled());
    d.BitBtn2->click();
  });
}

TEST_F(OptionsDialogTest, MediaChangeReadsTheListsAnewInPlace) {
  TForm_option& d = *dialog_;
  const QRect place = d.DirectoryListBox_source->geometry();
  drives_.MakeFolder(drives_.Q("Music/New"));
  drives_.MakeFile(drives_.Q("Music/c.mp3"));
  d.Button_media_change->click();
  EXPECT_EQ(test::ItemTexts(d.DirectoryListBox_source),
            (QStringList{"Q:\\", "Music", "Live", "New"}));
  EXPECT_EQ(test::ItemTexts(d.FileListBox_source), (QStringList{"a.mp3", "c.mp3"}));
  EXPECT_EQ(d.DirectoryListBox_source->geometry(), place);
  EXPECT_FALSE(d.FileListBox_source->isEnabled());
  EXPECT_EQ(d.DriveComboBox_source->Drive(), 'Q');
}

TEST_F(OptionsDialogTest, StoredValuesShowOnTheBarsAndSaveBackUntilABarMoves) {
  TForm_option& d = *dialog_;
  const int32_t stored[10] = {15, 0, 0, 5000, 0, 0, 0, 0, 0, -300};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\prog", stored));
  const QByteArray file = Preset();
  LoadEqualizerPreset("Q:\\prog");
  ASSERT_EQ(fake::LastEqualizer(), Applied());

  test::ExecWith(d, [&] {
    EXPECT_EQ(BarPositions(), (std::vector<int>{11, 12, 12, 0, 12, 12, 12, 12, 12, 24}));
    EXPECT_EQ(Edited(), Applied());  // positioning the bars did not snap the values
    d.Button_eq_save->click();
    EXPECT_EQ(Preset(), file);
    QTest::keyClick(d.TrackBar2, Qt::Key_Down);  // another band's bar, one step down
    EXPECT_EQ(Edited(), (std::vector<int32_t>{10, -10, 0, 120, 0, 0, 0, 0, 0, -120}));
    d.BitBtn2->click();
  });
  EXPECT_EQ(Applied(), std::vector<int32_t>(stored, stored + 10));

  // The next showing starts from the applied setting again.
  test::ExecWith(d, [&] {
    EXPECT_EQ(Edited(), Applied());
    EXPECT_EQ(d.TrackBar2->value(), 12);
    d.BitBtn2->click();
  });
}

TEST_F(OptionsDialogTest, ResetAndSaveThenCancelLeavesTheAppliedSetting) {
  TForm_option& d = *dialog_;
  for (int band = 0; band < kEqualizerBands; ++band) g_state.applied_equalizer[band] = 30 - 10 * band;
  const std::vector<int32_t> applied = Applied();
  const int result = test::ExecWith(d, [&] {
    EXPECT_EQ(d.TrackBar1->value(), 9);
    d.Button_eq_reset->click();
    EXPECT_EQ(BarPositions(), std::vector<int>(10, 12));
    EXPECT_EQ(Edited(), std::vector<int32_t>(10, 0));
    d.Button_eq_save->click();
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  EXPECT_EQ(result, kModalCancel);
  EXPECT_EQ(Applied(), applied);
  EXPECT_EQ(Preset(), QByteArray(40, '\0'));
  EXPECT_TRUE(fake::CallLog().empty());  // the dialog itself hands nothing over
}

TEST_F(OptionsDialogTest, TrialListeningRefusesEveryClose) {
  TForm_option& d = *dialog_;
  UseOneTrackCatalogue();
  g_state.applied_equalizer[4] = 60;
  std::vector<test::MessageBoxSeen> seen(4);
  const int result = test::ExecWith(d, [&] {
    QTest::keyClick(d.TrackBar1, Qt::Key_Up);
    d.Button_test->click();
    EXPECT_EQ(d.Button_test->text(), kStop);
    EXPECT_TRUE(d.TrialListening());
    EXPECT_FALSE(EqualizerEditable());
    EXPECT_EQ(d.Label6->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(fake::CallLog(),
              (std::vector<std::string>{"open Q:\\Music\\a.mp3", "setEqualizer", "play"}));
    EXPECT_EQ(fake::LastEqualizer(), (std::vector<int32_t>{10, 0, 0, 0, 60, 0, 0, 0, 0, 0}));

    const std::function<void()> closes[] = {
        [&] { d.BitBtn1->click(); },
        [&] { d.BitBtn2->click(); },
        [&] { QTest::keyClick(&d, Qt::Key_Escape); },
        [&] { d.close(); },
    };
    for (std::size_t i = 0; i < std::size(closes); ++i) {
      test::DismissNextMessageBox(&seen[i]);
      closes[i]();
      EXPECT_TRUE(d.isVisible()) << i;
    }
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
    EXPECT_STREQ(g_state.chosen_folder, "Q:\\Music");  // OK's copy ran; its close did not

    // The track ending by itself changes nothing here.
    fake::SetDecoderState(VBMP3_STOPPED);
    EXPECT_EQ(d.Button_test->text(), kStop);
    fake::ClearCallLog();
    d.Button_test->click();
    EXPECT_EQ(d.Button_test->text(), kListen);
    EXPECT_TRUE(EqualizerEditable());
    EXPECT_EQ(d.Label6->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"stop", "close"}));
    d.BitBtn2->click();
  });
  EXPECT_EQ(result, kModalCancel);
  for (const auto& box : seen) {
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.title, "VELDAN");
    EXPECT_EQ(box.text, QString::fromUtf8("試聴を停止してから閉じてください"));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, QStringList{"OK"});
  }
}

TEST_F(OptionsDialogTest, TrialListeningDoesNothingWithoutAnOpenableTrack) {
  TForm_option& d = *dialog_;
  d.Button_test->click();  // empty catalogue
  EXPECT_TRUE(fake::CallLog().empty());

  UseOneTrackCatalogue();
  fake::FailOpenOf("Q:\\Music\\a.mp3");
  d.Button_test->click();
  EXPECT_EQ(d.Button_test->text(), kListen);
  EXPECT_FALSE(d.TrialListening());
  EXPECT_TRUE(EqualizerEditable());
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"open Q:\\Music\\a.mp3"});
}

}  // namespace
}  // namespace veldan
