// The Auto CD button on the main window, over drive tables of temporary folders (a CD-ROM drive
// holds a disc while its folder exists) and the fake decoder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "dsel/form_drive_sel.h"
#include "main/main_window_fixture.h"
#include "platform/drives.h"
#include "platform/paths.h"

namespace veldan::testing {
namespace {

class AutoCdClickTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Form_drive_sel = &drive_dialog_;
  }
  void TearDown() override {
    Form_drive_sel = nullptr;
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
    MainWindowTest::TearDown();
  }

  // CD-ROM drives over folders dir/<letter>; T: is the temporary folder itself, fixed.
  void MapDrives(const char* cd_letters) {
    std::string drives = "T=fixed:" + dir_->path().toStdString();
    for (const char* c = cd_letters; *c != '\0'; ++c) {
      drives += ';';
      drives.push_back(*c);
      drives += "=cdrom:" + DiscFolder(*c).toStdString();
    }
    setenv("VELDAN_DRIVES", drives.c_str(), 1);
    ReloadDriveTable();
  }
  QString DiscFolder(char letter) const { return dir_->path() + "/cd" + QChar(letter); }
  void InsertDisc(char letter, const char* track = "01.mp3") {
    CreateFile(DiscFolder(letter), track);
  }
  // Runs action on the first modal widget that appears during the press.
  void OnModal(std::function<void(QWidget*)> action) {
    auto* poll = new QTimer(window_.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        poll->deleteLater();
        action(modal);
      }
    });
    poll->start(10);
  }
  std::string Title() const { return window_->windowTitle().toStdString(); }

  TForm_drive_sel drive_dialog_;
};

TEST_F(AutoCdClickTest, OneDiscIsSearchedFromItsRootAndPlayed) {
  MapDrives("E");
  InsertDisc('E');
  window_->BitBtn_auto_cdClick();
  EXPECT_EQ(Title(), "VELDAN [E:]");
  EXPECT_EQ(LastOpened(), "E:\\01.mp3");
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(StartButtonsDisabled());
}

TEST_F(AutoCdClickTest, PressWhilePlayingDoesNothing) {
  MapDrives("E");
  InsertDisc('E');
  fake::SetDecoderState(VBMP3_PLAYING);
  window_->BitBtn_auto_cdClick();
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_NE(Title(), "VELDAN [E:]");
}

TEST_F(AutoCdClickTest, EmptyDrivePromptsAndPlaysTheDiscOnceItArrives) {
  MapDrives("E");
  QString prompt;
  OnModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    prompt = box->text();
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    // The buttons carry the words the text tells the user to press.
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), "OK");
    EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
    QTimer::singleShot(300, window_.get(), [this] {
      EXPECT_EQ(Text(window_->Label_status), "Waiting CD");
      EXPECT_FALSE(window_->BitBtn_auto_cd->isEnabled());
      EXPECT_FALSE(window_->BitBtn_sel->isEnabled());
      InsertDisc('E');
    });
    box->button(QMessageBox::Ok)->click();
  });
  window_->BitBtn_auto_cdClick();
  EXPECT_TRUE(prompt.startsWith(QString::fromUtf8("ﾄﾞﾗｲﾌﾞ[E:\\]")));
  EXPECT_EQ(Title(), "VELDAN [E:]");
  EXPECT_EQ(LastOpened(), "E:\\01.mp3");
}

TEST_F(AutoCdClickTest, CancelledPromptPlaysThePreviousFolderAgain) {
  MapDrives("E");
  CreateFile(dir_->path(), "old.mp3");
  std::snprintf(g_state.starting_folder, sizeof g_state.starting_folder, "T:");
  OnModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->reject(); });
  window_->BitBtn_auto_cdClick();
  EXPECT_EQ(Title(), "VELDAN [T:]");
  EXPECT_EQ(LastOpened(), "T:\\old.mp3");
}

TEST_F(AutoCdClickTest, TwoDiscsLetTheDriveDialogChoose) {
  MapDrives("EF");
  InsertDisc('E');
  InsertDisc('F', "02.mp3");
  OnModal([this](QWidget* modal) {
    EXPECT_EQ(modal, &drive_dialog_);
    drive_dialog_.BitBtn2->click();
  });
  window_->BitBtn_auto_cdClick();
  EXPECT_EQ(Title(), "VELDAN [F:]");
  EXPECT_EQ(LastOpened(), "F:\\02.mp3");
}

TEST_F(AutoCdClickTest, ClosingDuringTheDiscWaitEndsTheHandler) {
  MapDrives("E");
  OnModal([this](QWidget* modal) {
    QTimer::singleShot(200, window_.get(), [this] { window_->close(); });
    qobject_cast<QMessageBox*>(modal)->accept();
  });
  window_->BitBtn_auto_cdClick();
  EXPECT_TRUE(g_state.closing);
  EXPECT_EQ(OpenCount(), 0);
  EXPECT_NE(Title(), "VELDAN [E:]");
}

}  // namespace
}  // namespace veldan::testing
