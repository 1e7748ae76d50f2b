// The picture a track carries in its ID3v2 tag: a PIC frame (version 2.2) or an APIC frame
// (2.3 and 2.4).
//
// Only a tag at the very start of the file is read, and at most kMaxTagRead bytes of it. The
// front cover (picture type 3) wins; else the first picture of any type. Each candidate must pass
// SniffPicture. Frames with sizes that overrun their tag end the walk (nothing past them can be
// found again); compressed and encrypted frames are passed over. Pure functions except
// ReadTagPicture, which reads the file; any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "art/picture_check.h"

namespace veldan {

// The most read of a tag: a largest picture and room for the text frames around it.
inline constexpr std::size_t kMaxTagRead = kMaxPictureBytes + (1u << 20);

// tag: the first bytes of a file, from its "ID3" header on; it may stop before the tag's end.
// True, with the picture's bytes and kind, when the tag holds a picture that passes the check.
bool FindTagPicture(std::span<const std::uint8_t> tag, std::vector<std::uint8_t>* picture,
                    PictureKind* kind);

// FindTagPicture over the tag at the start of the file at host_path, read in pieces of 256 KiB.
// False when the file can't be read, has no tag or its tag holds no picture, and when cancel is
// given and becomes true between two pieces (a slow disc then costs at most one more piece).
bool ReadTagPicture(const std::string& host_path, std::vector<std::uint8_t>* picture,
                    PictureKind* kind, const std::atomic<bool>* cancel = nullptr);

}  // namespace veldan
