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
#include "decoder_calls.h"
#include "platform/paths.h"
#include "support/modal.h"

namespace veldan {
namespace {

using veldan::testing::ExecWith;

// What a file dialog was asked to show, and what the test's user answers.
struct DialogSeen {
  int runs = 0;
  QFileDialog::AcceptMode accept_mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode file_mode = QFileDialog::ExistingFile;
  bool confirms_overwrite = true;
  QString directory;
  QString selected_file;
  QStringList filters;
  QString selected_filter;
};

// The next widget that the Tab key reaches.
QWidget* NextTabStop(QWidget* widget) {
  QWidget* next = widget->nextInFocusChain();
  while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
  return next;
}

class SelDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    ResetDecoderCalls();
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(HostPathToProgram(folder_.path().toStdString(), g_state.program_folder,
                                  kTextSize));
    form_.SetFileDialogRunner([this](QFileDialog& dialog) {
      ++seen_.runs;
      seen_.accept_mode = dialog.acceptMode();
      seen_.file_mode = dialog.fileMode();
      seen_.confirms_overwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
      seen_.directory = dialog.directory().absolutePath();
      const QStringList selected = dialog.selectedFiles();
      seen_.selected_file = selected.isEmpty() ? QString() : selected.first();
      seen_.filters = dialog.nameFilters();
      seen_.selected_filter = dialog.selectedNameFilter();
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
  static std::vector<std::string> Catalogue() {
    return {std::begin(g_state.catalogue.entries),
            std::begin(g_state.catalogue.entries) + g_state.catalogue.count};
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
  DialogSeen seen_;
  QString answer_;  // empty: the user cancels
};

TEST_F(SelDialogTest, ShowingListsEveryEntryAndSelectsTheCurrentOne) {
  std::vector<std::string> entries;
  for (int i = 0; i < 12; ++i) entries.push_back("C:\\A\\" + std::to_string(i) + ".mp3");
  entries.push_back("C:\\\x93\xfa\x96\x7b\\\x8b\xc8.mp3");  // C:\日本\曲.mp3 in Shift-JIS
  SetCatalogue(entries, 7);
  form_.show();
  ASSERT_EQ(form_.ListBox1->count(), 13);
  EXPECT_EQ(form_.ListBox1->item(3)->text(), "C:\\A\\3.mp3");
  EXPECT_EQ(form_.ListBox1->item(12)->text(), QString::fromUtf8("C:\\日本\\曲.mp3"));
  EXPECT_EQ(form_.ListBox1->currentRow(), 7);
  EXPECT_TRUE(form_.ListBox1->item(7)->isSelected());
  form_.hide();

  // The list mirrors the catalogue anew at every showing.
  SetCatalogue({}, 0);
  form_.show();
  EXPECT_EQ(form_.ListBox1->count(), 0);
  EXPECT_TRUE(form_.ListBox1->selectedItems().isEmpty());
}

TEST_F(SelDialogTest, DoubleClickingAnItemChoosesItAndClosesWithOk) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3", "C:\\B\\4.mp3"}, 0);
  const int result = ExecWith(form_, [this] {
    const QRect item = form_.ListBox1->visualItemRect(form_.ListBox1->item(2));
    QTest::mouseClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, item.center());
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(form_.ChosenIndex(), 2);
  EXPECT_EQ(g_state.catalogue.current, 2);
  EXPECT_EQ(DecoderCalls().stop, 0);
}

TEST_F(SelDialogTest, ADoubleClickWithNothingSelectedHandsNothingOn) {
  SetCatalogue({}, 0);
  bool still_open = false;
  const int result = ExecWith(form_, [this, &still_open] {
    QTest::mouseDClick(form_.ListBox1->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    still_open = form_.isVisible();
    form_.close();
  });
  EXPECT_TRUE(still_open);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(form_.ChosenIndex(), -1);
  EXPECT_EQ(g_state.catalogue.current, 0);
}

TEST_F(SelDialogTest, ClosingTheWindowIsCancelAndChangesNothing) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}, 1);
  g_state.continuous_play = true;
  const int result = ExecWith(form_, [this] { form_.close(); });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(g_state.catalogue.current, 1);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(DecoderCalls().stop, 0);
}

TEST_F(SelDialogTest, SavingOffersTheDefaultListFileAndReplacesWithoutAsking) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3"}, 2);
  g_state.continuous_play = true;
  WriteFile("mine.m3u", "old contents that are longer than the new ones .....\r\n");
  answer_ = HostFile("mine.m3u");
  form_.Button_save->click();

  EXPECT_EQ(seen_.runs, 1);
  EXPECT_EQ(seen_.accept_mode, QFileDialog::AcceptSave);
  EXPECT_FALSE(seen_.confirms_overwrite);
  EXPECT_EQ(seen_.directory, QDir(folder_.path()).absolutePath());
  EXPECT_EQ(seen_.selected_file, HostFile("Filelist.m3u"));
  const QStringList filters = {QString::fromUtf8("プレイリスト(*.m3u) (*.m3u)"),
                               QString::fromUtf8("テキストファイル(*.txt) (*.txt)"),
                               QString::fromUtf8("全てのファイル(*.*) (*)")};
  EXPECT_EQ(seen_.filters, filters);
  // The dialog names the selected filter by its description alone.
  EXPECT_TRUE(filters.first().startsWith(seen_.selected_filter));
  EXPECT_FALSE(seen_.selected_filter.isEmpty());

  QFile saved(HostFile("mine.m3u"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), QByteArray("C:\\A\\1.mp3\r\nC:\\A\\2.mp3\r\nC:\\B\\3.mp3\r\n"));
  // Saving touches neither the catalogue nor the player.
  EXPECT_EQ(g_state.catalogue.current, 2);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(DecoderCalls().stop, 0);
}

TEST_F(SelDialogTest, CancellingEitherFileDialogChangesNothing) {
  SetCatalogue({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}, 1);
  g_state.continuous_play = true;
  form_.show();
  answer_.clear();
  form_.Button_save->click();
  form_.Button_load->click();
  EXPECT_EQ(seen_.runs, 2);
  EXPECT_FALSE(QFile::exists(HostFile("Filelist.m3u")));
  EXPECT_EQ(Catalogue(), (std::vector<std::string>{"C:\\A\\1.mp3", "C:\\A\\2.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 1);
  EXPECT_TRUE(g_state.continuous_play);
  EXPECT_EQ(DecoderCalls().stop, 0);
  EXPECT_EQ(DecoderCalls().close, 0);
  EXPECT_EQ(form_.ListBox1->currentRow(), 1);
}

TEST_F(SelDialogTest, LoadingReplacesTheCatalogueByTheListInFileOrder) {
  QByteArray six_hundred_lines;
  for (int i = 0; i < 600; ++i) six_hundred_lines += "C:\\L\\" + QByteArray::number(i) + ".mp3\r\n";
  const QByteArray long_line = "C:\\" + QByteArray(597, 'x') + "\r\n";  // 600 bytes of text
  struct Case {
    const char* what;
    QByteArray bytes;
    int count;
    std::vector<std::string> first;  // the leading entries expected
  };
  const Case cases[] = {
      {"three lines, unsorted", "C:\\B\\3.mp3\r\nC:\\A\\1.mp3\r\nC:\\A\\2.mp3\r\n", 3,
       {"C:\\B\\3.mp3", "C:\\A\\1.mp3", "C:\\A\\2.mp3"}},
      {"600 lines", six_hundred_lines, 500, {"C:\\L\\0.mp3", "C:\\L\\1.mp3"}},
      {"last line without a break", "C:\\a.mp3\nC:\\b.mp3", 2, {"C:\\a.mp3", "C:\\b.mp3"}},
      {"a 600-byte line", long_line, 2,
       {"C:\\" + std::string(508, 'x'), std::string(89, 'x')}},
      {"blank and # lines", "#EXTM3U\r\n\r\nC:\\a.mp3\r\n#EXTINF:1,a\r\n\n\r\nC:\\b.mp3\r\n", 2,
       {"C:\\a.mp3", "C:\\b.mp3"}},
  };
  for (const Case& c : cases) {
    SetCatalogue({"C:\\old\\1.mp3", "C:\\old\\2.mp3"}, 1);
    g_state.continuous_play = true;
    ResetDecoderCalls();
    form_.show();
    WriteFile("list.m3u", c.bytes);
    answer_ = HostFile("list.m3u");
    form_.Button_load->click();

    EXPECT_EQ(seen_.accept_mode, QFileDialog::AcceptOpen) << c.what;
    EXPECT_EQ(seen_.file_mode, QFileDialog::AnyFile) << c.what;
    EXPECT_EQ(seen_.selected_file, HostFile("Filelist.m3u")) << c.what;
    EXPECT_EQ(g_state.catalogue.count, c.count) << c.what;
    EXPECT_EQ(g_state.catalogue.current, 0) << c.what;
    for (size_t i = 0; i < c.first.size(); ++i) {
      EXPECT_EQ(g_state.catalogue.entries[i], c.first[i]) << c.what << " entry " << i;
    }
    EXPECT_EQ(form_.ListBox1->count(), c.count) << c.what;
    EXPECT_EQ(form_.ListBox1->currentRow(), 0) << c.what;
    EXPECT_TRUE(form_.isVisible()) << c.what << ": loading leaves the dialog open";
    // Nothing plays after a load.
    EXPECT_FALSE(g_state.continuous_play) << c.what;
    EXPECT_EQ(DecoderCalls().stop, 1) << c.what;
    EXPECT_EQ(DecoderCalls().close, 1) << c.what;
    EXPECT_EQ(DecoderCalls().play, 0) << c.what;
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
  EXPECT_EQ(DecoderCalls().stop, 1);
  EXPECT_EQ(DecoderCalls().close, 1);
  EXPECT_EQ(Catalogue(), (std::vector<std::string>{"C:\\A\\1.mp3", "C:\\A\\2.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 1);
  EXPECT_EQ(Items(), QStringList({"C:\\A\\1.mp3", "C:\\A\\2.mp3"}));
  EXPECT_EQ(form_.ListBox1->currentRow(), 1);
}

TEST_F(SelDialogTest, LayoutCaptionsAndFocusOrder) {
  struct Place {
    const char* name;
    QRect rect;
    const char* text;
  };
  const Place places[] = {
      {"ListBox1", {0, 0, 547, 161}, nullptr},
      {"Label1", {8, 168, 274, 12}, "※ダブルクリックで再生するファイルを選択してください"},
      {"Button_save", {304, 164, 145, 21}, "ファイル名のリストを保存"},
      {"Button_load", {456, 164, 81, 21}, "リストを呼出"}};
  form_.show();
  EXPECT_EQ(form_.windowTitle(), QString::fromUtf8("検索されたファイルのダイレクト選択"));
  for (const Place& p : places) {
    auto* widget = form_.findChild<QWidget*>(p.name);
    ASSERT_NE(widget, nullptr) << p.name;
    EXPECT_EQ(widget->geometry(), p.rect) << p.name;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), QString::fromUtf8(p.text));
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), QString::fromUtf8(p.text));
      EXPECT_FALSE(button->autoDefault()) << p.name << ": Enter in the list must not press it";
    }
  }
  EXPECT_EQ(form_.Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(NextTabStop(form_.ListBox1), form_.Button_save);
  EXPECT_EQ(NextTabStop(form_.Button_save), form_.Button_load);
  EXPECT_EQ(NextTabStop(form_.Button_load), form_.ListBox1);

  // Wider and taller: the list fills the width and the row below stays at the bottom.
  form_.resize(700, 300);
  EXPECT_EQ(form_.ListBox1->geometry(), QRect(0, 0, 700, 273));
  EXPECT_EQ(form_.Button_load->geometry(), QRect(456, 276, 81, 21));
}

}  // namespace
}  // namespace veldan
