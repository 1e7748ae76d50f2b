#include "main/seek_bar.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace veldan {
namespace {

const QColor kAqua(0, 255, 255);

// Columns of the canvas that hold a stroke, read along one row inside the strokes.
std::vector<int> StrokeColumns(const QImage& canvas) {
  std::vector<int> columns;
  for (int x = 0; x < canvas.width(); ++x) {
    if (canvas.pixelColor(x, 6) == kAqua) columns.push_back(x);
  }
  return columns;
}

QImage Paint(int32_t position, int32_t length) {
  QImage canvas(kSeekBarWidth, kSeekBarHeight, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  PaintSeekBar(&canvas, position, length);
  return canvas;
}

TEST(SeekPositionTest, MapsPointToRoundedSeconds) {
  const struct {
    int x;
    int32_t length;
    int32_t seconds;
  } cases[] = {
      {2, 300, 0},  // left of the first stroke
      {3, 300, 0},
      {202, 300, 300},  // width - 3 is the whole length
      {102, 100, 50},   // t = 497 tenths, rounded up
      {101, 100, 49},   // t = 492 tenths, rounded down
      {500, 100, 100},  // right of the bar
      {-40, 100, 0},
      {150, 0, 0},    // unknown length: every point is the start
      {150, -1, -1},  // negative length is passed on
      {2, -1, -1},
      {202, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()},
      {std::numeric_limits<int>::max(), 300, 300},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SeekPositionFromX(c.x, kSeekBarWidth, c.length), c.seconds)
        << "x=" << c.x << " length=" << c.length;
  }
}

TEST(SeekBarPaintTest, DrawsEveryThirdColumnForThePartPlayed) {
  const std::vector<int> full = StrokeColumns(Paint(300, 300));
  ASSERT_EQ(full.size(), 67u);
  EXPECT_EQ(full.front(), 3);
  EXPECT_EQ(full.back(), 201);
  for (size_t i = 1; i < full.size(); ++i) EXPECT_EQ(full[i] - full[i - 1], 3);

  // (205 - 6) * 150 / 300 = 99: strokes for i = 0, 3, ..., 96.
  EXPECT_EQ(StrokeColumns(Paint(150, 300)).size(), 33u);
  EXPECT_TRUE(StrokeColumns(Paint(0, 300)).empty());
  EXPECT_TRUE(StrokeColumns(Paint(-5, 300)).empty());
  EXPECT_TRUE(StrokeColumns(Paint(100, 0)).empty());  // length unknown: black only
  EXPECT_EQ(Paint(100, -1).pixelColor(3, 6), QColor(Qt::black));
}

TEST(SeekBarPaintTest, StrokesCoverRowsTwoToElevenOnBlack) {
  const QImage canvas = Paint(300, 300);
  for (int y = 0; y < kSeekBarHeight; ++y) {
    const bool stroke_row = y >= 2 && y <= kSeekBarHeight - 4;
    EXPECT_EQ(canvas.pixelColor(3, y) == kAqua, stroke_row) << "row " << y;
    EXPECT_EQ(canvas.pixelColor(4, y), QColor(Qt::black)) << "row " << y;
  }
}

TEST(SeekBarPaintTest, PositionPastTheLengthStaysInsideTheImage) {
  const std::vector<int> columns = StrokeColumns(Paint(std::numeric_limits<int32_t>::max(), 1));
  ASSERT_FALSE(columns.empty());
  EXPECT_LT(columns.back(), kSeekBarWidth);
}

}  // namespace
}  // namespace veldan
