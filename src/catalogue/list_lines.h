// Reading list files (M3U play lists and the list files VELDAN saves), one path per line.
//
// Three readers share this: the search (a list met in a searched folder), the play list named on
// the command line, and list loading in the selection dialog. All read pieces of at most 511 bytes
// that end after a line break, so a longer line comes in several pieces, each a line of its own.
// Lines starting with '#' (M3U directives and comments) are never entries. A line ends at LF, CR
// LF or a lone CR; a UTF-8 byte-order mark is not part of the first line. Each line is stored as
// the full program path it names (catalogue/list_line_path.h). User-interface thread.
#pragma once

#include <cstdint>
#include <cstdio>

#include "catalogue/list_line_path.h"

namespace veldan {

// Reads the next piece (at most 511 bytes, ending after a line break or at the end of the file)
// into a 512-byte buffer, zero-terminated. NUL bytes inside a piece are kept in the count but end the
// text. False at the end of the file.
bool ReadListPiece(std::FILE* file, char* piece);

// The search's rule: cut at the first CR or LF.
void CutAtFirstLineBreak(char* piece);
// The loading rule: remove CR and LF bytes from the end, never the piece's first byte.
void StripTrailingLineBreaks(char* piece);

// Replaces the catalogue by the lines of the list file at program_path, in file order, unsorted,
// at most 500 entries; blank lines and '#' lines are not entries. The current index becomes 0.
// False, with the catalogue untouched, when the file does not open.
bool ReplaceCatalogueFromList(const char* program_path);

// Opens a list file named by program text for reading through the path mapping; null when it
// does not open or is not a regular file (a pipe would block the open).
std::FILE* OpenListFile(const char* program_path);
// The search's rule on an open list: appends each piece cut at its first CR or LF; empty pieces
// and '#' lines are not entries; nothing is added past 500 entries, yet the file is read to its
// end. Returns the number of entries added.
int32_t AppendListLines(std::FILE* file, const ListSource& source);
// The loading rule on an open list: replaces the catalogue as ReplaceCatalogueFromList does.
void ReplaceCatalogueFromFile(std::FILE* file, const ListSource& source);

}  // namespace veldan
