#include "art/tag_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace veldan {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kTagHeaderSize = 10;
constexpr std::uint8_t kFrontCover = 3;

std::uint32_t BigEndian(Bytes bytes, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

// Seven bits per byte, the high bit clear in each; false when a high bit is set.
bool Synchsafe(Bytes bytes, std::uint32_t* value) {
  *value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (bytes[i] & 0x80) return false;
    *value = *value << 7 | bytes[i];
  }
  return true;
}

// Undoes unsynchronisation: every FF 00 was FF.
std::vector<std::uint8_t> Resynchronised(Bytes bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
  }
  return out;
}

// The length of a zero-terminated text of the given ID3 encoding at the start of bytes, its
// terminator included: one zero byte for Latin-1 (0) and UTF-8 (3), two on an even offset for
// UTF-16 (1, with a byte-order mark) and UTF-16BE (2). 0 when it is not terminated.
std::size_t TerminatedLength(Bytes bytes, std::uint8_t encoding) {
  if (encoding == 0 || encoding == 3) {
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return zero == bytes.end() ? 0 : static_cast<std::size_t>(zero - bytes.begin()) + 1;
  }
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) return i + 2;
  }
  return 0;
}

// The picture inside a PIC or APIC frame's data: encoding, format (three letters in a PIC frame,
// a zero-terminated MIME type in APIC), picture type, description in that encoding, image.
bool FramePicture(Bytes data, bool three_letter_format, std::uint8_t* type, Bytes* image) {
  if (data.empty() || data[0] > 3) return false;
  const std::uint8_t encoding = data[0];
  std::size_t at = 1;
  if (three_letter_format) {
    at += 3;
  } else {
    const std::size_t mime = TerminatedLength(data.subspan(at), 0);
    if (mime == 0) return false;
    at += mime;
  }
  if (at >= data.size()) return false;
  *type = data[at++];
  const std::size_t description = TerminatedLength(data.subspan(at), encoding);
  if (description == 0) return false;
  *image = data.subspan(at + description);
  return true;
}

// What the tag's header says and how its frames are laid out.
struct TagLayout {
  std::uint8_t version = 0;  // 2, 3 or 4
  bool unsynchronised = false;
  std::size_t frame_header_size() const { return version == 2 ? 6 : 10; }
  std::size_t id_size() const { return version == 2 ? 3 : 4; }
};

class PictureSearch {
 public:
  explicit PictureSearch(TagLayout layout) : layout_(layout) {}

  // Walks the frames of body (the tag after its header and extended header).
  void Walk(Bytes body) {
    const std::size_t header_size = layout_.frame_header_size();
    std::size_t at = 0;
    while (at + header_size <= body.size() && !found_front_) {
      const Bytes header = body.subspan(at, header_size);
      if (header[0] == 0) return;  // padding
      std::uint32_t size = 0;
      if (layout_.version == 2) {
        size = BigEndian(header.subspan(3), 3);
      } else if (layout_.version == 3 || !Synchsafe(header.subspan(4), &size)) {
        // Some writers put plain sizes into 2.4 frames; a size with a high bit set can only be one.
        size = BigEndian(header.subspan(4), 4);
      }
      if (size > body.size() - at - header_size) return;  // overruns the tag: no frame is sure
      const Bytes data = body.subspan(at + header_size, size);
      const char* id = layout_.version == 2 ? "PIC" : "APIC";
      if (std::memcmp(header.data(), id, layout_.id_size()) == 0) {
        const std::uint8_t flags = layout_.version == 2 ? 0 : header[9];
        Frame(data, flags);
      }
      at += header_size + size;
    }
  }

  bool Take(std::vector<std::uint8_t>* picture, PictureKind* kind) {
    if (kind_ == PictureKind::kNone) return false;
    *picture = std::move(picture_);
    *kind = kind_;
    return true;
  }

 private:
  void Frame(Bytes data, std::uint8_t flags) {
    std::vector<std::uint8_t> resynchronised;
    if (layout_.version == 3) {
      if (flags & 0xC0) return;  // compressed or encrypted
      if (flags & 0x20) data = data.subspan(std::min<std::size_t>(1, data.size()));  // group
    } else if (layout_.version == 4) {
      if (flags & 0x0C) return;  // compressed or encrypted
      std::size_t skip = (flags & 0x40 ? 1 : 0) + (flags & 0x01 ? 4 : 0);  // group, data length
      if (skip > data.size()) return;
      data = data.subspan(skip);
      if ((flags & 0x02) || layout_.unsynchronised) {
        resynchronised = Resynchronised(data);
        data = resynchronised;
      }
    }
    std::uint8_t type = 0;
    Bytes image;
    if (!FramePicture(data, layout_.version == 2, &type, &image)) return;
    const bool front = type == kFrontCover;
    if (kind_ != PictureKind::kNone && !front) return;  // the first of any type is kept
    const PictureKind kind = SniffPicture(image, image.size());
    if (kind == PictureKind::kNone) return;
    picture_.assign(image.begin(), image.end());
    kind_ = kind;
    found_front_ = front;
  }

  TagLayout layout_;
  std::vector<std::uint8_t> picture_;
  PictureKind kind_ = PictureKind::kNone;
  bool found_front_ = false;
};

}  // namespace

bool FindTagPicture(Bytes tag, std::vector<std::uint8_t>* picture, PictureKind* kind) {
  if (tag.size() < kTagHeaderSize || std::memcmp(tag.data(), "ID3", 3) != 0) return false;
  TagLayout layout;
  layout.version = tag[3];
  const std::uint8_t flags = tag[5];
  std::uint32_t tag_size = 0;
  if (layout.version < 2 || layout.version > 4 || !Synchsafe(tag.subspan(6), &tag_size)) {
    return false;
  }
  if (layout.version == 2 && (flags & 0x40)) return false;  // a compressed 2.2 tag
  Bytes body =
      tag.subspan(kTagHeaderSize, std::min<std::size_t>(tag_size, tag.size() - kTagHeaderSize));

  // Before 2.4, unsynchronisation covers the whole tag, extended header and frame sizes too.
  std::vector<std::uint8_t> resynchronised;
  if (layout.version < 4 && (flags & 0x80)) {
    resynchronised = Resynchronised(body);
    body = resynchronised;
  }
  layout.unsynchronised = layout.version == 4 && (flags & 0x80);

  if (layout.version >= 3 && (flags & 0x40)) {
    if (body.size() < 4) return false;
    std::uint32_t extended = 0;
    if (layout.version == 3) {
      extended = BigEndian(body, 4) + 4;  // its size leaves out the size field itself
    } else if (!Synchsafe(body, &extended)) {
      return false;
    }
    if (extended < 4 || extended > body.size()) return false;
    body = body.subspan(extended);
  }

  PictureSearch search(layout);
  search.Walk(body);
  return search.Take(picture, kind);
}

bool ReadTagPicture(const std::string& host_path, std::vector<std::uint8_t>* picture,
                    PictureKind* kind, const std::atomic<bool>* cancel) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(host_path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return false;
  std::uint8_t header[kTagHeaderSize];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return false;
  std::uint32_t tag_size = 0;
  if (std::memcmp(header, "ID3", 3) != 0 || !Synchsafe(Bytes(header).subspan(6), &tag_size)) {
    return false;
  }
  const std::size_t wanted = std::min<std::size_t>(kTagHeaderSize + tag_size, kMaxTagRead);
  std::vector<std::uint8_t> tag(header, header + kTagHeaderSize);
  // Grown as it is read, so that a tag size larger than the file costs no memory.
  constexpr std::size_t kChunk = 256u << 10;
  while (tag.size() < wanted) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
    const std::size_t before = tag.size();
    const std::size_t step = std::min(kChunk, wanted - before);
    tag.resize(before + step);
    const std::size_t got = std::fread(tag.data() + before, 1, step, file.get());
    tag.resize(before + got);
    if (got < step) break;
  }
  return FindTagPicture(tag, picture, kind);
}

}  // namespace veldan
