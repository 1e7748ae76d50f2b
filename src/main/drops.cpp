// Folders, tracks and lists dropped on the main window from a file manager. A drop is the
// command line's argument given later: the first dropped item decides, as the first path on the
// command line does, and it plays through the controller's PlayArgument, so the window refuses it
// at the same moments as it refuses a remote's OpenUri (a dialog open, a search or a track opening
// running).
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <string>

#include "catalogue/start_argument.h"
#include "main/main_window.h"
#include "playback/uri_argument.h"

namespace veldan {
namespace {

// The first dropped item as a command-line argument (the host path's bytes); empty when it is no
// file or folder here that could play: a web address, text, a file that has gone, a device. Read
// from the URI list's own bytes, since a name that is not UTF-8 does not survive a QUrl.
QByteArray DroppedArgument(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QByteArray> lines = data->data(QStringLiteral("text/uri-list")).split('\n');
  for (QByteArray line : lines) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    std::string path;
    if (!ArgumentOfFileUri(line.toStdString(), &path) ||
        ExamineArgument(path.c_str()) != ArgumentKind::kPlayable) {
      return {};
    }
    return QByteArray::fromStdString(path);
  }
  return {};
}

}  // namespace

void TForm_main::dragEnterEvent(QDragEnterEvent* event) {
  // Refused here already, so the pointer shows at once that this drop would do nothing.
  if (controller_.Allowed(PlaybackAction::kPlayArgument) &&
      !DroppedArgument(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm_main::dropEvent(QDropEvent* event) {
  const QByteArray argument = DroppedArgument(event->mimeData());
  // The window may have turned busy since the drag entered it.
  if (!argument.isEmpty() && controller_.PlayArgument(argument.constData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

}  // namespace veldan
