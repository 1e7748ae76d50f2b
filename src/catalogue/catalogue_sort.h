// Ordering the track catalogue by sort key.
//
// User-interface thread only; no heap allocation.
#pragma once

namespace veldan {

// Builds the sort key of every entry into the key table beside the catalogue, then orders the
// catalogue as an exchange sort over the keys does (which decides where equal keys end); when
// no two keys are equal, a quicker sort reaches that same order.
void SortCatalogue();

}  // namespace veldan
