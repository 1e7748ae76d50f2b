#include "catalogue/list_line_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/list_lines.h"
#include "catalogue/program_state.h"
#include "catalogue/search.h"
#include "platform/name_codec.h"
#include "support/temp_drives.h"

namespace veldan {
namespace {

ListSource Source(const char* folder, bool utf8) {
  ListSource source;
  CopyText(source.folder, sizeof source.folder, folder);
  source.utf8 = utf8;
  return source;
}

constexpr const char* kNoEntry = "<no entry>";

std::string Resolve(const std::string& line, const ListSource& source) {
  char out[kTextSize];
  if (!ResolveListLine(line.c_str(), source, out)) {
    EXPECT_STREQ(out, "") << line;
    return kNoEntry;
  }
  return out;
}

std::vector<std::string> Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

class ListLinePathTest : public ::testing::Test {
 protected:
  ListLinePathTest() { ResetProgramState(); }
  test::TempDrive tree_;  // T: is the temporary folder
};

TEST_F(ListLinePathTest, LinesBecomeFullProgramPaths) {
  const ListSource sjis = Source("T:\\Album", false);
  const ListSource utf8 = Source("T:\\Album", true);
  const std::string album = tree_.root() + "/Album/";
  struct Row {
    std::string line;
    ListSource source;
    std::string entry;
  } rows[] = {
      // Relative lines belong to the list's folder, whatever the process's current folder.
      {"01.mp3", sjis, "T:\\Album\\01.mp3"},
      {"sub/02.mp3", sjis, "T:\\Album\\sub\\02.mp3"},
      {".\\sub\\..\\03.mp3", sjis, "T:\\Album\\03.mp3"},
      {"../../../Other/04.mp3", sjis, "T:\\Other\\04.mp3"},  // never above the drive
      {"\\Root\\05.mp3", sjis, "T:\\Root\\05.mp3"},         // the list's drive root
      // VELDAN's own lines are kept byte for byte, a 0x5C trail byte included.
      {"X:\\\x95\x5C\\a.mp3", sjis, "X:\\\x95\x5C\\a.mp3"},
      {"\x95\x5C.mp3", sjis, "T:\\Album\\\x95\x5C.mp3"},
      // Host paths are UTF-8 names, mapped through the drive table.
      {album + "01.mp3", sjis, "T:\\Album\\01.mp3"},
      {album + "Björk.mp3", sjis, "T:\\Album\\" + HostNameToProgramText("Björk.mp3")},
      {"/no/such/../drive/x.mp3", utf8, "C:\\no\\drive\\x.mp3"},
      // A UTF-8 list's names go through the codec; Japanese becomes Shift-JIS.
      {"日本.mp3", utf8, "T:\\Album\\" + HostNameToProgramText("日本.mp3")},
      {"C:\\Music\\Björk.mp3", utf8, "C:\\Music\\" + HostNameToProgramText("Björk.mp3")},
      // In a Shift-JIS list, a line that is UTF-8 and can't be Shift-JIS is read as UTF-8.
      {"voilà.mp3", sjis, "T:\\Album\\" + HostNameToProgramText("voilà.mp3")},
      // Without the list's folder a relative line stays as it was.
      {"01.mp3", ListSource{}, "01.mp3"},
  };
  for (const Row& row : rows) EXPECT_EQ(Resolve(row.line, row.source), row.entry) << row.line;
}

// "é" in UTF-8 is also two half-width katakana in Shift-JIS: the file that exists decides, and
// the Shift-JIS reading wins when both or neither do.
TEST_F(ListLinePathTest, AmbiguousLinesTakeTheReadingThatNamesAFile) {
  const ListSource sjis = Source("T:\\Album", false);
  const std::string line = "Café.mp3";
  ASSERT_TRUE(IsValidCp932(line.c_str()));
  const std::string as_sjis = "T:\\Album\\" + line;
  const std::string as_utf8 = "T:\\Album\\" + HostNameToProgramText(line);
  EXPECT_EQ(Resolve(line, sjis), as_sjis);
  tree_.WriteFile("Album/" + line);
  EXPECT_EQ(Resolve(line, sjis), as_utf8);
}

TEST_F(ListLinePathTest, ListNamesAndEncodings) {
  EXPECT_TRUE(IsListFileName("T:\\a.m3u8"));
  EXPECT_TRUE(IsUtf8ListFileName("T:\\a.M3U8"));
  EXPECT_FALSE(IsUtf8ListFileName("T:\\a.m3u"));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("日本"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\x93\xFA\x96\x7B"));  // 日本 in Shift-JIS
  EXPECT_TRUE(IsValidCp932("\x93\xFA\x96\x7B"));
  EXPECT_TRUE(IsValidCp932(HostNameToProgramText("Björk").c_str()));  // escape pairs
  EXPECT_FALSE(IsValidCp932("voil\xC3\xA0"));     // 0xA0 is no character
  EXPECT_FALSE(IsValidCp932("\x81"));             // a lead byte without its trail
}

// A list from another player, started from anywhere: a UTF-8 ".m3u8" with a byte-order mark,
// relative and absolute lines. Its lines name its own folder's files.
TEST_F(ListLinePathTest, OtherPlayersListsPlayFromTheirOwnFolder) {
  const std::string album = tree_.root() + "/Album/";
  tree_.WriteFile("Album/list.m3u8", "\xEF\xBB\xBF#EXTM3U\n01 Jóga.mp3\n" + album + "02.mp3\n");
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Album\\list.m3u8"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "T:\\Album\\" + HostNameToProgramText("01 Jóga.mp3"),
                           "T:\\Album\\02.mp3"}));

  // A byte-order mark makes a ".m3u" UTF-8 too, and is no part of its first line.
  tree_.WriteFile("Album/marked.m3u", "\xEF\xBB\xBF" "Björk.mp3\r\n");
  ASSERT_TRUE(ReplaceCatalogueFromList("T:\\Album\\marked.m3u"));
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"T:\\Album\\" + HostNameToProgramText("Björk.mp3")}));

  // The search takes ".m3u8" lists like ".m3u" ones: the lines replace the folder's files.
  tree_.WriteFile("Album/01 Jóga.mp3");
  tree_.WriteFile("Album/02.mp3");
  tree_.WriteFile("Album/03.mp3");
  std::remove((album + "marked.m3u").c_str());
  ResetProgramState();
  SearchFolder("T:\\Album", 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "T:\\Album\\" + HostNameToProgramText("01 Jóga.mp3"),
                           "T:\\Album\\02.mp3"}));
}

// Lists that other players and file managers write: file URIs, and in UTF-8 lists, names with
// percent escapes. A Shift-JIS list's line keeps its '%' as it is.
TEST_F(ListLinePathTest, FileUrisAndPercentEscapesNameTheirFiles) {
  const std::string e_acute = "\xC3\xA9";
  tree_.WriteFile("Album/My Song " + e_acute + ".mp3");
  tree_.WriteFile("Album/100%.mp3");
  tree_.WriteFile("Album/lat\xE9.mp3");  // a Latin-1 name: not UTF-8
  const std::string uri = "file://" + tree_.root() + "/Album/";
  const std::string song = "T:\\Album\\" + HostNameToProgramText("My Song " + e_acute + ".mp3");
  const ListSource sjis = Source("T:\\Album", false);
  const ListSource utf8 = Source("T:\\Album", true);
  const struct {
    std::string line;
    ListSource source;
    std::string entry;
  } rows[] = {
      {uri + "My%20Song%20%C3%A9.mp3", utf8, song},
      {uri + "My%20Song%20%c3%a9.mp3", sjis, song},  // a URI is a URI in any list
      {uri + "100%25.mp3", utf8, "T:\\Album\\100%.mp3"},
      {uri + "lat%E9.mp3", utf8, "T:\\Album\\" + HostNameToProgramText("lat\xE9.mp3")},
      {"file://localhost" + tree_.root() + "/Album/100%25.mp3", utf8, "T:\\Album\\100%.mp3"},
      {"  " + uri + "100%25.mp3\t", utf8, "T:\\Album\\100%.mp3"},
      {uri + "gone.mp3", utf8, "T:\\Album\\gone.mp3"},  // a missing file is still an entry
      // Nothing on this host: no entry rather than a path that can never play.
      {"file://nas" + tree_.root() + "/Album/100%25.mp3", utf8, kNoEntry},
      {uri + "100%2.mp3", utf8, kNoEntry},
      {uri + "a%00.mp3", utf8, kNoEntry},
      {"http://radio.example/stream.mp3", sjis, kNoEntry},
      {"smb://nas/music/a.mp3", utf8, kNoEntry},
      // Escapes in a UTF-8 list's own lines.
      {"My%20Song%20%C3%A9.mp3", utf8, song},
      {"100%25.mp3", utf8, "T:\\Album\\100%.mp3"},
      {tree_.root() + "/Album/100%25.mp3", utf8, "T:\\Album\\100%.mp3"},
      {"50%.mp3", utf8, "T:\\Album\\50%.mp3"},        // not an escape: taken as it is
      {"gone%20x.mp3", utf8, "T:\\Album\\gone%20x.mp3"},  // names nothing either way
      // Program text keeps its bytes.
      {"100%25.mp3", sjis, "T:\\Album\\100%25.mp3"},
      {"My%20Song%20%C3%A9.mp3", sjis, "T:\\Album\\My%20Song%20%C3%A9.mp3"},
  };
  for (const auto& row : rows) EXPECT_EQ(Resolve(row.line, row.source), row.entry) << row.line;

  // A file whose name holds the escape itself, as a list VELDAN saved names it, stays named.
  tree_.WriteFile("Album/100%25.mp3");
  EXPECT_EQ(Resolve("100%25.mp3", utf8), "T:\\Album\\100%25.mp3");
  EXPECT_EQ(Resolve(tree_.root() + "/Album/100%25.mp3", utf8), "T:\\Album\\100%25.mp3");
}

// Blanks around a line's text: the file the text names plays, unless the line as it stands
// names a file itself.
TEST_F(ListLinePathTest, BlanksAroundALineAreDroppedWhenTheyNameNothing) {
  tree_.WriteFile("Album/01.mp3");
  tree_.WriteFile("Album/ 02.mp3");
  const ListSource sjis = Source("T:\\Album", false);
  const ListSource utf8 = Source("T:\\Album", true);
  const struct {
    std::string line;
    ListSource source;
    std::string entry;
  } rows[] = {
      {"  01.mp3  ", sjis, "T:\\Album\\01.mp3"},
      {"\t01.mp3\t", utf8, "T:\\Album\\01.mp3"},
      {" T:\\Album\\01.mp3 ", sjis, "T:\\Album\\01.mp3"},
      {" " + tree_.root() + "/Album/01.mp3", utf8, "T:\\Album\\01.mp3"},
      {" 02.mp3", sjis, "T:\\Album\\ 02.mp3"},  // the file of that very name
      {" 02.mp3 ", sjis, "T:\\Album\\ 02.mp3 "},  // nothing either way: as it was read
      {"   ", sjis, kNoEntry},
      {"\t", utf8, kNoEntry},
  };
  for (const auto& row : rows) EXPECT_EQ(Resolve(row.line, row.source), row.entry) << row.line;
}

// A named pipe in a list's place would block the open until a writer came; it is no list.
TEST_F(ListLinePathTest, APipeNamedLikeAListIsNotOpened) {
  ASSERT_EQ(mkfifo((tree_.root() + "/pipe.m3u").c_str(), 0600), 0);
  EXPECT_EQ(OpenListFile("T:\\pipe.m3u"), nullptr);
  g_state.catalogue.count = 1;
  EXPECT_FALSE(ReplaceCatalogueFromList("T:\\pipe.m3u"));
  EXPECT_EQ(g_state.catalogue.count, 1);
  EXPECT_EQ(SearchFolder("T:", 0), 1);
}

}  // namespace
}  // namespace veldan
