#include "catalogue/list_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/program_state.h"
#include "support/temp_tree.h"

namespace veldan {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

// Reads content (NUL bytes included) by the search's rule or the loading rule.
Lines Read(std::string content, bool load) {
  ResetProgramState();
  content += '\0';  // fmemopen wants a non-empty buffer; this NUL is past the given size
  std::FILE* file = fmemopen(content.data(), content.size() - 1, "r");
  if (file == nullptr) file = std::fopen("/dev/null", "r");
  if (load) {
    ReplaceCatalogueFromFile(file, ListSource{});
  } else {
    EXPECT_EQ(AppendListLines(file, ListSource{}), g_state.catalogue.count);
  }
  EXPECT_EQ(std::fgetc(file), EOF);  // read to its end
  std::fclose(file);
  return Entries();
}

const std::string kLong = "X:\\" + std::string(597, 'l');  // 600 bytes
const std::string kLongComment = "#EXTINF:1," + std::string(700, 'c');

TEST(ListLinesTest, BothRules) {
  struct Row {
    std::string content;
    Lines search;  // cut at the first CR or LF
    Lines load;    // trailing CR and LF removed
  };
  const Row rows[] = {
      {"X:\\1.mp3\n\nX:\\2.mp3\n", {"X:\\1.mp3", "X:\\2.mp3"}, {"X:\\1.mp3", "X:\\2.mp3"}},
      {"C:\\A\\1.mp3\r\nC:\\B\\2.mp3",
       {"C:\\A\\1.mp3", "C:\\B\\2.mp3"},
       {"C:\\A\\1.mp3", "C:\\B\\2.mp3"}},
      {"#EXTM3U\r\n#EXTINF:12,Song\r\nX:\\1.mp3\r\n# note\r\n\r\n", {"X:\\1.mp3"}, {"X:\\1.mp3"}},
      // A directive longer than a piece leaves no tail behind.
      {kLongComment + "\nX:\\2.mp3\n", {"X:\\2.mp3"}, {"X:\\2.mp3"}},
      // A line longer than a piece gives pieces of 511 and 89 bytes.
      {kLong + "\r\n",
       {kLong.substr(0, 511), kLong.substr(511)},
       {kLong.substr(0, 511), kLong.substr(511)}},
      // After 510 bytes and the CR, the LF alone is no entry.
      {std::string(510, 'x') + "\r\n", {std::string(510, 'x')}, {std::string(510, 'x')}},
      {"X:\\a\0junk\nX:\\b\n\0\n"s, {"X:\\a", "X:\\b"}, {"X:\\a", "X:\\b"}},  // NUL ends a text
      // A CR alone ends a line too (old Mac lists); CR LF stays one break.
      {"a\rb\r", {"a", "b"}, {"a", "b"}},
      {"X:\\1.mp3\rX:\\2.mp3\r\nX:\\3.mp3\r\r\n", {"X:\\1.mp3", "X:\\2.mp3", "X:\\3.mp3"},
       {"X:\\1.mp3", "X:\\2.mp3", "X:\\3.mp3"}},
      {" rel\\a.mp3 \n", {" rel\\a.mp3 "}, {" rel\\a.mp3 "}},  // taken literally
      {"", {}, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Read(row.content, false), row.search) << row.content;
    EXPECT_EQ(Read(row.content, true), row.load) << row.content;
  }
}

TEST(ListLinesTest, FiveHundredEntriesAtMost) {
  std::string content;
  for (int i = 0; i < 100000; ++i) content += "X:\\" + std::to_string(i) + ".mp3\n";
  Lines loaded = Read(content, true);
  ASSERT_EQ(loaded.size(), 500u);
  EXPECT_EQ(loaded[499], "X:\\499.mp3");

  // The search appends past what is there: with 499 entries only the first line fits.
  ResetProgramState();
  g_state.catalogue.count = 499;
  char three[] = "X:\\a.mp3\nX:\\b.mp3\nX:\\c.mp3\n";
  std::FILE* file = fmemopen(three, sizeof three - 1, "r");
  EXPECT_EQ(AppendListLines(file, ListSource{}), 1);
  std::fclose(file);
  EXPECT_EQ(g_state.catalogue.count, 500);
  EXPECT_STREQ(g_state.catalogue.entries[499], "X:\\a.mp3");
}

TEST(ListLinesTest, ReplaceCatalogueFromListOpensThroughThePathMapping) {
  TempTree tree;
  tree.WriteFile("Lists/Party.m3u", "#EXTM3U\r\nT:\\a.mp3\r\nT:\\b.mp3\r\n");
  ResetProgramState();
  g_state.catalogue.current = 1;
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Lists\\Party.m3u"));
  EXPECT_EQ(Entries(), (Lines{"T:\\a.mp3", "T:\\b.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 0);

  g_state.catalogue.current = 1;
  EXPECT_FALSE(ReplaceCatalogueFromList("T:\\Lists\\missing.m3u"));
  EXPECT_EQ(Entries(), (Lines{"T:\\a.mp3", "T:\\b.mp3"}));
  EXPECT_EQ(g_state.catalogue.current, 1);
}

}  // namespace
}  // namespace veldan
