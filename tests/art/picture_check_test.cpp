#include "art/picture_check.h"

#include <gtest/gtest.h>

#include "art/art_fixtures.h"

namespace veldan {
namespace {

using art_test::Bytes;
using art_test::Jpeg;
using art_test::Png;

PictureKind Sniff(const Bytes& bytes) {
  return SniffPicture(bytes, bytes.size());
}

Bytes Prefix(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + size);
}

TEST(PictureCheckTest, JpegAndPngOfSaneSize) {
  const struct {
    const char* what;
    Bytes bytes;
    PictureKind kind;
  } rows[] = {
      {"png", Png(500, 500), PictureKind::kPng},
      {"jpeg", Jpeg(600, 600), PictureKind::kJpeg},
      {"largest sides", Png(kMaxPictureSide, kMaxPictureSide), PictureKind::kPng},
      {"png of width 0", Png(0, 10), PictureKind::kNone},
      {"png too tall", Png(10, kMaxPictureSide + 1), PictureKind::kNone},
      {"jpeg of height 0", Jpeg(10, 0), PictureKind::kNone},
      {"jpeg too wide", Jpeg(kMaxPictureSide + 1, 10), PictureKind::kNone},
      {"text", art_test::ToBytes("<html>not a picture</html>"), PictureKind::kNone},
      {"png signature only", Prefix(Png(1, 1), 12), PictureKind::kNone},
      {"jpeg cut inside its segments", Prefix(Jpeg(1, 1), 12), PictureKind::kNone},
      {"jpeg with a segment running past its end",
       {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF, 1, 2},
       PictureKind::kNone},
      {"jpeg with image data before a frame header",
       {0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xD9},
       PictureKind::kNone},
      {"empty", {}, PictureKind::kNone},
  };
  for (const auto& row : rows) EXPECT_EQ(Sniff(row.bytes), row.kind) << row.what;
}

TEST(PictureCheckTest, TheHeadOfALargerFileAndTheSizeLimit) {
  const Bytes jpeg = Jpeg(300, 300);
  // A head that stops inside the segments before the frame header: taken on its magic.
  const Bytes head = Prefix(jpeg, 12);
  EXPECT_EQ(SniffPicture(head, 100000), PictureKind::kJpeg);
  EXPECT_EQ(SniffPicture(jpeg, kMaxPictureBytes), PictureKind::kJpeg);
  EXPECT_EQ(SniffPicture(jpeg, kMaxPictureBytes + 1), PictureKind::kNone);
  EXPECT_EQ(SniffPicture(Png(4, 4), kMaxPictureBytes + 1), PictureKind::kNone);
}

}  // namespace
}  // namespace veldan
