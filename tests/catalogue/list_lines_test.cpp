#include "catalogue/list_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"
#include "catalogue/search.h"
#include "platform/name_codec.h"
#include "support/temp_drives.h"

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
      // A long directive leaves no tail behind.
      {kLongComment + "\nX:\\2.mp3\n", {"X:\\2.mp3"}, {"X:\\2.mp3"}},
      // A line whose entry can't fit a slot names nothing; its cut text would name another file.
      {kLong + "\r\nX:\\2.mp3\r\n", {"X:\\2.mp3"}, {"X:\\2.mp3"}},
      {std::string(100 * 1024, 'a') + "\nX:\\2.mp3", {"X:\\2.mp3"}, {"X:\\2.mp3"}},
      // The longest line that fits: 511 bytes, its CR LF after them.
      {std::string(511, 'x') + "\r\n", {std::string(511, 'x')}, {std::string(511, 'x')}},
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

// The same list as UTF-8 text, and in UTF-16 with either byte order (as Windows Notepad saves
// "Unicode"): the same entries, whatever the list's extension.
std::string Utf16(const std::u16string& text, bool little_endian) {
  std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(ListLinesTest, Utf16ListsReadAsTheirUtf8Text) {
  test::TempDrive tree;
  tree.WriteFile("Album/01 Jóga.mp3");
  tree.WriteFile("Album/日本.mp3");
  tree.WriteFile("Album/🎵.mp3");
  const std::u16string text =
      u"#EXTM3U\r\n01 Jóga.mp3\r\n\r\n日本.mp3\n" + std::u16string(u"🎵.mp3\r") + u"  01 Jóga.mp3";
  const std::string utf8 =
      "\xEF\xBB\xBF#EXTM3U\r\n01 Jóga.mp3\r\n\r\n日本.mp3\n🎵.mp3\r  01 Jóga.mp3";
  tree.WriteFile("Album/utf8.m3u", utf8);
  ResetProgramState();
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Album\\utf8.m3u"));
  const Lines expected = Entries();
  ASSERT_EQ(expected.size(), 4u);
  EXPECT_EQ(expected[3], expected[0]);  // the blanks around the last line's text name nothing

  for (const bool little_endian : {true, false}) {
    for (const char* name : {"notepad.m3u", "notepad.m3u8", "notepad.txt.m3u"}) {
      tree.WriteFile(std::string("Album/") + name, Utf16(text, little_endian));
      ResetProgramState();
      ASSERT_TRUE(ReplaceCatalogueFromList(("T:\\Album\\" + std::string(name)).c_str()));
      EXPECT_EQ(Entries(), expected) << name << (little_endian ? " LE" : " BE");
    }
  }

  // The search reads them too; an odd last byte and a lone surrogate do no harm.
  test::TempDrive folder('U');
  folder.WriteFile("a.mp3");
  folder.WriteFile("list.m3u", Utf16(u"a.mp3\r\n\xD800x\r\n\xDC00", true) + "\x01");
  ResetProgramState();
  SearchFolder("U:", 0);
  ASSERT_EQ(g_state.catalogue.count, 3);
  EXPECT_STREQ(g_state.catalogue.entries[0], "U:\\a.mp3");
  EXPECT_EQ(g_state.catalogue.entries[1], "U:\\" + HostNameToProgramText("\uFFFDx"));
}

// A line longer than a slot whose entry fits: a file manager's URI of a deep Japanese name, each
// character nine bytes of escapes.
TEST(ListLinesTest, ALongLineNamesItsFileWhenTheEntryFits) {
  test::TempDrive tree;
  std::string name;
  std::string escaped;
  for (int i = 0; i < 80; ++i) {
    name += "日";
    escaped += "%E6%97%A5";
  }
  tree.WriteFile("Album/" + name + ".mp3");
  const std::string line = "file://" + tree.root() + "/Album/" + escaped + ".mp3";
  ASSERT_GT(line.size(), 720u);
  tree.WriteFile("Album/list.m3u8", line + "\n");
  ResetProgramState();
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Album\\list.m3u8"));
  EXPECT_EQ(Entries(), (Lines{"T:\\Album\\" + HostNameToProgramText(name + ".mp3")}));
}

TEST(ListLinesTest, ReplaceCatalogueFromListOpensThroughThePathMapping) {
  test::TempDrive tree;
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
