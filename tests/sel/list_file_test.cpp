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
#include "platform/paths.h"

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

}  // namespace
}  // namespace veldan
