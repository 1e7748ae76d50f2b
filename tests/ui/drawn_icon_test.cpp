// Pictures drawn in code stay sharp on a scaled screen: drawn anew at the device pixel ratio,
// they hold as many pixels as the screen shows and only the picture's own colours (a stretched
// design-size picture would blend neighbouring pixels into colours of its own).
#include "ui/drawn_icon.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSet>

#include "ui/button_pictures.h"
#include "ui/program_icon.h"

namespace veldan {
namespace {

QSet<QRgb> Colours(const QImage& image) {
  QSet<QRgb> colours;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < argb.height(); ++y) {
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb pixel = argb.pixel(x, y);
      colours.insert(qAlpha(pixel) == 0 ? 0 : pixel);
    }
  }
  return colours;
}

TEST(DrawnIconTest, ButtonPicturesAreDrawnSharpAtEveryScreenScale) {
  const QSize design(kButtonPictureWidth, kButtonPictureHeight);
  for (ButtonPicture picture : {ButtonPicture::kPlay, ButtonPicture::kPreAlbum,
                                ButtonPicture::kAutoCd, ButtonPicture::kSelect}) {
    const QSet<QRgb> palette = Colours(DrawButtonPicture(picture).toImage());
    const QIcon icon = ButtonPictureIcon(picture);
    for (qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
      const QPixmap pixmap = icon.pixmap(design, ratio);
      EXPECT_EQ(pixmap.size(), design * ratio) << ratio;
      EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
      EXPECT_TRUE(palette.contains(Colours(pixmap.toImage()))) << static_cast<int>(picture)
                                                               << " at " << ratio;
    }
    // At the design scale the icon is the design picture, pixel for pixel.
    EXPECT_EQ(icon.pixmap(design, 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
              DrawButtonPicture(picture).toImage().convertToFormat(QImage::Format_ARGB32));
  }
}

TEST(DrawnIconTest, DisabledPictureIsDrawnAtTheScaleToo) {
  const QPixmap disabled =
      ButtonPictureIcon(ButtonPicture::kStop)
          .pixmap(QSize(kButtonPictureWidth, kButtonPictureHeight), 2.0, QIcon::Disabled);
  EXPECT_EQ(disabled.size(), QSize(32, 28));
  EXPECT_NE(disabled.toImage(), ButtonPictureIcon(ButtonPicture::kStop)
                                    .pixmap(QSize(kButtonPictureWidth, kButtonPictureHeight), 2.0)
                                    .toImage());
}

TEST(DrawnIconTest, ProgramIconIsBuiltInAtTheSizesDesktopsAsk) {
  const QIcon icon = ProgramIcon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {32, 64, 256}) {
    EXPECT_EQ(icon.pixmap(QSize(size, size), 1.0).size(), QSize(size, size));
  }
}

}  // namespace
}  // namespace veldan
