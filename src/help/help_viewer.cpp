#include "help/help_viewer.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "platform/install_layout.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

namespace {

// The one viewer of the run; it lives as long as its owner window.
QPointer<HelpViewer> g_viewer;

QString DisplayText(const char* program_text) {
  return QString::fromStdString(
      ProgramTextToDisplay(std::string_view(program_text, strnlen(program_text, kTextSize))));
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpViewer");
  setWindowTitle(QString::fromUtf8("VELDAN 操作説明"));
  setAccessibleName(QStringLiteral("VELDAN operating instructions"));
  resize(680, 520);

  contents_button_ = new QPushButton(QString::fromUtf8("目次"), this);
  contents_button_->setObjectName("HelpContents");
  back_button_ = new QPushButton(QString::fromUtf8("戻る"), this);
  back_button_->setObjectName("HelpBack");
  forward_button_ = new QPushButton(QString::fromUtf8("進む"), this);
  forward_button_->setObjectName("HelpForward");
  back_button_->setEnabled(false);
  forward_button_->setEnabled(false);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents_button_);
  buttons->addWidget(back_button_);
  buttons->addWidget(forward_button_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);

  connect(contents_button_, &QPushButton::clicked, browser_, &QTextBrowser::home);
  connect(back_button_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_button_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_button_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_button_, &QPushButton::setEnabled);
}

void HelpViewer::ShowContents(const char* help_file) {
  std::string host_path;
  const bool mapped = ProgramPathToHost(help_file, &host_path);
  const QString host = QFile::decodeName(QByteArray::fromStdString(host_path));
  QFile file(host);
  // Open it once here, so that a missing or unreadable file gets our own page instead of an
  // empty browser.
  if (!mapped || QFileInfo(host).isDir() || !file.open(QIODevice::ReadOnly)) {
    ShowCannotOpen(DisplayText(help_file), host);
  } else {
    file.close();
    file_opened_ = true;
    browser_->clearHistory();
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(host).absoluteFilePath()),
                        QTextDocument::HtmlResource);
    contents_button_->setEnabled(true);
  }
  show();
  raise();
  activateWindow();
}

void HelpViewer::ShowCannotOpen(const QString& program_path, const QString& host_path) {
  file_opened_ = false;
  browser_->clearHistory();
  browser_->setSource(QUrl());
  QString page = QString::fromUtf8(
                     "<h2>ヘルプファイルを開けません</h2>"
                     "<p>次のファイルが見つからないか、読み込めませんでした。</p>"
                     "<p><b>%1</b></p>")
                     .arg(program_path.toHtmlEscaped());
  if (!host_path.isEmpty()) {
    page += QString::fromUtf8("<p>(%1)</p>").arg(host_path.toHtmlEscaped());
  }
  page += QString::fromUtf8(
      "<p>VELDAN.HLP "
      "をプログラムと同じフォルダに置いてから、もう一度「操作説明」を選んでください。</p>");
  browser_->setHtml(page);
  contents_button_->setEnabled(false);
}

HelpViewer* ShowHelpContents(QWidget* owner, const char* help_file) {
  if (g_viewer.isNull()) g_viewer = new HelpViewer(owner);
  g_viewer->ShowContents(help_file);
  return g_viewer.data();
}

HelpViewer* ShowProgramHelp(QWidget* owner) {
  char installed_file[kTextSize];
  if (InstalledHelpFile(g_state.program_folder, installed_file, sizeof installed_file)) {
    return ShowHelpContents(owner, installed_file);
  }
  // Formed anew on every request, and without a fixed buffer: a folder too long for a program
  // path still names the file in the viewer's report.
  const std::string help_file =
      std::string(g_state.program_folder, strnlen(g_state.program_folder, kTextSize)) +
      "\\VELDAN.HLP";
  return ShowHelpContents(owner, help_file.c_str());
}

}  // namespace veldan
