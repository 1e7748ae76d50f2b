// Reading list files: pieces of at most 511 bytes, the two line rules, and the catalogue fills.
#include "catalogue/list_lines.h"

#include <cstring>
#include <string>

#include "catalogue/list_line_path.h"
#include "catalogue/program_state.h"
#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

namespace {

constexpr int kPieceMax = kTextSize - 1;

// Reads one piece and returns its length in bytes (NUL bytes included), or -1 at the end of the
// file. The length tells whether the line went on past the piece, which a text cannot. A line
// ends after LF, after CR LF, and after a CR on its own (as old Mac lists end their lines).
int ReadPiece(std::FILE* file, char* piece) {
  int length = 0;
  while (length < kPieceMax) {
    int c = getc_unlocked(file);
    if (c == EOF) break;
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
    if (c == '\r') {
      const int next = getc_unlocked(file);
      if (next == '\n' && length < kPieceMax) {
        piece[length++] = '\n';
      } else if (next != EOF) {
        ungetc(next, file);
      }
      break;
    }
  }
  piece[length] = '\0';
  return length == 0 ? -1 : length;
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

// Walks a list file piece by piece and tells, for each piece, whether it belongs to a '#' line.
// A line longer than a piece goes on in the next one, and a directive such as a long #EXTINF must
// not leave its tail behind as an entry; a piece that holds a CR or LF anywhere ends its line.
class PieceReader {
 public:
  explicit PieceReader(std::FILE* file) : file_(file) {}

  // False at the end of the file.
  bool Next(char* piece) {
    int length = ReadPiece(file_, piece);
    if (length < 0) return false;
    // A UTF-8 byte-order mark opens the file's text; it is no part of the first line.
    if (first_ && length >= 3 && std::memcmp(piece, "\xEF\xBB\xBF", 3) == 0) {
      std::memmove(piece, piece + 3, static_cast<std::size_t>(length - 3) + 1);
      length -= 3;
      marked_utf8_ = true;
    }
    first_ = false;
    is_tail_ = continues_line_;
    if (!continues_line_) in_comment_ = piece[0] == '#';
    bool has_break = false;
    for (int i = 0; i < length && !has_break; ++i) has_break = IsLineBreak(piece[i]);
    continues_line_ = length == kPieceMax && !has_break;
    return true;
  }

  bool InComment() const { return in_comment_; }
  bool MarkedUtf8() const { return marked_utf8_; }
  // The last piece went on from the one before: the tail of a line longer than a piece.
  bool IsTail() const { return is_tail_; }

 private:
  std::FILE* file_;
  bool first_ = true;
  bool marked_utf8_ = false;
  bool is_tail_ = false;
  bool continues_line_ = false;
  bool in_comment_ = false;
};

bool IsBlank(const char* text) {
  for (; *text != '\0'; ++text) {
    if (!IsLineBreak(*text)) return false;
  }
  return true;
}

// Stores the entry that a line names: the full program path of its file. The tail of an overlong
// line names nothing and is kept as it is.
void StoreEntry(int32_t index, const char* line, const PieceReader& reader,
                const ListSource& source) {
  if (reader.IsTail()) {
    CopyText(g_state.catalogue.entries[index], kTextSize, line);
    return;
  }
  ListSource effective = source;
  effective.utf8 = source.utf8 || reader.MarkedUtf8();
  ResolveListLine(line, effective, g_state.catalogue.entries[index]);
}

}  // namespace

bool ReadListPiece(std::FILE* file, char* piece) {
  return ReadPiece(file, piece) >= 0;
}

void CutAtFirstLineBreak(char* piece) {
  piece[std::strcspn(piece, "\r\n")] = '\0';
}

void StripTrailingLineBreaks(char* piece) {
  std::size_t length = std::strlen(piece);
  while (length > 1 && IsLineBreak(piece[length - 1])) --length;
  piece[length] = '\0';
}

std::FILE* OpenListFile(const char* program_path) {
  std::string host;
  if (!ProgramPathToHost(program_path, &host)) return nullptr;
  // Never a pipe or a device: opening a pipe for reading would wait for a writer.
  return OpenRegularFileStream(host);
}

int32_t AppendListLines(std::FILE* file, const ListSource& source) {
  TrackCatalogue& catalogue = g_state.catalogue;
  PieceReader reader(file);
  char piece[kTextSize];
  int32_t added = 0;
  while (reader.Next(piece)) {
    CutAtFirstLineBreak(piece);
    if (piece[0] == '\0' || reader.InComment() || catalogue.count >= kCatalogueCapacity) continue;
    StoreEntry(catalogue.count++, piece, reader, source);
    ++added;
  }
  return added;
}

void ReplaceCatalogueFromFile(std::FILE* file, const ListSource& source) {
  TrackCatalogue& catalogue = g_state.catalogue;
  PieceReader reader(file);
  char piece[kTextSize];
  int32_t stored = 0;
  while (reader.Next(piece)) {
    StripTrailingLineBreaks(piece);
    if (IsBlank(piece) || reader.InComment() || stored >= kCatalogueCapacity) continue;
    StoreEntry(stored++, piece, reader, source);
  }
  catalogue.count = stored;
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
