// Ordering the track catalogue by sort key.
//
// User-interface thread only; no heap allocation.
#pragma once

namespace veldan {

// Builds the sort key of every entry into the key table beside the catalogue, then orders both
// tables together by an exchange sort over the keys.
void SortCatalogue();

}  // namespace veldan
