// The main window on a scaled screen (run with QT_SCALE_FACTOR set, as ctest does for 1.25, 1.5
// and 2): it keeps its designed size in device-independent pixels, and no control's text is cut
// off by its control, with the fonts as they are measured at that scale.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <algorithm>

#include "catalogue/program_state.h"
#include "fakes/vbmp3_fake.h"
#include "main/main_window.h"

namespace veldan::testing {
namespace {

class ScaledLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    fake::ResetDecoder();
    window_ = std::make_unique<TForm_main>();
    window_->Timer1->stop();
    window_->show();
  }
  std::unique_ptr<TForm_main> window_;
};

TEST_F(ScaledLayoutTest, ScreenIsScaledAndTheWindowKeepsItsDesignedSize) {
  const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
  EXPECT_DOUBLE_EQ(window_->devicePixelRatioF(), scale);
  EXPECT_EQ(window_->size(), QSize(649, 142));
  EXPECT_EQ(window_->grab().size(), QSize(649, 142) * scale);
}

// What the button shows on the screen: its picture whole (every pixel of the picture's main
// colour is there), and no caption ink (dark pixels) at its frame or in the column inside it,
// where a caption that runs over the button's edge would be cut.
TEST_F(ScaledLayoutTest, ButtonCaptionsAndPicturesAreDrawnWhole) {
  const qreal scale = window_->devicePixelRatioF();
  for (QPushButton* button : window_->findChildren<QPushButton*>()) {
    const std::string name = button->objectName().toStdString();
    const QImage shown = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = button->icon()
                               .pixmap(button->iconSize(), scale)
                               .toImage()
                               .convertToFormat(QImage::Format_ARGB32);
    QMap<QRgb, int> colours;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        if (qAlpha(picture.pixel(x, y)) == 255) ++colours[picture.pixel(x, y) | 0xff000000];
      }
    }
    ASSERT_FALSE(colours.isEmpty()) << name;
    const QRgb main_colour = std::max_element(colours.cbegin(), colours.cend()).key();
    int seen = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) seen += (shown.pixel(x, y) | 0xff000000) == main_colour;
    }
    EXPECT_GE(seen, colours[main_colour]) << name << ": the picture is cut";

    const int edge = static_cast<int>(2 * scale);
    const int top = static_cast<int>(3 * scale);
    for (int y = top; y < shown.height() - top; ++y) {
      for (int x : {0, 1, 2, 3}) {
        if (x >= edge) break;
        for (int column : {x, shown.width() - 1 - x}) {
          EXPECT_GT(qGray(shown.pixel(column, y)), 60)
              << name << ": caption ink at the edge, column " << column << " row " << y;
        }
      }
    }
  }
}

TEST_F(ScaledLayoutTest, CheckBoxCaptionsFitBesideTheirBoxes) {
  for (QCheckBox* box : window_->findChildren<QCheckBox*>()) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QFontMetrics metrics(box->font());
    const std::string name = box->objectName().toStdString();
    EXPECT_LE(metrics.horizontalAdvance(box->text()), contents.width()) << name;
    EXPECT_LE(metrics.ascent() + metrics.descent(), contents.height() + 2) << name;
  }
}

// Labels keep their designed width; their text runs no further than that.
TEST_F(ScaledLayoutTest, LabelTextsFitTheirLabelsWidth) {
  for (QLabel* label : window_->findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width())
        << label->objectName().toStdString();
  }
}

}  // namespace
}  // namespace veldan::testing
