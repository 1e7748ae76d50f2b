// Reading list files: pieces of at most 511 bytes, the two line rules, and the catalogue fills.
#include "catalogue/list_lines.h"

#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "platform/paths.h"

namespace veldan {

namespace {

constexpr int kPieceMax = kTextSize - 1;

// Reads one piece and returns its length in bytes (NUL bytes included), or -1 at the end of the
// file. The length tells whether the line went on past the piece, which a text cannot.
int ReadPiece(std::FILE* file, char* piece) {
  int length = 0;
  while (length < kPieceMax) {
    int c = getc_unlocked(file);
    if (c == EOF) break;
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
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
    if (!continues_line_) in_comment_ = piece[0] == '#';
    bool has_break = false;
    for (int i = 0; i < length && !has_break; ++i) has_break = IsLineBreak(piece[i]);
    continues_line_ = length == kPieceMax && !has_break;
    return true;
  }

  bool InComment() const { return in_comment_; }

 private:
  std::FILE* file_;
  bool continues_line_ = false;
  bool in_comment_ = false;
};

bool IsBlank(const char* text) {
  for (; *text != '\0'; ++text) {
    if (!IsLineBreak(*text)) return false;
  }
  return true;
}

void StoreEntry(int32_t index, const char* text) {
  std::size_t length = strnlen(text, kPieceMax);
  std::memcpy(g_state.catalogue.entries[index], text, length);
  g_state.catalogue.entries[index][length] = '\0';
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
  return std::fopen(host.c_str(), "r");
}

int32_t AppendListLines(std::FILE* file) {
  TrackCatalogue& catalogue = g_state.catalogue;
  PieceReader reader(file);
  char piece[kTextSize];
  int32_t added = 0;
  while (reader.Next(piece)) {
    CutAtFirstLineBreak(piece);
    if (piece[0] == '\0' || reader.InComment() || catalogue.count >= kCatalogueCapacity) continue;
    StoreEntry(catalogue.count++, piece);
    ++added;
  }
  return added;
}

void ReplaceCatalogueFromFile(std::FILE* file) {
  TrackCatalogue& catalogue = g_state.catalogue;
  PieceReader reader(file);
  char piece[kTextSize];
  int32_t stored = 0;
  while (reader.Next(piece)) {
    StripTrailingLineBreaks(piece);
    if (IsBlank(piece) || reader.InComment() || stored >= kCatalogueCapacity) continue;
    StoreEntry(stored++, piece);
  }
  catalogue.count = stored;
  catalogue.current = 0;
}

bool ReplaceCatalogueFromList(const char* program_path) {
  std::FILE* file = OpenListFile(program_path);
  if (file == nullptr) return false;
  ReplaceCatalogueFromFile(file);
  std::fclose(file);
  return true;
}

}  // namespace veldan
