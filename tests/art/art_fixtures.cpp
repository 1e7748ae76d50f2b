#include "art/art_fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace veldan::art_test {
namespace {

namespace fs = std::filesystem;

void Append(Bytes* out, const Bytes& more) {
  out->insert(out->end(), more.begin(), more.end());
}

void PutBigEndian(Bytes* out, std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutSynchsafe(Bytes* out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out->push_back(static_cast<std::uint8_t>((value >> (7 * i)) & 0x7F));
}

}  // namespace

Bytes Png(std::uint32_t width, std::uint32_t height, std::size_t filler) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  PutBigEndian(&out, width, 4);
  PutBigEndian(&out, height, 4);
  Append(&out, {8, 2, 0, 0, 0, 0x12, 0x34, 0x56, 0x78});  // depth, colour, ..., CRC
  out.resize(out.size() + filler, 0xAB);
  Append(&out, {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
  return out;
}

Bytes Jpeg(std::uint16_t width, std::uint16_t height, std::size_t filler) {
  Bytes out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  Append(&out, {0xFF, 0xC0, 0, 17, 8});
  PutBigEndian(&out, height, 2);
  PutBigEndian(&out, width, 2);
  Append(&out, {3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1});
  Append(&out, {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 0x3F, 0});
  for (std::size_t i = 0; i < filler; ++i) out.push_back(static_cast<std::uint8_t>(i * 7));
  Append(&out, {0xFF, 0xD9});
  return out;
}

Bytes ToBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes PictureFrameData(int version, std::uint8_t encoding, std::uint8_t type,
                       const Bytes& description, const Bytes& image) {
  Bytes out = {encoding};
  const bool png = !image.empty() && image[0] == 0x89;
  if (version == 2) {
    Append(&out, ToBytes(png ? "PNG" : "JPG"));
  } else {
    Append(&out, ToBytes(png ? "image/png" : "image/jpeg"));
    out.push_back(0);
  }
  out.push_back(type);
  Append(&out, description);
  Append(&out, image);
  return out;
}

Bytes Frame(int version, const std::string& id, const Bytes& data, std::uint8_t format_flags,
            std::int64_t size_override) {
  Bytes out = ToBytes(id);
  const auto size = static_cast<std::uint32_t>(size_override >= 0 ? size_override : data.size());
  if (version == 2) {
    PutBigEndian(&out, size, 3);
  } else {
    if (version == 4) {
      PutSynchsafe(&out, size);
    } else {
      PutBigEndian(&out, size, 4);
    }
    out.push_back(0);
    out.push_back(format_flags);
  }
  Append(&out, data);
  return out;
}

Bytes Tag(int version, const Bytes& frames, std::uint8_t flags, std::size_t padding,
          std::int64_t size_override) {
  Bytes out = {'I', 'D', '3', static_cast<std::uint8_t>(version), 0, flags};
  const auto size =
      static_cast<std::uint32_t>(size_override >= 0 ? size_override : frames.size() + padding);
  PutSynchsafe(&out, size);
  Append(&out, frames);
  out.resize(out.size() + padding, 0);
  return out;
}

Bytes Unsynchronised(const Bytes& bytes) {
  Bytes out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] == 0 || bytes[i + 1] >= 0xE0)) {
      out.push_back(0);
    }
  }
  return out;
}

Bytes Audio() {
  Bytes out;
  for (int frame = 0; frame < 4; ++frame) {
    Append(&out, {0xFF, 0xFB, 0x90, 0x64});
    out.resize(out.size() + 413, 0x55);
  }
  return out;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  Append(&out, b);
  return out;
}

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/veldan-art-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& relative, const Bytes& content) {
  const fs::path path = fs::path(path_) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()),
             static_cast<std::streamsize>(content.size()));
  return path.native();
}

std::vector<std::string> TempFolder::Files(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(path_) / relative, error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().native());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace veldan::art_test
