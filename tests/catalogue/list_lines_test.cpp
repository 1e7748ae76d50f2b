#include "catalogue/list_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "catalogue/temp_tree.h"

namespace veldan {
namespace {

using namespace std::string_literals;

// An open in-memory file; NUL bytes are part of the content.
class MemoryFile {
 public:
  explicit MemoryFile(const std::string& content) : content_(content) {
    file_ = content_.empty() ? std::fopen("/dev/null", "r")
                             : fmemopen(content_.data(), content_.size(), "r");
  }
  ~MemoryFile() { std::fclose(file_); }
  std::FILE* get() const { return file_; }

 private:
  std::string content_;
  std::FILE* file_;
};

std::vector<std::string> Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

std::vector<std::string> Appended(const std::string& content) {
  ResetProgramState();
  MemoryFile file(content);
  int32_t added = AppendListLines(file.get());
  EXPECT_EQ(added, g_state.catalogue.count);
  return Entries();
}

std::vector<std::string> Loaded(const std::string& content) {
  ResetProgramState();
  g_state.catalogue.current = 5;
  MemoryFile file(content);
  ReplaceCatalogueFromFile(file.get());
  EXPECT_EQ(g_state.catalogue.current, 0);
  return Entries();
}

using Lines = std::vector<std::string>;

TEST(ReadListPieceTest, PiecesOfAtMost511BytesEndingAfterLineFeed) {
  MemoryFile file(std::string(600, 'p') + "\nq\r\nlast");
  char piece[kTextSize];
  std::vector<std::string> pieces;
  while (ReadListPiece(file.get(), piece)) pieces.push_back(piece);
  EXPECT_EQ(pieces, (Lines{std::string(511, 'p'), std::string(89, 'p') + "\n", "q\r\n", "last"}));
}

TEST(ListLineRulesTest, CutAndStrip) {
  struct Row {
    const char* piece;
    const char* cut;
    const char* stripped;
  };
  const Row rows[] = {
      {"a\r\n", "a", "a"},  {"a\rb\n", "a", "a\rb"}, {"\n", "", "\n"},
      {"\r\n", "", "\r"},   {"a", "a", "a"},         {" a \r\r\n", " a ", " a "},
  };
  for (const Row& row : rows) {
    char cut[kTextSize];
    char stripped[kTextSize];
    std::strcpy(cut, row.piece);
    std::strcpy(stripped, row.piece);
    CutAtFirstLineBreak(cut);
    StripTrailingLineBreaks(stripped);
    EXPECT_STREQ(cut, row.cut) << row.piece;
    EXPECT_STREQ(stripped, row.stripped) << row.piece;
  }
}

TEST(AppendListLinesTest, SearchRule) {
  const std::string long_line = "X:\\" + std::string(597, 'l');
  const std::string long_comment = "#EXTINF:1," + std::string(700, 'c');
  struct Row {
    std::string content;
    Lines entries;
  };
  const Row rows[] = {
      {"X:\\1.mp3\n\nX:\\2.mp3\n", {"X:\\1.mp3", "X:\\2.mp3"}},
      {"X:\\1.mp3\r\nX:\\2.mp3", {"X:\\1.mp3", "X:\\2.mp3"}},  // no final line break
      {"#EXTM3U\n#EXTINF:12,Song\nX:\\1.mp3\n# note\n", {"X:\\1.mp3"}},
      // A directive longer than a piece leaves no tail behind.
      {long_comment + "\nX:\\2.mp3\n", {"X:\\2.mp3"}},
      // A path longer than a piece gives two entries of 511 and 89 bytes.
      {long_line + "\n", {long_line.substr(0, 511), long_line.substr(511)}},
      {"X:\\a\0junk\nX:\\b\n"s, {"X:\\a", "X:\\b"}},  // a NUL ends the text
      {"\0\n"s, {}},
      // A CR alone is no line end: the piece is cut at its first CR.
      {"X:\\1.mp3\rX:\\2.mp3\r", {"X:\\1.mp3"}},
      {" rel\\a.mp3 \n", {" rel\\a.mp3 "}},  // taken literally
      {"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(Appended(row.content), row.entries) << row.content;
}

TEST(ReplaceCatalogueFromFileTest, LoadingRule) {
  const std::string long_line = "X:\\" + std::string(597, 'l');
  struct Row {
    std::string content;
    Lines entries;
  };
  const Row rows[] = {
      {"C:\\A\\1.mp3\r\nC:\\A\\2.mp3\r\nC:\\B\\3.mp3\r\n",
       {"C:\\A\\1.mp3", "C:\\A\\2.mp3", "C:\\B\\3.mp3"}},
      {"a\n\n\r\n#EXTM3U\nb", {"a", "b"}},  // blank and '#' lines are not entries
      {"a\rb\r\n", {"a\rb"}},               // only line breaks at the end go
      {long_line + "\r\n", {long_line.substr(0, 511), long_line.substr(511)}},
      {std::string(510, 'x') + "\r\n", {std::string(510, 'x')}},  // the LF alone is no entry
      {"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(Loaded(row.content), row.entries) << row.content;
}

std::string NumberedLines(int lines) {
  std::string content;
  for (int i = 0; i < lines; ++i) content += "X:\\" + std::to_string(i) + ".mp3\n";
  return content;
}

TEST(ListCapacityTest, FiveHundredEntriesAndTheFileReadToItsEnd) {
  const std::string content = NumberedLines(100000);
  Lines loaded = Loaded(content);
  ASSERT_EQ(loaded.size(), 500u);
  EXPECT_EQ(loaded[499], "X:\\499.mp3");

  // The search adds what fits past the entries already there.
  ResetProgramState();
  g_state.catalogue.count = 499;
  MemoryFile file("X:\\a.mp3\nX:\\b.mp3\nX:\\c.mp3\n");
  EXPECT_EQ(AppendListLines(file.get()), 1);
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_STREQ(g_state.catalogue.entries[499], "X:\\a.mp3");
  EXPECT_EQ(std::fgetc(file.get()), EOF);  // read to its end
}

TEST(ListGarbageTest, BinaryInputGivesBoundedEntries) {
  std::mt19937 gen(11);
  std::string content(1 << 18, '\0');
  for (char& c : content) c = static_cast<char>(gen());
  for (bool load : {false, true}) {
    Lines entries = load ? Loaded(content) : Appended(content);
    EXPECT_LE(entries.size(), 500u);
    for (const std::string& e : entries) {
      EXPECT_FALSE(e.empty());
      EXPECT_LE(e.size(), 511u);
    }
  }
}

TEST(ReplaceCatalogueFromListTest, OpensThroughThePathMapping) {
  TempTree tree;
  tree.WriteFile("Lists/Party.m3u", "#EXTM3U\r\nT:\\a.mp3\r\nT:\\b.mp3\r\n");
  ResetProgramState();
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Lists\\Party.m3u"));
  EXPECT_EQ(Entries(), (Lines{"T:\\a.mp3", "T:\\b.mp3"}));

  // A list that does not open changes nothing.
  g_state.catalogue.current = 1;
  EXPECT_FALSE(ReplaceCatalogueFromList("T:\\Lists\\missing.m3u"));
  EXPECT_EQ(Entries(), (Lines{"T:\\a.mp3", "T:\\b.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 1);
}

}  // namespace
}  // namespace veldan
