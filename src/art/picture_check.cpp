#include "art/picture_check.h"

namespace veldan {
namespace {

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
  return value;
}

bool SaneSides(std::uint32_t width, std::uint32_t height) {
  return width >= 1 && width <= kMaxPictureSide && height >= 1 && height <= kMaxPictureSide;
}

PictureKind SniffPng(std::span<const std::uint8_t> head) {
  // The signature, then the header chunk that must come first: length 13, "IHDR", width, height.
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  static constexpr std::uint8_t kHeader[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  if (head.size() < 24) return PictureKind::kNone;
  for (std::size_t i = 0; i < 8; ++i) {
    if (head[i] != kSignature[i] || head[8 + i] != kHeader[i]) return PictureKind::kNone;
  }
  return SaneSides(BigEndian(head, 16, 4), BigEndian(head, 20, 4)) ? PictureKind::kPng
                                                                   : PictureKind::kNone;
}

bool IsFrameHeader(std::uint8_t marker) {
  // SOF0 to SOF15, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// whole: head is the whole picture, so a frame header beyond it is missing, not unread.
PictureKind SniffJpeg(std::span<const std::uint8_t> head, bool whole) {
  const PictureKind unread = whole ? PictureKind::kNone : PictureKind::kJpeg;
  if (head.size() < 3 || head[0] != 0xFF || head[1] != 0xD8 || head[2] != 0xFF) {
    return PictureKind::kNone;
  }
  // Walk the segments up to the frame header; each is FF, marker, 16-bit length (itself included).
  std::size_t at = 2;
  while (at + 4 <= head.size()) {
    if (head[at] != 0xFF) return PictureKind::kNone;
    const std::uint8_t marker = head[at + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++at;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return PictureKind::kNone;  // image data, no frame
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {       // markers without length
      at += 2;
      continue;
    }
    const std::uint32_t length = BigEndian(head, at + 2, 2);
    if (length < 2) return PictureKind::kNone;
    if (IsFrameHeader(marker)) {
      // FF Cn, length, precision, height, width.
      if (length < 8) return PictureKind::kNone;
      if (at + 9 > head.size()) return unread;
      return SaneSides(BigEndian(head, at + 7, 2), BigEndian(head, at + 5, 2)) ? PictureKind::kJpeg
                                                                               : PictureKind::kNone;
    }
    at += 2 + length;
  }
  return unread;
}

}  // namespace

PictureKind SniffPicture(std::span<const std::uint8_t> head, std::size_t total_size) {
  if (total_size > kMaxPictureBytes || head.size() > total_size) return PictureKind::kNone;
  if (head.size() >= 2 && head[0] == 0xFF) return SniffJpeg(head, head.size() == total_size);
  return SniffPng(head);
}

const char* PictureExtension(PictureKind kind) {
  switch (kind) {
    case PictureKind::kJpeg:
      return ".jpg";
    case PictureKind::kPng:
      return ".png";
    case PictureKind::kNone:
      break;
  }
  return "";
}

}  // namespace veldan
