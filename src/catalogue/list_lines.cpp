// Reading list files: whole lines in their encoding, and the catalogue fills.
#include "catalogue/list_lines.h"

#include <cstring>
#include <string>

#include "catalogue/list_line_path.h"
#include "catalogue/program_state.h"
#include "platform/file_access.h"
#include "platform/paths.h"

namespace veldan {

namespace {

// The longest line read whole. A line names one entry of at most 511 bytes, but its text may be
// far longer: percent escapes triple a name's bytes and a host path holds its drive's whole root.
constexpr std::size_t kLineMax = 16 * 1024 - 1;

// Reads a list file line by line as UTF-8 or program text. A byte-order mark tells the file's
// encoding and is no part of its first line: EF BB BF is UTF-8; FF FE and FE FF are UTF-16
// (little- and big-endian, as Windows Notepad saves "Unicode"), converted to UTF-8 here. A line
// ends after LF, after CR LF, and after a CR on its own (as old Mac lists end their lines).
class LineReader {
 public:
  enum class Result { kEnd, kLine, kTooLong };

  explicit LineReader(std::FILE* file) : file_(file) {
    const int first = getc_unlocked(file_);
    const int second = first == EOF ? EOF : getc_unlocked(file_);
    if (first == 0xFF && second == 0xFE) {
      encoding_ = Encoding::kUtf16Le;
    } else if (first == 0xFE && second == 0xFF) {
      encoding_ = Encoding::kUtf16Be;
    } else if (first == 0xEF && second == 0xBB) {
      const int third = getc_unlocked(file_);
      if (third == 0xBF) {
        encoding_ = Encoding::kUtf8;
      } else {
        Push(first, second, third);
      }
    } else {
      Push(first, second, EOF);
    }
  }

  // Reads the next line, without its line break, into line (kLineMax + 1 bytes), zero-terminated;
  // NUL bytes end its text. A longer line is read to its end and reported as kTooLong.
  Result Next(char* line) {
    std::size_t length = 0;
    bool read_any = false;
    bool too_long = false;
    for (;;) {
      const int c = NextByte();
      if (c == EOF) break;
      read_any = true;
      if (c == '\n') break;
      if (c == '\r') {
        const int next = NextByte();
        if (next != '\n' && next != EOF) Push(next, EOF, EOF);
        break;
      }
      if (length < kLineMax) {
        line[length++] = static_cast<char>(c);
      } else {
        too_long = true;
      }
    }
    line[length] = '\0';
    if (!read_any) return Result::kEnd;
    return too_long ? Result::kTooLong : Result::kLine;
  }

  // The file's text is UTF-8 by its mark (or was UTF-16 and is UTF-8 now).
  bool MarkedUtf8() const { return encoding_ != Encoding::kBytes; }

 private:
  enum class Encoding { kBytes, kUtf8, kUtf16Le, kUtf16Be };

  // Bytes handed back, given out again before anything else, first one first.
  void Push(int a, int b, int c) {
    for (const int byte : {c, b, a}) {
      if (byte != EOF) pending_[pending_count_++] = static_cast<unsigned char>(byte);
    }
  }

  int NextByte() {
    if (pending_count_ > 0) return pending_[--pending_count_];
    if (encoding_ != Encoding::kUtf16Le && encoding_ != Encoding::kUtf16Be) {
      return getc_unlocked(file_);
    }
    const int32_t code = NextCodePoint();
    if (code < 0) return EOF;
    if (code < 0x80) return code;
    // The UTF-8 bytes of code: the first is returned now, the others are kept back.
    unsigned char bytes[4];
    int count;
    if (code < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | code >> 6);
      count = 2;
    } else if (code < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | code >> 12);
      count = 3;
    } else {
      bytes[0] = static_cast<unsigned char>(0xF0 | code >> 18);
      count = 4;
    }
    for (int i = 1; i < count; ++i) {
      bytes[i] = static_cast<unsigned char>(0x80 | ((code >> (6 * (count - 1 - i))) & 0x3F));
    }
    for (int i = count - 1; i >= 1; --i) pending_[pending_count_++] = bytes[i];
    return bytes[0];
  }

  // The next 16-bit unit of a UTF-16 file, -1 at its end (an odd last byte is dropped).
  int32_t NextUnit() {
    if (has_unit_) {
      has_unit_ = false;
      return unit_;
    }
    const int a = getc_unlocked(file_);
    const int b = a == EOF ? EOF : getc_unlocked(file_);
    if (b == EOF) return -1;
    return encoding_ == Encoding::kUtf16Le ? (b << 8 | a) : (a << 8 | b);
  }

  // The next character of a UTF-16 file; a surrogate without its partner becomes U+FFFD.
  int32_t NextCodePoint() {
    const int32_t unit = NextUnit();
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit >= 0xDC00) return 0xFFFD;
    const int32_t low = NextUnit();
    if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    if (low >= 0) {
      unit_ = low;
      has_unit_ = true;
    }
    return 0xFFFD;
  }

  std::FILE* file_;
  Encoding encoding_ = Encoding::kBytes;
  unsigned char pending_[4];
  int pending_count_ = 0;
  int32_t unit_ = 0;
  bool has_unit_ = false;
};

// Reads the file's lines and stores each entry through next_slot, which gives the slot for the
// next entry or null when the catalogue is full (the file is still read to its end). Lines
// starting with '#', empty lines and lines too long to name an entry are not entries. Returns
// the number stored.
template <class NextSlot>
int32_t ReadEntries(std::FILE* file, const ListSource& source, NextSlot next_slot) {
  LineReader reader(file);
  ListSource effective = source;
  effective.utf8 = source.utf8 || reader.MarkedUtf8();
  char line[kLineMax + 1];
  int32_t stored = 0;
  for (;;) {
    const LineReader::Result result = reader.Next(line);
    if (result == LineReader::Result::kEnd) break;
    if (result == LineReader::Result::kTooLong || line[0] == '\0' || line[0] == '#') continue;
    char* slot = next_slot(stored);
    if (slot != nullptr && ResolveListLine(line, effective, slot)) ++stored;
  }
  return stored;
}

}  // namespace

std::FILE* OpenListFile(const char* program_path) {
  std::string host;
  if (!ProgramPathToHost(program_path, &host)) return nullptr;
  // Never a pipe or a device: opening a pipe for reading would wait for a writer.
  return OpenRegularFileStream(host);
}

int32_t AppendListLines(std::FILE* file, const ListSource& source) {
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t start = catalogue.count;
  const int32_t added = ReadEntries(file, source, [&](int32_t stored) -> char* {
    const int32_t index = start + stored;
    return index < kCatalogueCapacity ? catalogue.entries[index] : nullptr;
  });
  catalogue.count = start + added;
  return added;
}

void ReplaceCatalogueFromFile(std::FILE* file, const ListSource& source) {
  TrackCatalogue& catalogue = g_state.catalogue;
  catalogue.count = ReadEntries(file, source, [&](int32_t stored) -> char* {
    return stored < kCatalogueCapacity ? catalogue.entries[stored] : nullptr;
  });
  catalogue.current = 0;
}

bool ReplaceCatalogueFromList(const char* program_path) {
  std::FILE* file = OpenListFile(program_path);
  if (file == nullptr) return false;
  ReplaceCatalogueFromFile(file, ListSourceOf(program_path));
  std::fclose(file);
  return true;
}

}  // namespace veldan
