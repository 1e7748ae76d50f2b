// The sort key: depth first, then the path folded to capitals and plain-width letters and digits.
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "platform/sjis.h"

namespace veldan {

void MakeSortKey(char* path) {
  unsigned char key[kTextSize];
  int out = 0;
  // Wraps past '9' (ten separators give ':') as a byte does.
  unsigned char depth = '0';
  const auto* in = reinterpret_cast<const unsigned char*>(path);
  int i = 0;
  // The key is never longer than the path, so a path of at most 511 bytes fills at most 511.
  while (i < kTextSize - 1 && in[i] != '\0') {
    unsigned char byte = in[i];
    if (sjis::IsLead(byte) && i + 1 < kTextSize - 1 && in[i + 1] != '\0') {
      unsigned char trail = in[i + 1];
      unsigned code = byte * 256u + trail;
      if (code >= 0x824F && code <= 0x8258) {  // full-width digits
        key[out++] = static_cast<unsigned char>(trail - 0x1F);
      } else if (code >= 0x8260 && code <= 0x8279) {  // full-width capitals
        key[out++] = static_cast<unsigned char>(trail - 0x1F);
      } else if (code >= 0x8281 && code <= 0x829A) {  // full-width small letters
        key[out++] = static_cast<unsigned char>(trail - 0x40);
      } else {
        key[out++] = byte;
        key[out++] = trail;
      }
      i += 2;
      continue;
    }
    if (byte == '\\') ++depth;
    key[out++] = static_cast<unsigned char>(sjis::FoldAscii(static_cast<char>(byte)));
    ++i;
  }
  if (out > 0) key[0] = depth;
  key[out] = '\0';
  std::memcpy(path, key, static_cast<std::size_t>(out) + 1);
}

}  // namespace veldan
