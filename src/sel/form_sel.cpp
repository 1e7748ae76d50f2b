#include "sel/form_sel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <cstdio>
#include <string>

#include "catalogue/list_lines.h"
#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "platform/colours.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "sel/list_file.h"
#include "ui/design_font.h"

namespace veldan {

TForm_sel* Form_sel = nullptr;

namespace {

// The designed outer size is 555 x 215 with a classic sizeable frame (4 px each side, 19 px
// title bar); the window manager adds its own frame to this client area.
constexpr int kClientWidth = 547;
constexpr int kClientHeight = 188;
constexpr int kListHeight = 161;

// Description and pattern pairs as the file dialogs offer them. "*.*" means every file, which
// on this host is "*" (a name without a dot is a file too). Play lists include the UTF-8 ".m3u8"
// lists that other players write.
constexpr const char* kListFileFilters[][2] = {
    {"プレイリスト(*.m3u)", "*.m3u *.m3u8"},
    {"テキストファイル(*.txt)", "*.txt"},
    {"全てのファイル(*.*)", "*"},
};

QStringList ListFileNameFilters() {
  QStringList filters;
  for (const auto& pair : kListFileFilters) {
    filters << QString::fromUtf8(pair[0]) + " (" + QString::fromUtf8(pair[1]) + ")";
  }
  return filters;
}

QFileDialog* NewListFileDialog(QWidget* parent, const char* name, QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(name);
  // HideNameFilterDetails shows each description alone, as written above.
  dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(ListFileNameFilters());
  dialog->selectNameFilter(dialog->nameFilters().first());
  dialog->setAcceptMode(mode);
  return dialog;
}

QString RunModalFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

// Double-clicks anywhere in the list, also below the last item, as the list box reports them.
class DoubleClickFilter : public QObject {
 public:
  explicit DoubleClickFilter(TForm_sel* form) : QObject(form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      form_->ListBox1DblClick();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm_sel* form_;
};

}  // namespace

TForm_sel::TForm_sel(QWidget* parent) : QDialog(parent), run_file_dialog_(RunModalFileDialog) {
  Form_sel = this;
  setObjectName("Form_sel");
  setWindowTitle(QString::fromUtf8("検索されたファイルのダイレクト選択"));
  setAccessibleName(QStringLiteral("Select a track"));
  setFont(DesignFont(kProportionalGothic, 12));
  resize(kClientWidth, kClientHeight);
  setMinimumSize(kClientWidth, kClientHeight);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setSortingEnabled(false);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setGeometry(0, 0, kClientWidth, kListHeight);
  ListBox1->viewport()->installEventFilter(new DoubleClickFilter(this));

  Label1 =
      new QLabel(QString::fromUtf8("※ダブルクリックで再生するファイルを選択してください"), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 168, 274, 12);
  QPalette red_text = Label1->palette();
  red_text.setColor(QPalette::WindowText, QColor(kColourRed));
  Label1->setPalette(red_text);

  Button_save = new QPushButton(QString::fromUtf8("ファイル名のリストを保存"), this);
  Button_save->setObjectName("Button_save");
  Button_save->setGeometry(304, 164, 145, 21);
  Button_load = new QPushButton(QString::fromUtf8("リストを呼出"), this);
  Button_load->setObjectName("Button_load");
  Button_load->setGeometry(456, 164, 81, 21);
  // The dialog has no default button: Enter in the list must not save or load.
  for (QPushButton* button : {Button_save, Button_load}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  connect(Button_save, &QPushButton::clicked, this, [this] { Button_saveClick(); });
  connect(Button_load, &QPushButton::clicked, this, [this] { Button_loadClick(); });

  setTabOrder(ListBox1, Button_save);
  setTabOrder(Button_save, Button_load);
}

TForm_sel::~TForm_sel() {
  if (Form_sel == this) Form_sel = nullptr;
}

void TForm_sel::SetFileDialogRunner(FileDialogRunner runner) {
  run_file_dialog_ = runner ? std::move(runner) : FileDialogRunner(RunModalFileDialog);
}

void TForm_sel::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
    FormShow();
  }
  QDialog::showEvent(event);
}

void TForm_sel::resizeEvent(QResizeEvent* event) {
  // The list keeps the width and whatever height the bottom row leaves; the row stays at the
  // bottom edge, so at the designed size every control is where it was designed.
  const int bottom_shift = height() - kClientHeight;
  ListBox1->setGeometry(0, 0, width(), kListHeight + bottom_shift);
  Label1->move(8, 168 + bottom_shift);
  Button_save->move(304, 164 + bottom_shift);
  Button_load->move(456, 164 + bottom_shift);
  QDialog::resizeEvent(event);
}

void TForm_sel::reject() {
  done(2);
}

void TForm_sel::FillList() {
  ListBox1->clear();
  const TrackCatalogue& catalogue = g_state.catalogue;
  for (int32_t i = 0; i < catalogue.count && i < kCatalogueCapacity; ++i) {
    const char* entry = catalogue.entries[i];
    ListBox1->addItem(QString::fromStdString(
        ProgramTextToDisplay(std::string_view(entry, strnlen(entry, kTextSize)))));
  }
}

void TForm_sel::FormShow() {
  chosen_index_ = -1;
  FillList();
  const int32_t current = g_state.catalogue.current;
  if (current >= 0 && current < ListBox1->count()) {
    ListBox1->setCurrentRow(current);
    ListBox1->scrollToItem(ListBox1->item(current));
  }
}

void TForm_sel::ListBox1DblClick() {
  // Only an empty list has no selected item; there is nothing to hand on then.
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  if (selected.isEmpty()) return;
  const int row = ListBox1->row(selected.first());
  if (row < 0 || row >= g_state.catalogue.count) return;
  chosen_index_ = row;
  g_state.catalogue.current = row;
  done(1);
}

bool TForm_sel::RunFileDialog(QFileDialog& dialog, char* out) {
  out[0] = '\0';
  char preset[kTextSize];
  const int wanted =
      std::snprintf(preset, sizeof preset, "%s\\Filelist.m3u", g_state.program_folder);
  std::string preset_host;
  if (wanted > 0 && wanted < kTextSize && ProgramPathToHost(preset, &preset_host)) {
    const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(preset_host)));
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  dialog.selectNameFilter(dialog.nameFilters().first());
  QCoreApplication::processEvents();
  const QString chosen = run_file_dialog_(dialog);
  if (chosen.isEmpty()) return false;
  HostPathToProgram(QFile::encodeName(chosen).toStdString(), out, kTextSize);
  return true;
}

// The file dialogs are built at their first use: they are the costliest part of this dialog
// (icons, the file system model) and most runs never save or load a list. Once built, each keeps
// what the user did in it (its view, its size) for the next time, as it always did.
QFileDialog& TForm_sel::SaveDialog() {
  if (SaveDialog1 == nullptr) {
    SaveDialog1 = NewListFileDialog(this, "SaveDialog1", QFileDialog::AcceptSave);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1->setDefaultSuffix(QString());
  }
  return *SaveDialog1;
}

QFileDialog& TForm_sel::OpenDialog() {
  // AnyFile in open mode also accepts a typed name of a file that does not exist.
  if (OpenDialog1 == nullptr) {
    OpenDialog1 = NewListFileDialog(this, "OpenDialog1", QFileDialog::AcceptOpen);
  }
  return *OpenDialog1;
}

void TForm_sel::Button_saveClick() {
  char path[kTextSize];
  if (!RunFileDialog(SaveDialog(), path) || path[0] == '\0') return;
  SaveCatalogueAsList(path);
}

void TForm_sel::Button_loadClick() {
  char path[kTextSize];
  if (!RunFileDialog(OpenDialog(), path)) return;
  // From here on nothing plays, whether or not the list opens.
  g_state.continuous_play = false;
  vbmp3_stop();
  vbmp3_close();
  if (path[0] == '\0' || !ReplaceCatalogueFromList(path)) return;
  FillList();
  if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
}

}  // namespace veldan
