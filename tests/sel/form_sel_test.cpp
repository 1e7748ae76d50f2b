#include "sel/form_sel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "platform/paths.h"
#include "support/modal.h"

namespace veldan {
namespace {

using veldan::testing::ExecWith;

// What the decoder hears when a list is loaded: nothing plays from then on.
const std::vector<std::string> kStopped = {"stop", "close"};

class SelDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(HostPathToProgram(folder_.path().toStdString(), g_state.program_folder, kTextSize));
    // The user's answer to a file dialog, recorded with what the dialog offered.
    form_.SetFileDialogRunner([this](QFileDialog& dialog) {
      ++runs_;
      offered_ = &dialog;
      offered_file_ = dialog.selectedFiles().value(0);
      return answer_;
    });
  }

  static void SetCatalogue(const std::vector<std::string>& entries, int32_t current) {
    g_state.catalogue.count = 0;
    for (const std::string& entry : entries) {
      std::strcpy(g_state.catalogue.entries[g_state.catalogue.count++], entry.c_str());
    }
    g_state.catalogue.current = current;
  }
  QStringList Items() const {
    QStringList items;
    for (int i = 0; i < form_.ListBox1->count(); ++i) items << form_.ListBox1->item(i)->text();
    return items;
  }
  QString HostFile(const char* name) const { return folder_.filePath(QString::fromUtf8(name)); }
  void WriteFile(const char* name, const QByteArray& bytes) const {
    QFile file(HostFile(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  QTemporaryDir folder_;
  TForm_sel form_;
  int runs_ = 0;
  QFileDialog* offered_ = nullptr;
  QString offered_file_;
  QString answer_;  // empty: the user cancels
};

TEST_F(SelDialogTest, ShowingListsEveryEntryAndSelectsTheCurrentOne) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\\x93\xfa\x96\x7b\\\x8b\xc8.mp3", "C:\\B\\3.mp3"}, 1);
  form_.show();
  EXPECT_EQ(Items(),
            QStringList({"C:\\A\\1.mp3", QString::fromUtf8("C:\\日本\\曲.mp3"), "C:\\B\\3.mp3"}));
  EXPECT_TRUE(form_.ListBox1->item(1)->isSelected());
  form_.hide();
  SetCatalogue({}, 0);  // the list mirrors the catalogue anew at every showing
  form_.show();
  EXPECT_EQ(form_.ListBox1->count(), 0);
}

TEST_F(SelDialogTest, DoubleClickingAnItemChoosesItAndClosesWithOk) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3", "C:\\B\\4.mp3"}, 0);
  const int result = ExecWith(form_, [this] {
    const QPoint item = form_.ListBox1->visualItemRect(form_.ListBox1->item(2)).center();
    QTest::mouseClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, item);
    QTest::mouseDClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, item);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(form_.ChosenIndex(), 2);
  EXPECT_EQ(g_state.catalogue.current, 2);
}

TEST_F(SelDialogTest, ADoubleClickOnAnEmptyListIsIgnoredAndClosingIsCancel) {
  bool still_open = false;
  const int result = ExecWith(form_, [this, &still_open] {
    QTest::mouseDClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    still_open = form_.isVisible();
    form_.close();
  });
  EXPECT_TRUE(still_open);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(form_.ChosenIndex(), -1);
}

TEST_F(SelDialogTest, SavingOffersTheDefaultListFileAndReplacesWithoutAsking) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3"}, 2);
  g_state.continuous_play = true;
  WriteFile("mine.m3u", "old contents that are longer than the new ones .....\r\n");
  answer_ = HostFile("mine.m3u");
  form_.Button_save->click();

  ASSERT_EQ(runs_, 1);
  EXPECT_EQ(offered_file_, HostFile("Filelist.m3u"));
  EXPECT_EQ(offered_->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(offered_->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(offered_->nameFilters(),
            QStringList({QString::fromUtf8("プレイリスト(*.m3u) (*.m3u *.m3u8)"),
                         QString::fromUtf8("テキストファイル(*.txt) (*.txt)"),
                         QString::fromUtf8("全てのファイル(*.*) (*)")}));
  EXPECT_EQ(offered_->selectedNameFilter(), QString::fromUtf8("プレイリスト(*.m3u)"));
  QFile saved(HostFile("mine.m3u"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), QByteArray("C:\\A\\1.mp3\r\nC:\\A\\2.mp3\r\nC:\\B\\3.mp3\r\n"));
  EXPECT_EQ(g_state.catalogue.current, 2);
  EXPECT_TRUE(g_state.continuous_play);
}

TEST_F(SelDialogTest, CancellingEitherFileDialogChangesNothing) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}, 1);
  g_state.continuous_play = true;
  form_.show();
  form_.Button_save->click();
  form_.Button_load->click();
  EXPECT_EQ(runs_, 2);
  EXPECT_FALSE(QFile::exists(HostFile("Filelist.m3u")));
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_TRUE(fake::CallLog().empty());
  EXPECT_EQ(form_.ListBox1->currentRow(), 1);
}

TEST_F(SelDialogTest, LoadingReplacesTheCatalogueByTheListInFileOrder) {
  QByteArray six_hundred_lines;
  for (int i = 0; i < 600; ++i) six_hundred_lines += "C:\\" + QByteArray::number(i) + ".mp3\r\n";
  struct Case {
    const char* what;
    QByteArray bytes;
    int count;
    std::vector<std::string> first;  // the leading entries expected
  };
  const Case cases[] = {
      {"three lines, unsorted",
       "C:\\B\\3.mp3\r\nC:\\A\\1.mp3\r\nC:\\A\\2.mp3\r\n",
       3,
       {"C:\\B\\3.mp3", "C:\\A\\1.mp3", "C:\\A\\2.mp3"}},
      {"600 lines", six_hundred_lines, 500, {"C:\\0.mp3", "C:\\1.mp3"}},
      {"last line without a break", "C:\\a.mp3\nC:\\b.mp3", 2, {"C:\\a.mp3", "C:\\b.mp3"}},
      {"a 600-byte line names nothing",
       "C:\\" + QByteArray(597, 'x') + "\r\nC:\\a.mp3\r\n",
       1,
       {"C:\\a.mp3"}},
      {"blank and # lines",
       "#EXTM3U\r\n\r\nC:\\a.mp3\r\n#EXTINF:1,a\r\n\n\r\nC:\\b.mp3\r\n",
       2,
       {"C:\\a.mp3", "C:\\b.mp3"}},
  };
  answer_ = HostFile("list.m3u");
  for (const Case& c : cases) {
    SetCatalogue({"C:\\old\\1.mp3", "C:\\old\\2.mp3"}, 1);
    g_state.continuous_play = true;
    fake::ResetDecoder();
    form_.show();
    WriteFile("list.m3u", c.bytes);
    form_.Button_load->click();

    EXPECT_EQ(offered_->fileMode(), QFileDialog::AnyFile) << c.what;
    EXPECT_EQ(offered_file_, HostFile("Filelist.m3u")) << c.what;
    EXPECT_EQ(g_state.catalogue.count, c.count) << c.what;
    EXPECT_EQ(g_state.catalogue.current, 0) << c.what;
    for (size_t i = 0; i < c.first.size(); ++i) {
      EXPECT_EQ(g_state.catalogue.entries[i], c.first[i]) << c.what << " entry " << i;
    }
    EXPECT_EQ(form_.ListBox1->count(), c.count) << c.what;
    EXPECT_EQ(form_.ListBox1->currentRow(), 0) << c.what;
    EXPECT_FALSE(g_state.continuous_play) << c.what;
    EXPECT_EQ(fake::CallLog(), kStopped) << c.what;
    form_.hide();
  }
}

TEST_F(SelDialogTest, LoadingATypedNameOfNoFileStopsThePlayerOnly) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}, 1);
  g_state.continuous_play = true;
  form_.show();
  answer_ = HostFile("typed but missing.m3u");
  form_.Button_load->click();
  EXPECT_FALSE(g_state.continuous_play);
  EXPECT_EQ(fake::CallLog(), kStopped);
  EXPECT_EQ(g_state.catalogue.count, 2);
  EXPECT_EQ(g_state.catalogue.current, 1);
  EXPECT_EQ(Items(), QStringList({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}));
}

// The next widget that the Tab key reaches.
QWidget* NextTabStop(QWidget* widget) {
  QWidget* next = widget->nextInFocusChain();
  while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
  return next;
}

TEST_F(SelDialogTest, LayoutFocusOrderAndResizing) {
  form_.show();
  EXPECT_EQ(form_.ListBox1->geometry(), QRect(0, 0, 547, 161));
  EXPECT_EQ(form_.Button_load->geometry(), QRect(456, 164, 81, 21));
  EXPECT_FALSE(form_.Button_save->autoDefault());  // Enter in the list presses nothing
  EXPECT_EQ(NextTabStop(form_.ListBox1), form_.Button_save);
  EXPECT_EQ(NextTabStop(form_.Button_save), form_.Button_load);
  EXPECT_EQ(NextTabStop(form_.Button_load), form_.ListBox1);
  // The list fills the width, and the row below it stays at the bottom edge.
  form_.resize(700, 300);
  EXPECT_EQ(form_.ListBox1->geometry(), QRect(0, 0, 700, 273));
  EXPECT_EQ(form_.Button_load->geometry(), QRect(456, 276, 81, 21));
}

}  // namespace
}  // namespace veldan
