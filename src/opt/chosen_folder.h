// The options dialog's chosen folder as the new starting folder. No window code; callable from
// any thread (pure).
#pragma once

#include <cstddef>

namespace veldan {

// Copies the chosen folder into out without its one trailing separator, so the root "Q:\"
// becomes "Q:" and "Q:\Music" stays as it is. A final 0x5C that is the second byte of a
// two-byte character is part of a name and stays. False, with out untouched, when chosen is
// empty or does not fit out.
bool StartingFolderFromChosen(const char* chosen, char* out, std::size_t out_size);

}  // namespace veldan
