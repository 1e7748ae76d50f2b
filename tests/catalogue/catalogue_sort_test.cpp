#include "catalogue/catalogue_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"

namespace veldan {
namespace {

void SetEntries(const std::vector<std::string>& entries) {
  ResetProgramState();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::strcpy(g_state.catalogue.entries[i], entries[i].c_str());
  }
  g_state.catalogue.count = static_cast<int32_t>(entries.size());
}

std::vector<std::string> Entries() {
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

std::string Key(const std::string& path) {
  char buf[kTextSize] = {};
  std::strcpy(buf, path.c_str());
  MakeSortKey(buf);
  return buf;
}

TEST(SortCatalogueTest, ShallowFilesFirstThenFoldedPath) {
  SetEntries({"C:\\M\\A\\a.mp3", "C:\\M\\b.mp3", "C:\\M\\B\\\x82\x60.mp3", "C:\\M\\B\\b.mp3"});
  SortCatalogue();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"C:\\M\\b.mp3", "C:\\M\\A\\a.mp3",
                                                 "C:\\M\\B\\\x82\x60.mp3", "C:\\M\\B\\b.mp3"}));
}

TEST(SortCatalogueTest, EqualKeysEndWhereTheExchangeLoopLeavesThem) {
  // Keys A = A' (same path, other drive and case) and Z smaller: the result is Z, A', A.
  SetEntries({"D:\\b.mp3", "E:\\B.MP3", "D:\\a.mp3"});
  SortCatalogue();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"D:\\a.mp3", "E:\\B.MP3", "D:\\b.mp3"}));

  // Equal keys that nothing passes over keep their order; both stay in the catalogue.
  SetEntries({"X:\\list\\A.mp3", "X:\\LIST\\a.MP3"});
  SortCatalogue();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"X:\\list\\A.mp3", "X:\\LIST\\a.MP3"}));
}

TEST(SortCatalogueTest, KeysCompareAsUnsignedBytesAndPrefixIsSmaller) {
  SetEntries({"D:\\\xB1.mp3", "D:\\ab", "D:\\a", "D:\\a.mp3"});
  SortCatalogue();
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"D:\\a", "D:\\a.mp3", "D:\\ab", "D:\\\xB1.mp3"}));
}

TEST(SortCatalogueTest, FullCatalogueIsOrderedAndKeepsEveryEntry) {
  std::mt19937 gen(7);
  std::vector<std::string> input;
  const char parts[] = {'a', 'B', '\\', 'c', '\xB1'};
  for (int i = 0; i < kCatalogueCapacity; ++i) {
    std::string path = "C:\\";
    int length = 1 + static_cast<int>(gen() % 12);
    for (int k = 0; k < length; ++k) path += parts[gen() % sizeof parts];
    input.push_back(path + (i == 0 ? std::string(400, 'z') : ""));
  }
  SetEntries(input);
  SortCatalogue();
  std::vector<std::string> out = Entries();
  for (std::size_t i = 1; i < out.size(); ++i) {
    ASSERT_LE(Key(out[i - 1]), Key(out[i])) << i;
  }
  std::sort(input.begin(), input.end());
  std::sort(out.begin(), out.end());
  EXPECT_EQ(out, input);
}

}  // namespace
}  // namespace veldan
