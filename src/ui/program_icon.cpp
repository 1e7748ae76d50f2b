#include "ui/program_icon.h"

#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

namespace veldan {
namespace {

constexpr int kSizes[] = {32, 64, 128, 256};

// The program sets its icon before any window exists, while the first sound is still on its
// way; reading the pictures starts the image readers, so they are read only when a window first
// asks for the icon (when it is shown), and then all at once.
class ProgramIconEngine : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
             QIcon::State state) override {
    Pictures().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Pictures().actualSize(size, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Pictures().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    return Pictures().pixmap(size, scale, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Pictures().availableSizes(mode, state);
  }
  QString key() const override { return QStringLiteral("veldan-program-icon"); }
  bool isNull() override { return false; }
  QIconEngine* clone() const override { return new ProgramIconEngine(*this); }

 private:
  const QIcon& Pictures() {
    if (pictures_.isNull()) {
      // Read as PNG only: a reader left to guess first shows the picture to every image
      // reader plugin there is, which loads them all (and their libraries) for nothing.
      for (int size : kSizes) {
        QImageReader reader(QStringLiteral(":/veldan/veldan-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        pictures_.addPixmap(QPixmap::fromImage(reader.read()));
      }
    }
    return pictures_;
  }

  QIcon pictures_;
};

}  // namespace

QIcon ProgramIcon() {
  return QIcon(new ProgramIconEngine);
}

}  // namespace veldan
