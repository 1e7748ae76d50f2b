// The exchange sort over the catalogue and its parallel key table.
#include "catalogue/catalogue_sort.h"

#include <algorithm>
#include <cstdint>
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

// Copies a zero-terminated text between 512-byte slots, moving only the bytes that hold text.
void CopyText(char* to, const char* from) {
  std::size_t length = strnlen(from, kTextSize - 1);
  std::memmove(to, from, length);
  to[length] = '\0';
}

// Moves entry order[k] to slot k for every k, following each cycle of the permutation with one
// spare slot; order ends as the identity.
void PermuteEntries(int16_t* order, int32_t count) {
  char spare[kTextSize];
  char(*entries)[kTextSize] = g_state.catalogue.entries;
  for (int32_t start = 0; start < count; ++start) {
    if (order[start] == start) continue;
    CopyText(spare, entries[start]);
    int32_t slot = start;
    while (order[slot] != start) {
      const int32_t from = order[slot];
      CopyText(entries[slot], entries[from]);
      order[slot] = static_cast<int16_t>(slot);
      slot = from;
    }
    CopyText(entries[slot], spare);
    order[slot] = static_cast<int16_t>(slot);
  }
}

}  // namespace

void SortCatalogue() {
  TrackCatalogue& catalogue = g_state.catalogue;
  const int32_t count = catalogue.count;
  for (int32_t i = 0; i < count; ++i) {
    CopyText(g_sort_keys[i], catalogue.entries[i]);
    MakeSortKey(g_sort_keys[i]);
  }
  // With no two keys equal, the exchange sort below ends in plain key order, which an
  // O(n log n) sort of the indices reaches far sooner (a 500-track catalogue is sorted while
  // the first sound waits). strcmp compares bytes as unsigned values, and a prefix is the smaller.
  static int16_t order[kCatalogueCapacity];
  for (int32_t i = 0; i < count; ++i) order[i] = static_cast<int16_t>(i);
  std::sort(order, order + count,
            [](int16_t a, int16_t b) { return std::strcmp(g_sort_keys[a], g_sort_keys[b]) < 0; });
  bool keys_differ = true;
  for (int32_t k = 1; k < count && keys_differ; ++k) {
    keys_differ = std::strcmp(g_sort_keys[order[k - 1]], g_sort_keys[order[k]]) != 0;
  }
  if (keys_differ) {
    PermuteEntries(order, count);
    return;
  }
  // This exact loop decides where entries with equal keys end (the same path in two letter cases
  // or on two drives, from play lists): they are never swapped with each other, but a smaller key
  // that passes over them can reverse them. Keys A, A', Z (A = A') end as Z, A', A.
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
