#include "ver/form_version.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "support/modal.h"
#include "ver/version_picture.h"

namespace veldan {
namespace {

using veldan::testing::ExecWith;

struct ControlRow {
  const char* name;
  QRect place;
  const char* text;  // null: not a text control
  int pixel_size;
  bool bold;
};

// The box as designed: place, text and font of every control.
const ControlRow kLayout[] = {
    {"Image1", {10, 2, 199, 180}, nullptr, 0, false},
    {"Label1", {5, 26, 128, 29}, "VELDAN ", 29, true},
    {"Label2", {8, 56, 119, 12}, nullptr, 12, false},
    {"Label3", {14, 73, 51, 13}, "Ver.1.50 ", 13, false},
    {"Label4", {13, 125, 81, 12}, nullptr, 12, false},
    {"Label5", {21, 141, 109, 12}, nullptr, 12, false},
    {"Label6", {13, 157, 101, 12}, nullptr, 12, false},
    {"Button1", {64, 184, 75, 25}, "閉じる", 12, false},
};

TEST(VersionBoxTest, ControlsStandWhereDesigned) {
  TForm_version form;
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form.size(), QSize(210, 219));
  EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 210, 219));
  EXPECT_EQ(form.Panel1->frameShadow(), QFrame::Raised);
  for (const ControlRow& row : kLayout) {
    auto* widget = form.Panel1->findChild<QWidget*>(row.name);
    ASSERT_NE(widget, nullptr) << row.name;
    EXPECT_EQ(widget->pos(), row.place.topLeft()) << row.name;
    EXPECT_EQ(widget->height(), row.place.height()) << row.name;
    if (qobject_cast<QLabel*>(widget) && row.pixel_size != 0) {
      // Labels size themselves to their text: never narrower than designed.
      EXPECT_GE(widget->width(), row.place.width()) << row.name;
    } else {
      EXPECT_EQ(widget->width(), row.place.width()) << row.name;
    }
    if (row.pixel_size == 0) continue;
    EXPECT_EQ(widget->font().pixelSize(), row.pixel_size) << row.name;
    EXPECT_EQ(widget->font().bold(), row.bold) << row.name;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_TRUE(widget->font().italic()) << row.name;
      EXPECT_FALSE(label->autoFillBackground()) << row.name;
      EXPECT_FALSE(label->text().trimmed().isEmpty()) << row.name;
      // No text is cut off, the leaning last letter of the italic included.
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()) + row.pixel_size / 4,
                label->width())
          << row.name;
    }
    if (row.text != nullptr) {
      const QString text = qobject_cast<QLabel*>(widget)
                               ? qobject_cast<QLabel*>(widget)->text()
                               : qobject_cast<QPushButton*>(widget)->text();
      EXPECT_EQ(text, QString::fromUtf8(row.text)) << row.name;
    }
  }
  EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  // Later siblings are drawn on top: the labels over the picture.
  const QObjectList& children = form.Panel1->children();
  EXPECT_GT(children.indexOf(form.Label3), children.indexOf(form.Image1));
}

TEST(VersionBoxTest, PictureIsShownUnscaledFromItsTopLeft) {
  const QImage picture = DrawVersionPicture();
  EXPECT_EQ(picture.size(), QSize(203, 180));
  EXPECT_EQ(picture.depth(), 24);
  EXPECT_NE(picture.pixel(176, 118), picture.pixel(20, 170));  // a disc on the background

  TForm_version form;
  EXPECT_EQ(form.Image1->pixmap().size(), QSize(203, 180));
  EXPECT_FALSE(form.Image1->hasScaledContents());
  EXPECT_EQ(form.Image1->alignment(), Qt::AlignLeft | Qt::AlignTop);
}

TEST(VersionBoxTest, OnlyTheCloseButtonTakesFocusAndItClosesWithOk) {
  TForm_version form;
  for (QWidget* child : form.findChildren<QWidget*>()) {
    if (child == form.Button1) continue;
    EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->objectName().toStdString();
  }
  EXPECT_NE(form.Button1->focusPolicy(), Qt::NoFocus);
  const int result = ExecWith(form, [&form] { form.Button1->click(); });
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace veldan
