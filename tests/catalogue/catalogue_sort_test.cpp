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

// The order the catalogue must end in: the exchange sort over the keys, entry by entry.
Lines ExchangeSorted(Lines entries) {
  Lines keys;
  for (const std::string& entry : entries) {
    char key[kTextSize] = {};
    std::strncpy(key, entry.c_str(), kTextSize - 1);
    MakeSortKey(key);
    keys.emplace_back(key);
  }
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    for (std::size_t j = i + 1; j < entries.size(); ++j) {
      if (std::strcmp(keys[i].c_str(), keys[j].c_str()) > 0) {
        std::swap(keys[i], keys[j]);
        std::swap(entries[i], entries[j]);
      }
    }
  }
  return entries;
}

// Whole catalogues in shuffled order, up to the capacity, with and without entries whose keys
// are equal (letter case, another drive): the result is the exchange sort's, entry for entry.
TEST(SortCatalogueTest, LargeCataloguesEndAsTheExchangeSortLeavesThem) {
  std::mt19937 random(17);
  for (int round = 0; round < 40; ++round) {
    const int count = round < 4 ? round : static_cast<int>(random() % kCatalogueCapacity) + 1;
    const bool with_equal_keys = round % 2 == 1;
    Lines entries;
    for (int i = 0; i < count; ++i) {
      std::string entry = "D:\\Music\\Album " + std::to_string(i % 37) + "\\";
      if (i % 5 == 0) entry += "Disc " + std::to_string(i % 3) + "\\";
      entry += std::to_string(i) + " Track.mp3";
      if (with_equal_keys && i % 7 == 3) {
        entry[0] = 'E';  // the same path on another drive
      } else if (with_equal_keys && i % 11 == 4) {
        std::transform(entry.begin(), entry.end(), entry.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
      }
      entries.push_back(entry);
      if (with_equal_keys && i % 13 == 6 && static_cast<int>(entries.size()) < count) {
        entries.push_back(entry);  // listed twice
        ++i;
      }
    }
    std::shuffle(entries.begin(), entries.end(), random);
    EXPECT_EQ(Sorted(entries), ExchangeSorted(entries)) << "round " << round;
  }
}

}  // namespace
}  // namespace veldan
