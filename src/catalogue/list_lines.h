// Reading list files (M3U play lists and the list files VELDAN saves), one path per line.
//
// Three readers share this: the search (a list met in a searched folder), the play list named on
// the command line, and list loading in the selection dialog. Each line is read whole and names
// one entry at most; a line too long to name one (over 16 KiB, or an entry over 511 bytes in every
// reading) names none. Lines starting with '#' (M3U directives and comments) are never entries. A
// line ends at LF, CR LF or a lone CR. A byte-order mark is not part of the first line: a UTF-8 one
// makes the list UTF-8, and a UTF-16 one (FF FE, FE FF) makes it UTF-16, read as UTF-8 text.
// Each line is stored as the full program path it names (catalogue/list_line_path.h).
// User-interface thread.
#pragma once

#include <cstdint>
#include <cstdio>

#include "catalogue/list_line_path.h"

namespace veldan {

// Replaces the catalogue by the lines of the list file at program_path, in file order, unsorted,
// at most 500 entries; blank lines and '#' lines are not entries. The current index becomes 0.
// False, with the catalogue untouched, when the file does not open.
bool ReplaceCatalogueFromList(const char* program_path);

// Opens a list file named by program text for reading through the path mapping; null when it
// does not open or is not a regular file (a pipe would block the open).
std::FILE* OpenListFile(const char* program_path);
// The search's rule on an open list: appends the entries of its lines; nothing is added past 500
// entries, yet the file is read to its end. Returns the number of entries added.
int32_t AppendListLines(std::FILE* file, const ListSource& source);
// The loading rule on an open list: replaces the catalogue as ReplaceCatalogueFromList does.
void ReplaceCatalogueFromFile(std::FILE* file, const ListSource& source);

}  // namespace veldan
