// Fuzzes the tag picture reader with arbitrary bytes behind each version's tag header, with and
// without unsynchronisation, and the picture check on the bytes themselves. A picture found must
// pass the check again and can be no larger than the input.
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "art/picture_check.h"
#include "art/tag_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace veldan;
  const std::span<const std::uint8_t> input(data, size);
  SniffPicture(input, size);
  std::vector<std::uint8_t> picture;
  PictureKind kind = PictureKind::kNone;
  auto check = [&](std::span<const std::uint8_t> tag) {
    if (!FindTagPicture(tag, &picture, &kind)) return;
    if (kind == PictureKind::kNone || picture.size() > tag.size() ||
        SniffPicture(picture, picture.size()) != kind) {
      std::abort();
    }
  };
  check(input);
  // The input as the tag's body: a header that states its size, so that frames are walked.
  for (std::uint8_t version : {2, 3, 4}) {
    for (std::uint8_t flags : {0x00, 0x80, 0x40}) {
      const std::uint32_t body = static_cast<std::uint32_t>(size & 0x0FFFFFFF);
      std::vector<std::uint8_t> tag = {'I',
                                       'D',
                                       '3',
                                       version,
                                       0,
                                       flags,
                                       static_cast<std::uint8_t>(body >> 21 & 0x7F),
                                       static_cast<std::uint8_t>(body >> 14 & 0x7F),
                                       static_cast<std::uint8_t>(body >> 7 & 0x7F),
                                       static_cast<std::uint8_t>(body & 0x7F)};
      tag.insert(tag.end(), data, data + size);
      check(tag);
    }
  }
  return 0;
}
