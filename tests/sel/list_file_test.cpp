#include "sel/list_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/list_lines.h"
#include "catalogue/program_state.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "support/small_tmpfs.h"

namespace veldan {
namespace {

namespace fs = std::filesystem;

class ListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    char pattern[] = "/tmp/veldan_list_file_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The program text of a host path below the test folder.
  std::string ProgramPath(const std::string& relative) const {
    char out[kTextSize];
    EXPECT_TRUE(HostPathToProgram((dir_ / relative).string(), out, sizeof out));
    return out;
  }
  static void SetCatalogue(const std::vector<std::string>& entries) {
    g_state.catalogue.count = 0;
    for (const std::string& entry : entries) {
      std::strcpy(g_state.catalogue.entries[g_state.catalogue.count++], entry.c_str());
    }
  }
  static std::vector<std::string> Catalogue() {
    return {std::begin(g_state.catalogue.entries),
            std::begin(g_state.catalogue.entries) + g_state.catalogue.count};
  }
  std::string ReadBytes(const std::string& relative) const {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void Touch(const std::string& relative) const {
    fs::create_directories((dir_ / relative).parent_path());
    std::ofstream(dir_ / relative) << "not really an mp3";
  }

  fs::path dir_;
};

TEST_F(ListFileTest, AnEmptyCatalogueEmptiesAnExistingFileAndNoFolderMeansNoFile) {
  std::ofstream(dir_ / "old.m3u") << "C:\\old.mp3\r\n";
  ASSERT_TRUE(SaveCatalogueAsList(ProgramPath("old.m3u").c_str()));
  EXPECT_TRUE(fs::exists(dir_ / "old.m3u"));
  EXPECT_EQ(ReadBytes("old.m3u"), "");
  EXPECT_FALSE(SaveCatalogueAsList(ProgramPath("no such folder/list.m3u").c_str()));
}

TEST_F(ListFileTest, ASearchedCatalogueReadsBackTheSameByListLoadingAndBySearch) {
  for (const char* file :
       {"music/a.mp3", "music/B.MP3", "music/Live/c.mp3", "music/日本語/曲.mp3", "music/Björk.mp3",
        "music/x/y/z.Mp3", "music/ｆｕｌｌ１.mp3", "music/notes.txt"}) {
    Touch(file);
  }
  const std::string music = ProgramPath("music");
  BuildCatalogue(music.c_str());
  const std::vector<std::string> built = Catalogue();
  ASSERT_EQ(built.size(), 7u);

  fs::create_directories(dir_ / "lists");
  ASSERT_TRUE(SaveCatalogueAsList(ProgramPath("lists/saved.m3u").c_str()));

  SetCatalogue({"C:\\other.mp3"});
  ASSERT_TRUE(ReplaceCatalogueFromList(ProgramPath("lists/saved.m3u").c_str()));
  EXPECT_EQ(Catalogue(), built);
  EXPECT_EQ(g_state.catalogue.current, 0);

  SetCatalogue({"C:\\other.mp3"});
  BuildCatalogue(ProgramPath("lists").c_str());
  EXPECT_EQ(Catalogue(), built);
}

// A list saved under a name ending ".m3u8" is for other players: UTF-8 host paths, LF line ends.
// VELDAN reads it back as the same entries.
TEST_F(ListFileTest, AnM3u8ListHoldsHostPathsInUtf8) {
  Touch("music/Björk.mp3");
  Touch("music/日本.mp3");
  const std::vector<std::string> entries = {ProgramPath("music/Björk.mp3"),
                                            ProgramPath("music/日本.mp3")};
  SetCatalogue(entries);
  ASSERT_TRUE(SaveCatalogueAsList(ProgramPath("other.m3u8").c_str()));
  const std::string music = (dir_ / "music").string();
  EXPECT_EQ(ReadBytes("other.m3u8"), music + "/Björk.mp3\n" + music + "/日本.mp3\n");

  SetCatalogue({"C:\\other.mp3"});
  ASSERT_TRUE(ReplaceCatalogueFromList(ProgramPath("other.m3u8").c_str()));
  EXPECT_EQ(Catalogue(), entries);
}

// Names that other players' lists would escape or trim read back as the very files in both of
// VELDAN's formats, also while the names they would decode or trim to exist too.
TEST_F(ListFileTest, NamesWithEscapesAndBlanksReadBackAsSaved) {
  std::vector<std::string> entries;
  for (const char* name : {"100%25.mp3", "100%.mp3", " lead.mp3", "lead.mp3", "trail .mp3",
                           "trail.mp3", "50%.mp3", "%E9.mp3", "file%3A.mp3"}) {
    Touch(std::string("music/") + name);
    entries.push_back(ProgramPath(std::string("music/") + name));
  }
  for (const char* list : {"saved.m3u", "saved.m3u8"}) {
    SetCatalogue(entries);
    ASSERT_TRUE(SaveCatalogueAsList(ProgramPath(list).c_str()));
    SetCatalogue({"C:\\other.mp3"});
    ASSERT_TRUE(ReplaceCatalogueFromList(ProgramPath(list).c_str()));
    EXPECT_EQ(Catalogue(), entries) << list;
  }
}

// On a full disk the old list must survive whole: the new one is written beside it first.
TEST_F(ListFileTest, SavingOnAFullDiskLeavesTheOldListAsItWas) {
  test::SmallTmpfs disk;
  if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  std::string old_list;
  for (int i = 0; i < 50; ++i) old_list += "C:\\old\\" + std::to_string(i) + ".mp3\r\n";
  const std::string target = disk.path() + "/Filelist.m3u";
  std::ofstream(target, std::ios::binary) << old_list;
  disk.Fill();

  std::vector<std::string> entries;
  for (int i = 0; i < kCatalogueCapacity; ++i) {
    entries.push_back("C:\\Music\\Album " + std::to_string(i / 12) + "\\" + std::to_string(i) +
                      " a rather long track name.mp3");
  }
  SetCatalogue(entries);
  char program_path[kTextSize];
  ASSERT_TRUE(HostPathToProgram(target, program_path, sizeof program_path));
  EXPECT_FALSE(SaveCatalogueAsList(program_path));
  std::ifstream in(target, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old_list);
  EXPECT_EQ(std::distance(fs::directory_iterator(disk.path()), fs::directory_iterator()), 2)
      << "the temporary file is left behind";
}

}  // namespace
}  // namespace veldan
