// Small pictures, ID3v2 tags and folders made in the tests: pictures are only their headers
// and some filler (the art code never decodes them), tags are built frame by frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veldan::art_test {

using Bytes = std::vector<std::uint8_t>;

Bytes Png(std::uint32_t width, std::uint32_t height, std::size_t filler = 16);
Bytes Jpeg(std::uint16_t width, std::uint16_t height, std::size_t filler = 16);
Bytes ToBytes(const std::string& text);

// A PIC (version 2) or APIC frame's data: encoding, format, picture type, description, image.
// The description is given with its terminator.
Bytes PictureFrameData(int version, std::uint8_t encoding, std::uint8_t type,
                       const Bytes& description, const Bytes& image);
// A frame of the tag version with its header; size_override replaces the true size.
Bytes Frame(int version, const std::string& id, const Bytes& data, std::uint8_t format_flags = 0,
            std::int64_t size_override = -1);
// An ID3v2 tag around the frames, followed by padding; size_override replaces the tag's size.
Bytes Tag(int version, const Bytes& frames, std::uint8_t flags = 0, std::size_t padding = 8,
          std::int64_t size_override = -1);
Bytes Unsynchronised(const Bytes& bytes);
// A few MPEG frame headers and filler, as a track's audio after its tag.
Bytes Audio();
Bytes Concat(const Bytes& a, const Bytes& b);

// A fresh folder below the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // Writes a file at a '/'-separated path below the folder, making its folders; returns its path.
  std::string Write(const std::string& relative, const Bytes& content);
  // The names of the files in a folder below this one ("" for itself), sorted.
  std::vector<std::string> Files(const std::string& relative = "") const;

 private:
  std::string path_;
};

Bytes ReadAll(const std::string& path);

}  // namespace veldan::art_test
