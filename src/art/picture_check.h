// Whether bytes are a picture the desktop can be pointed at: a JPEG or PNG image of sane size.
//
// A picture found in a folder or inside a track's tag is checked before it is named, so that a
// damaged file, a text file called cover.jpg or a tag's garbage never reaches a media widget.
// Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace veldan {

// The largest picture named: bigger ones are refused, not cut.
inline constexpr std::size_t kMaxPictureBytes = 16u << 20;
// The largest width or height a picture's header may state.
inline constexpr std::uint32_t kMaxPictureSide = 16384;

enum class PictureKind { kNone, kJpeg, kPng };

// The kind of image whose first bytes are head. total_size is the size of the whole picture
// (head may be only its beginning, as read from a file): above kMaxPictureBytes it is refused.
// The magic bytes decide the kind; a PNG's header chunk and a JPEG's frame header, when head
// holds them, must state a width and a height from 1 to kMaxPictureSide. A JPEG whose frame
// header lies beyond head is taken on its magic, as long as its segments up to there are whole.
PictureKind SniffPicture(std::span<const std::uint8_t> head, std::size_t total_size);

// ".jpg" or ".png" for a kind, "" for kNone.
const char* PictureExtension(PictureKind kind);

}  // namespace veldan
