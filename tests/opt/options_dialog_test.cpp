#include "opt/options_dialog.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "opt/dialog_driver.h"
#include "opt/equalizer_preset.h"
#include "support/temp_drives.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"

namespace veldan {
namespace {

const QString kCaption = QString::fromUtf8("VELDAN\u3000オプション設定");
const QString kListen = QString::fromUtf8("試聴");

class OptionsDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    drives_.MakeFolder(drives_.Q("prog"));
    drives_.WriteFile(drives_.Q("Music/a.mp3"));
    drives_.EnterFolder(drives_.Q("Music"));
    std::strcpy(g_state.program_folder, "Q:\\prog");
    dialog_ = std::make_unique<TForm_option>();
  }

  std::vector<int> BarPositions() const {
    std::vector<int> positions;
    for (QSlider* bar : dialog_->findChildren<QSlider*>()) positions.push_back(bar->value());
    return positions;
  }
  static std::vector<int32_t> Edited() {
    return {g_state.edited_equalizer, g_state.edited_equalizer + kEqualizerBands};
  }
  static std::vector<int32_t> Applied() {
    return {g_state.applied_equalizer, g_state.applied_equalizer + kEqualizerBands};
  }
  bool EqualizerEditable() const {
    bool all = dialog_->Button_eq_save->isEnabled() && dialog_->Button_eq_reset->isEnabled();
    for (QSlider* bar : dialog_->findChildren<QSlider*>()) all = all && bar->isEnabled();
    return all;
  }
  QByteArray Preset() const {
    QFile file(QString::fromStdString(drives_.Q("prog/VELDANEQ.DEF")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
  }

  test::TempDrives drives_;
  std::unique_ptr<TForm_option> dialog_;
};

TEST_F(OptionsDialogTest, OkOnADriveRootGivesTheRootWithItsSeparator) {
  TForm_option& d = *dialog_;
  EXPECT_EQ(d.windowTitle(), kCaption);
  EXPECT_EQ(d.size(), QSize(546, 272));
  EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{"a.mp3"});
  const int result = test::ExecWith(d, [&] {
    test::DoubleClickItem(d.DirectoryListBox_source, "Q:\\");
    EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{});  // the lists moved together
    QTest::keyClick(&d, Qt::Key_Return);                              // the default button
  });
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.chosen_folder, "Q:\\");
}

TEST_F(OptionsDialogTest, CdWithoutMediumWaitsWithOkGreyUntilTheDiscAnswers) {
  TForm_option& d = *dialog_;
  QStringList during;
  const int result = test::ExecWith(d, [&] {
    QTimer::singleShot(50, [&] {
      during << d.windowTitle() << QString::number(d.BitBtn1->isEnabled())
             << QString::number(d.Button_media_change->isEnabled())
             << d.DirectoryListBox_source->Folder();
    });
    QTimer::singleShot(150, [&] { drives_.WriteFile(drives_.R("track.mp3")); });
    ASSERT_TRUE(d.DriveComboBox_source->SetDrive('R'));  // returns once the wait has ended
    EXPECT_EQ(d.windowTitle(), kCaption);
    EXPECT_TRUE(d.BitBtn1->isEnabled() && d.Button_media_change->isEnabled());
    EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "R:\\");
    EXPECT_EQ(test::ItemTexts(d.FileListBox_source), QStringList{"track.mp3"});
    d.BitBtn1->click();
  });
  EXPECT_EQ(during, (QStringList{QString::fromUtf8("メディア認識待機中"), "0", "0", "Q:\\Music"}));
  EXPECT_EQ(result, kModalOk);
  EXPECT_STREQ(g_state.chosen_folder, "R:\\");
}

// An empty CD drive must never hold the dialog: キャンセル, Escape and the close box each end the
// disc wait and close the dialog as Cancel does, with the lists where they were.
TEST_F(OptionsDialogTest, EveryWayOutEndsTheDiscWaitAndClosesAsCancel) {
  TForm_option& d = *dialog_;
  const std::function<void()> ways_out[] = {
      [&] { d.BitBtn2->click(); },
      [&] { QTest::keyClick(&d, Qt::Key_Escape); },
      [&] { d.close(); },
  };
  for (std::size_t way = 0; way < std::size(ways_out); ++way) {
    bool waiting = false;
    const int result = test::ExecWith(d, [&] {
      QTimer::singleShot(30, &d, [&] {
        waiting = d.MediaWaitRunning() && d.windowTitle() == QString::fromUtf8("メディア認識待機中");
        ways_out[way]();
      });
      d.DriveComboBox_source->SetDrive('R');  // returns once the wait has ended
      EXPECT_STREQ(d.DirectoryListBox_source->Folder(), "Q:\\Music") << way;
      EXPECT_EQ(d.windowTitle(), kCaption) << way;
      EXPECT_TRUE(d.BitBtn1->isEnabled()) << way;
    });
    EXPECT_TRUE(waiting) << way;
    EXPECT_EQ(result, kModalCancel) << way;
    EXPECT_FALSE(d.isVisible()) << way;
    EXPECT_FALSE(g_state.closing) << way;  // not ended by the watchdog
    d.DriveComboBox_source->SetDrive('Q');  // answers at once
  }
}

// Picking another drive while one is awaited replaces the wait: the dialog then follows the new
// drive at once, and no second wait runs inside the first.
TEST_F(OptionsDialogTest, PickingAnotherDriveReplacesTheRunningWait) {
  TForm_option& d = *dialog_;
  bool inner_returned_while_waiting = false;
  const int result = test::ExecWith(d, [&] {
    QTimer::singleShot(30, &d, [&] {
      d.DriveComboBox_source->SetDrive('Q');
      inner_returned_while_waiting = d.MediaWaitRunning();
    });
    // A wait that kept polling R would only end here.
    QTimer::singleShot(3000, &d, [] { g_state.closing = true; });
    d.DriveComboBox_source->SetDrive('R');
    EXPECT_FALSE(g_state.closing);
    EXPECT_FALSE(d.MediaWaitRunning());
    EXPECT_EQ(d.windowTitle(), kCaption);
    EXPECT_EQ(d.DirectoryListBox_source->Folder()[0], 'Q');
    d.BitBtn2->click();
  });
  EXPECT_TRUE(inner_returned_while_waiting);
  EXPECT_EQ(result, kModalCancel);
}

// Assistive technology hears each bar as its band with a gain in decibels, not as a position
// that counts downwards, and setting the gain moves the bar as the user would.
TEST_F(OptionsDialogTest, BarsAreNamedAfterTheirBandsAndReportDecibels) {
  TForm_option& d = *dialog_;
  EXPECT_EQ(d.accessibleName(), QStringLiteral("VELDAN options"));
  QSlider* bars[] = {d.TrackBar1, d.TrackBar5, d.TrackBar10};
  const char* names[] = {"60 Hz", "1 kHz", "16 kHz"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bars[i])->text(QAccessible::Name),
              QString::fromLatin1(names[i]));
  }
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(d.TrackBar1);
  QAccessibleValueInterface* value = bar->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->maximumValue().toInt(), 12);
  EXPECT_EQ(value->minimumValue().toInt(), -12);
  d.TrackBar1->setValue(9);
  EXPECT_EQ(value->currentValue().toInt(), 3);
  EXPECT_EQ(bar->text(QAccessible::Value), QStringLiteral("+3 dB"));
  value->setCurrentValue(-6);
  EXPECT_EQ(d.TrackBar1->value(), 18);
  EXPECT_EQ(g_state.edited_equalizer[0], -60);
  EXPECT_EQ(bar->text(QAccessible::Value), QStringLiteral("-6 dB"));
}

TEST_F(OptionsDialogTest, StoredValuesShowOnTheBarsAndSaveBackUntilABarMoves) {
  TForm_option& d = *dialog_;
  const int32_t stored[10] = {15, 0, 0, 5000, 0, 0, 0, 0, 0, -300};
  ASSERT_TRUE(SaveEqualizerPreset("Q:\\prog", stored));
  const QByteArray file = Preset();
  LoadEqualizerPreset("Q:\\prog");

  test::ExecWith(d, [&] {
    EXPECT_EQ(BarPositions(), (std::vector<int>{11, 12, 12, 0, 12, 12, 12, 12, 12, 24}));
    EXPECT_EQ(Edited(), Applied());  // positioning the bars did not snap the values
    d.Button_eq_save->click();
    EXPECT_EQ(Preset(), file);
    QTest::keyClick(d.TrackBar2, Qt::Key_Down);  // another band's bar, one step toward -12 dB
    EXPECT_EQ(Edited(), (std::vector<int32_t>{10, -10, 0, 120, 0, 0, 0, 0, 0, -120}));
    d.BitBtn2->click();
  });
  EXPECT_EQ(Applied(), std::vector<int32_t>(stored, stored + 10));

  // The next showing starts from the applied setting again; reset and save, then Escape.
  const int result = test::ExecWith(d, [&] {
    EXPECT_EQ(Edited(), Applied());
    d.Button_eq_reset->click();
    EXPECT_EQ(BarPositions(), std::vector<int>(10, 12));
    EXPECT_EQ(Edited(), std::vector<int32_t>(10, 0));
    d.Button_eq_save->click();
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  EXPECT_EQ(result, kModalCancel);
  EXPECT_EQ(Applied(), std::vector<int32_t>(stored, stored + 10));
  EXPECT_EQ(Preset(), QByteArray(40, '\0'));
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"setEqualizer"});  // only the load's
}

TEST_F(OptionsDialogTest, TrialListeningRefusesEveryClose) {
  TForm_option& d = *dialog_;
  d.Button_test->click();  // an empty catalogue: nothing
  std::strcpy(g_state.catalogue.entries[0], "Q:\\Music\\a.mp3");
  g_state.catalogue.count = 1;
  fake::FailOpenOf("Q:\\Music\\a.mp3");
  d.Button_test->click();  // a track that does not open: nothing more
  EXPECT_EQ(d.Button_test->text(), kListen);
  EXPECT_TRUE(EqualizerEditable());
  EXPECT_EQ(fake::CallLog(), std::vector<std::string>{"open Q:\\Music\\a.mp3"});
  fake::ResetDecoder();

  g_state.applied_equalizer[4] = 60;
  QStringList boxes;
  const int result = test::ExecWith(d, [&] {
    QTest::keyClick(d.TrackBar1, Qt::Key_Up);
    d.Button_test->click();
    EXPECT_EQ(d.Button_test->text(), QString::fromUtf8("停止"));
    EXPECT_FALSE(EqualizerEditable());
    EXPECT_EQ(d.Label6->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(fake::CallLog(),
              (std::vector<std::string>{"open Q:\\Music\\a.mp3", "setEqualizer", "play"}));
    EXPECT_EQ(fake::LastEqualizer(), (std::vector<int32_t>{10, 0, 0, 0, 60, 0, 0, 0, 0, 0}));

    for (const std::function<void()>& close : std::vector<std::function<void()>>{
             [&] { d.BitBtn1->click(); }, [&] { d.BitBtn2->click(); },
             [&] { QTest::keyClick(&d, Qt::Key_Escape); }, [&] { d.close(); }}) {
      QString seen;
      test::DismissNextMessageBox(&seen);
      close();
      boxes << seen;
      EXPECT_TRUE(d.isVisible());
    }
    EXPECT_EQ(fake::DecoderState(), VBMP3_PLAYING);
    EXPECT_STREQ(g_state.chosen_folder, "Q:\\Music");  // OK's copy ran; its close did not

    fake::SetDecoderState(VBMP3_STOPPED);  // the track ends by itself: the dialog isn't told
    fake::ClearCallLog();
    d.Button_test->click();
    EXPECT_EQ(d.Button_test->text(), kListen);
    EXPECT_TRUE(EqualizerEditable());
    EXPECT_EQ(d.Label6->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(fake::CallLog(), (std::vector<std::string>{"stop", "close"}));
    d.BitBtn2->click();
  });
  EXPECT_EQ(result, kModalCancel);
  const QString plain = QString::fromUtf8("VELDAN|試聴を停止してから閉じてください|0|OK");
  EXPECT_EQ(boxes, QStringList(4, plain));
}

}  // namespace
}  // namespace veldan
