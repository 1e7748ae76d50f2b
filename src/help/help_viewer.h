// The help viewer: VELDAN's own window for its help file, an HTML document (VELDAN.HLP) that it
// opens at its contents page. Links inside the document are followed in the same window; a file
// that can't be opened is reported in the viewer itself, naming the file. The program shows
// nothing of its own about it.
//
// One viewer window serves the whole run and is reused by every request. User-interface thread
// only.
#pragma once

#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace veldan {

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  // Opens the help file (program text) at its contents page and brings the window up.
  void ShowContents(const char* help_file);

  // False while the viewer shows its report of a file that could not be opened.
  bool FileOpened() const { return file_opened_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  void ShowCannotOpen(const QString& program_path, const QString& host_path);

  QTextBrowser* browser_;
  QPushButton* contents_button_;
  QPushButton* back_button_;
  QPushButton* forward_button_;
  bool file_opened_ = false;
};

// Shows help_file (program text) at its contents in the one viewer window, which is created on
// first use as a window of owner (may be null). Returns the viewer.
HelpViewer* ShowHelpContents(QWidget* owner, const char* help_file);

// The popup menu's help entry: the help file is the program folder + "\VELDAN.HLP" (an installed
// copy's share/veldan/VELDAN.HLP), formed anew from g_state on every call, shown at its contents.
HelpViewer* ShowProgramHelp(QWidget* owner);

}  // namespace veldan
