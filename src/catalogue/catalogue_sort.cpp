// The exchange sort over the catalogue and its parallel key table.
#include "catalogue/catalogue_sort.h"

#include <algorithm>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/program_state.h"

namespace veldan {

namespace {

// Entry i's key in slot i; holds meaning only while a sort runs.
char g_sort_keys[kCatalogueCapacity][kTextSize];

// Swaps two zero-terminated texts in 512-byte slots, moving only the bytes that hold text.
void SwapTexts(char* a, char* b) {
  std::size_t length = std::max(strnlen(a, kTextSize - 1), strnlen(b, kTextSize - 1)) + 1;
  std::swap_ranges(a, a + length, b);
}

}  // namespace

void SortCatalogue() {
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t count = catalogue.count;
  for (int32_t i = 0; i < count; ++i) {
    std::size_t length = strnlen(catalogue.entries[i], kTextSize - 1);
    std::memcpy(g_sort_keys[i], catalogue.entries[i], length);
    g_sort_keys[i][length] = '\0';
    MakeSortKey(g_sort_keys[i]);
  }
  // This exact loop decides where entries with equal keys end (the same path in two letter cases
  // or on two drives, from play lists): they are never swapped with each other, but a smaller key
  // that passes over them can reverse them. Keys A, A', Z (A = A') end as Z, A', A.
  // strcmp compares bytes as unsigned values, and a prefix is the smaller.
  for (int32_t i = 0; i < count - 1; ++i) {
    for (int32_t j = i + 1; j < count; ++j) {
      if (std::strcmp(g_sort_keys[i], g_sort_keys[j]) > 0) {
        SwapTexts(catalogue.entries[i], catalogue.entries[j]);
        SwapTexts(g_sort_keys[i], g_sort_keys[j]);
      }
    }
  }
}

}  // namespace veldan
