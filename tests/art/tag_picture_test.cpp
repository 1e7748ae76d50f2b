#include "art/tag_picture.h"

#include <gtest/gtest.h>

#include "art/art_fixtures.h"

namespace veldan {
namespace {

using art_test::Bytes;
using art_test::Concat;
using art_test::Frame;
using art_test::Jpeg;
using art_test::PictureFrameData;
using art_test::Png;
using art_test::Tag;

constexpr std::uint8_t kFront = 3;
constexpr std::uint8_t kBack = 4;
const Bytes kNoDescription = {0};

Bytes PictureFrame(int version, std::uint8_t type, const Bytes& image, std::uint8_t encoding = 0,
                   const Bytes& description = kNoDescription) {
  return Frame(version, version == 2 ? "PIC" : "APIC",
               PictureFrameData(version, encoding, type, description, image));
}

Bytes TextFrame(int version, const std::string& text) {
  return Frame(version, version == 2 ? "TT2" : "TIT2", Concat({0}, art_test::ToBytes(text)));
}

// The picture found in bytes, empty for none.
Bytes Found(const Bytes& bytes, PictureKind* kind_out = nullptr) {
  Bytes picture;
  PictureKind kind = PictureKind::kNone;
  if (!FindTagPicture(bytes, &picture, &kind)) return {};
  EXPECT_NE(kind, PictureKind::kNone);
  if (kind_out != nullptr) *kind_out = kind;
  return picture;
}

TEST(TagPictureTest, EachVersionsPictureFrameAmongOtherFrames) {
  const Bytes front = Jpeg(500, 500, 300);
  for (int version : {2, 3, 4}) {
    const Bytes frames =
        Concat(Concat(TextFrame(version, "Title"), PictureFrame(version, kFront, front)),
               TextFrame(version, "After"));
    const Bytes file = Concat(Tag(version, frames), art_test::Audio());
    PictureKind kind = PictureKind::kNone;
    EXPECT_EQ(Found(file, &kind), front) << "version " << version;
    EXPECT_EQ(kind, PictureKind::kJpeg);
  }
  // An APIC frame in a 2.2 tag, or a PIC frame in a later one, is no picture frame there.
  EXPECT_TRUE(Found(Tag(2, Frame(2, "API", PictureFrameData(2, 0, kFront, {0}, front)))).empty());
  EXPECT_TRUE(Found(Tag(3, Frame(3, "PIC ", PictureFrameData(3, 0, kFront, {0}, front)))).empty());
}

TEST(TagPictureTest, TheFrontCoverFirstThenAnyPicture) {
  const Bytes back = Png(300, 300);
  const Bytes front = Jpeg(400, 400);
  const Bytes artist = Png(200, 200, 40);
  for (int version : {2, 3, 4}) {
    const Bytes back_then_front =
        Concat(PictureFrame(version, kBack, back), PictureFrame(version, kFront, front));
    EXPECT_EQ(Found(Tag(version, back_then_front)), front) << version;
    // Without a front cover, the first picture of any type.
    const Bytes back_then_artist =
        Concat(PictureFrame(version, kBack, back), PictureFrame(version, 8, artist));
    EXPECT_EQ(Found(Tag(version, back_then_artist)), back) << version;
    // A front cover that is no picture gives way to one that is.
    const Bytes broken_front =
        Concat(PictureFrame(version, kFront, art_test::ToBytes("http://x/y.jpg")),
               PictureFrame(version, kBack, back));
    EXPECT_EQ(Found(Tag(version, broken_front)), back) << version;
  }
}

TEST(TagPictureTest, DescriptionsInEachEncodingAreSkipped) {
  const Bytes image = Png(64, 64);
  const struct {
    std::uint8_t encoding;
    Bytes description;
  } rows[] = {
      {0, {'C', 'o', 'v', 'e', 'r', 0}},
      {1, {0xFF, 0xFE, 'C', 0, 'v', 0, 0, 0}},  // UTF-16 behind a byte-order mark
      {1, {0xFE, 0xFF, 0, 'C', 0, 'v', 0, 0}},  // a zero byte inside "C" ends nothing
      {2, {0, 'A', 0x30, 0, 0, 0}},             // UTF-16BE: 0x3000 then the terminator
      {2, {0, 0}},
      {3, {0xE3, 0x82, 0xAB, 'x', 0}},
  };
  for (const auto& row : rows) {
    for (int version : {2, 3, 4}) {
      const Bytes tag =
          Tag(version, PictureFrame(version, kFront, image, row.encoding, row.description));
      EXPECT_EQ(Found(tag), image) << "encoding " << int{row.encoding} << ", version " << version;
    }
  }
  // An unknown encoding, or a description without its terminator, makes no picture.
  EXPECT_TRUE(Found(Tag(3, PictureFrame(3, kFront, image, 4))).empty());
  EXPECT_TRUE(
      Found(Tag(3, Frame(3, "APIC", PictureFrameData(3, 1, kFront, {'a', 0, 'b'}, {})))).empty());
}

TEST(TagPictureTest, UnsynchronisedTagsAndFrames) {
  const Bytes front = Jpeg(320, 240, 64);  // holds FF D8 FF E0, which unsynchronisation changes
  for (int version : {2, 3}) {
    // Before 2.4 the whole tag after its header is unsynchronised, frame sizes as decoded.
    const Bytes frames = art_test::Unsynchronised(
        Concat(TextFrame(version, "T"), PictureFrame(version, kFront, front)));
    EXPECT_EQ(Found(Tag(version, frames, 0x80)), front) << version;
  }
  // In 2.4 each frame is, with its size as stored; the tag's flag is honoured alone as well.
  const Bytes data = art_test::Unsynchronised(PictureFrameData(4, 0, kFront, {0}, front));
  EXPECT_EQ(Found(Tag(4, Frame(4, "APIC", data, 0x02))), front);
  EXPECT_EQ(Found(Tag(4, Frame(4, "APIC", data, 0x00), 0x80)), front);
  EXPECT_EQ(Found(Tag(4, Frame(4, "APIC", data, 0x02), 0x80)), front);  // not undone twice
}

TEST(TagPictureTest, FrameAndTagExtrasAreSkipped) {
  const Bytes front = Png(100, 100);
  const Bytes data = PictureFrameData(4, 0, kFront, {0}, front);
  // 2.4: grouping byte and data length indicator before the data.
  EXPECT_EQ(Found(Tag(4, Frame(4, "APIC", Concat({7, 0, 0, 1, 0x10}, data), 0x41))), front);
  // 2.3: grouping byte; compressed or encrypted frames are passed over.
  EXPECT_EQ(Found(Tag(3, Frame(3, "APIC", Concat({7}, data), 0x20))), front);
  EXPECT_TRUE(Found(Tag(3, Frame(3, "APIC", data, 0x80))).empty());
  EXPECT_TRUE(Found(Tag(4, Frame(4, "APIC", data, 0x04))).empty());
  // Extended headers: 2.3 gives its size without the size field, 2.4 with it (synchsafe).
  EXPECT_EQ(
      Found(Tag(3, Concat({0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, PictureFrame(3, kFront, front)), 0x40)),
      front);
  EXPECT_EQ(Found(Tag(4, Concat({0, 0, 0, 6, 1, 0}, PictureFrame(4, kFront, front)), 0x40)), front);
  EXPECT_TRUE(Found(Tag(4, Concat({0, 0, 0x7F, 0x7F, 1, 0}, PictureFrame(4, kFront, front)), 0x40))
                  .empty());
  // A 2.4 frame size written plainly (a synchsafe size has no high bit) is still read.
  const Bytes big_front = Png(100, 100, 326);  // a frame of 0x180 bytes
  const Bytes plain = Frame(3, "APIC", PictureFrameData(4, 0, kFront, {0}, big_front));
  ASSERT_GE(plain[7], 0x80);
  EXPECT_EQ(Found(Tag(4, plain)), big_front);
}

TEST(TagPictureTest, BogusSizesGiveNoPictureAndNoReadPastTheEnd) {
  const Bytes front = Jpeg(200, 200, 100);
  const Bytes data = PictureFrameData(3, 0, kFront, {0}, front);
  for (int version : {2, 3, 4}) {
    const Bytes good = PictureFrameData(version, 0, kFront, {0}, front);
    const std::string id = version == 2 ? "PIC" : "APIC";
    // The frame says it is larger than the tag, the tag larger than the file.
    EXPECT_TRUE(Found(Tag(version, Frame(version, id, good, 0, good.size() + 9), 0, 0)).empty())
        << version;
    EXPECT_TRUE(Found(Tag(version, Frame(version, id, good, 0, 0x0FFFFFFF))).empty()) << version;
    Bytes cut = Tag(version, Frame(version, id, good), 0, 0);
    cut.resize(cut.size() - 20);  // the tag's picture runs past the end of what was read
    EXPECT_TRUE(Found(cut).empty()) << version;
    // A picture before a bogus frame is still found.
    const Bytes then_bogus =
        Concat(Frame(version, id, good), Frame(version, id, good, 0, 0x7FFFFF));
    EXPECT_EQ(Found(Tag(version, then_bogus, 0, 0, then_bogus.size() + 4096)), front) << version;
  }
  // A frame that is only its header, a picture frame too short for its fields.
  EXPECT_TRUE(Found(Tag(3, Frame(3, "APIC", {}))).empty());
  EXPECT_TRUE(Found(Tag(3, Frame(3, "APIC", {0, 'i', 'm', 'g'}))).empty());
  EXPECT_TRUE(Found(Tag(2, Frame(2, "PIC", {0, 'J', 'P'}))).empty());
  // Headers that are not a tag.
  Bytes bad_size = Tag(3, Frame(3, "APIC", data));
  bad_size[7] = 0x80;  // not synchsafe
  EXPECT_TRUE(Found(bad_size).empty());
  Bytes future = Tag(3, Frame(3, "APIC", data));
  future[3] = 5;
  EXPECT_TRUE(Found(future).empty());
  EXPECT_TRUE(Found(Bytes{'I', 'D', '3', 3}).empty());
  EXPECT_TRUE(Found(art_test::Audio()).empty());
}

TEST(TagPictureTest, ReadsTheTagAtTheStartOfAFile) {
  art_test::TempFolder folder;
  const Bytes front = Jpeg(500, 500, 2000);
  const Bytes tag = Tag(3, PictureFrame(3, kFront, front), 0, 512);
  Bytes picture;
  PictureKind kind = PictureKind::kNone;
  EXPECT_TRUE(
      ReadTagPicture(folder.Write("a.mp3", Concat(tag, art_test::Audio())), &picture, &kind));
  EXPECT_EQ(picture, front);
  // A tag that says it is far larger than the file: what is there is read, and found.
  Bytes huge = Tag(3, PictureFrame(3, kFront, front), 0, 0, 200u << 20);
  EXPECT_TRUE(ReadTagPicture(folder.Write("huge.mp3", huge), &picture, &kind));
  EXPECT_EQ(picture, front);
  EXPECT_FALSE(ReadTagPicture(folder.Write("plain.mp3", art_test::Audio()), &picture, &kind));
  EXPECT_FALSE(ReadTagPicture(folder.Write("short.mp3", {'I', 'D'}), &picture, &kind));
  EXPECT_FALSE(ReadTagPicture(folder.path() + "/missing.mp3", &picture, &kind));
  const std::atomic<bool> cancelled{true};  // a lookup left behind stops reading
  EXPECT_FALSE(ReadTagPicture(folder.path() + "/a.mp3", &picture, &kind, &cancelled));
}

}  // namespace
}  // namespace veldan
