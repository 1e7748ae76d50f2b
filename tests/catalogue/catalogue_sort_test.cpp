#include "catalogue/catalogue_sort.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalogue/program_state.h"

namespace veldan {
namespace {

using Lines = std::vector<std::string>;

Lines Sorted(const Lines& entries) {
  ResetProgramState();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::strcpy(g_state.catalogue.entries[i], entries[i].c_str());
  }
  g_state.catalogue.count = static_cast<int32_t>(entries.size());
  SortCatalogue();
  return {g_state.catalogue.entries, g_state.catalogue.entries + g_state.catalogue.count};
}

TEST(SortCatalogueTest, Order) {
  struct Row {
    Lines in;
    Lines out;
  };
  const Row rows[] = {
      // Shallower files first, then the folded path.
      {{"C:\\M\\A\\a.mp3", "C:\\M\\b.mp3", "C:\\M\\B\\\x82\x60.mp3", "C:\\M\\B\\b.mp3"},
       {"C:\\M\\b.mp3", "C:\\M\\A\\a.mp3", "C:\\M\\B\\\x82\x60.mp3", "C:\\M\\B\\b.mp3"}},
      // Keys A = A' and Z smaller, in that order, end as Z, A', A.
      {{"D:\\b.mp3", "E:\\B.MP3", "D:\\a.mp3"}, {"D:\\a.mp3", "E:\\B.MP3", "D:\\b.mp3"}},
      // Equal keys that nothing passes over keep their order, and both stay.
      {{"X:\\list\\A.mp3", "X:\\LIST\\a.MP3"}, {"X:\\list\\A.mp3", "X:\\LIST\\a.MP3"}},
      // Unsigned bytes; a prefix is the smaller.
      {{"D:\\\xB1.mp3", "D:\\ab", "D:\\a", "D:\\a.mp3"},
       {"D:\\a", "D:\\a.mp3", "D:\\ab", "D:\\\xB1.mp3"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Sorted(row.in), row.out);
}

}  // namespace
}  // namespace veldan
