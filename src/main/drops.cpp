// Folders, tracks and lists dropped on the main window from a file manager. A drop is the
// command line's argument given later: the first dropped item decides, as the first path on the
// command line does, and it plays through PlayArgument, so the window refuses it at the same
// moments as it refuses a remote's OpenUri (a dialog open, a search or a track opening running).
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "main/main_window.h"

namespace veldan {
namespace {

// The first dropped item as a command-line argument (the host path's bytes); empty when it is no
// file or folder here: a web address, text, or a file that has gone.
QByteArray DroppedArgument(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
  const QString path = urls.first().toLocalFile();
  if (path.isEmpty() || !QFileInfo::exists(path)) return {};
  return QFile::encodeName(path);
}

}  // namespace

void TForm_main::dragEnterEvent(QDragEnterEvent* event) {
  // Refused here already, so the pointer shows at once that this drop would do nothing.
  if (!Busy() && !DroppedArgument(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm_main::dropEvent(QDropEvent* event) {
  const QByteArray argument = DroppedArgument(event->mimeData());
  // The window may have turned busy since the drag entered it.
  if (!argument.isEmpty() && PlayArgument(argument.constData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

}  // namespace veldan
