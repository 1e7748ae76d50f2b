#include "dsel/form_drive_sel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "support/modal.h"

namespace veldan {
namespace {

using veldan::testing::ExecWith;

// Drives E: (label DISC01) and F: (no label) are CD drives over temporary folders; G: to N: are
// more CD drives for the cases with many discs.
class DriveSelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    std::string drives;
    for (char letter = 'E'; letter <= 'N'; ++letter) {
      const QString folder = root_.filePath(QString(QChar(letter)));
      ASSERT_TRUE(QDir().mkpath(folder));
      if (!drives.empty()) drives += ';';
      drives += std::string(1, letter) + "=cdrom:" + folder.toStdString();
      if (letter == 'E') drives += ":DISC01";
      if (letter >= 'G') drives += ":VOL" + std::string(1, letter);
    }
    setenv("VELDAN_DRIVES", drives.c_str(), 1);
    ReloadDriveTable();
    ResetProgramState();
  }
  void TearDown() override {
    unsetenv("VELDAN_DRIVES");
    ReloadDriveTable();
  }

  static void SetReadyDrives(const char* letters) {
    const size_t n = std::strlen(letters);
    std::memcpy(g_state.ready_drives, letters, n);
    g_state.ready_drive_count = static_cast<int32_t>(n);
  }

  QTemporaryDir root_;
  TForm_drive_sel form_;
};

TEST_F(DriveSelTest, TwoDrivesLabelTwoButtonsAndDisableTheRest) {
  SetReadyDrives("EF");
  form_.FormShow();
  EXPECT_EQ(form_.BitBtn1->text(), "E:\\(DISC01)");
  EXPECT_TRUE(form_.BitBtn1->isEnabled());
  EXPECT_EQ(form_.BitBtn2->text(), "F:\\()");
  EXPECT_TRUE(form_.BitBtn2->isEnabled());
  for (QPushButton* button :
       {form_.BitBtn3, form_.BitBtn4, form_.BitBtn5, form_.BitBtn6, form_.BitBtn7, form_.BitBtn8}) {
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_EQ(button->text(), QString::fromUtf8("メディアなし"));
  }
  EXPECT_EQ(g_state.ready_drive_count, 2);
  EXPECT_FALSE(form_.BitBtn1->icon().isNull());
}

TEST_F(DriveSelTest, ShowingRunsTheFillAndEveryButtonClosesWithOk) {
  struct Case {
    const char* button;
    int result;
    char chosen;
  };
  // Button k stands for element k - 1; BitBtn1 leaves element 0 as it is.
  const Case cases[] = {{"BitBtn1", 1, 'E'}, {"BitBtn2", 1, 'F'}, {"BitBtn3", 1, 'G'},
                        {"BitBtn4", 1, 'H'}, {"BitBtn5", 1, 'I'}, {"BitBtn6", 1, 'J'},
                        {"BitBtn7", 1, 'K'}, {"BitBtn8", 1, 'L'}};
  for (const Case& c : cases) {
    SetReadyDrives("EFGHIJKL");
    auto* button = form_.findChild<QPushButton*>(c.button);
    ASSERT_NE(button, nullptr) << c.button;
    const int result = ExecWith(form_, [button] { button->click(); });
    EXPECT_EQ(result, c.result) << c.button;
    EXPECT_EQ(g_state.ready_drives[0], c.chosen) << c.button;
    EXPECT_EQ(std::string(g_state.ready_drives, 8).substr(1), std::string("FGHIJKL"))
        << c.button << ": only element 0 changes";
  }
}

TEST_F(DriveSelTest, ClosingTheWindowChoosesNothing) {
  SetReadyDrives("EF");
  const int result = ExecWith(form_, [this] { form_.close(); });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(g_state.ready_drives[0], 'E');
}

TEST_F(DriveSelTest, TenDrivesOfferTheFirstEight) {
  SetReadyDrives("EFGHIJKLMN");
  form_.FormShow();
  EXPECT_EQ(g_state.ready_drive_count, 8);
  EXPECT_EQ(form_.BitBtn8->text(), "L:\\(VOLL)");
  EXPECT_TRUE(form_.BitBtn8->isEnabled());
}

TEST_F(DriveSelTest, ALaterShowingWithFewerDrivesKeepsOldCaptionsOnDisabledButtons) {
  SetReadyDrives("GHIJ");
  form_.FormShow();
  SetReadyDrives("EF");
  form_.FormShow();
  EXPECT_EQ(form_.BitBtn1->text(), "E:\\(DISC01)");
  EXPECT_EQ(form_.BitBtn3->text(), "I:\\(VOLI)");
  EXPECT_FALSE(form_.BitBtn3->isEnabled());
  EXPECT_EQ(form_.BitBtn4->text(), "J:\\(VOLJ)");
  EXPECT_FALSE(form_.BitBtn4->isEnabled());
  EXPECT_EQ(form_.BitBtn5->text(), QString::fromUtf8("メディアなし"));
}

}  // namespace
}  // namespace veldan
