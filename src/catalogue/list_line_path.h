// What a line of a play list names, as a catalogue entry (program text).
//
// Lists come from VELDAN itself (full program paths in Shift-JIS, "X:\..."), from players on
// this host (host paths in UTF-8, "/home/me/Music/...", often in a ".m3u8" file) and from other
// systems (paths relative to the list's own folder). A line is turned into the full program path
// of the file it names when it is stored, so it plays whatever the process's current folder is.
//
// Pure functions except ResolveListLine, which maps host paths through the drive table and may
// ask whether a file exists. User-interface thread only.
#pragma once

#include "catalogue/program_state.h"

namespace veldan {

// Where the lines of one list come from.
struct ListSource {
  char folder[kTextSize] = {};  // the list's own folder, no trailing separator; empty: unknown
  bool utf8 = false;            // the list's text is UTF-8 (".m3u8", or a byte-order mark)
};

// The source of the list file at program_path: its folder, and UTF-8 for a name ending ".m3u8".
ListSource ListSourceOf(const char* program_path);

// True when the name's sort key ends in ".M3U" or ".M3U8" and is longer than that ending.
bool IsListFileName(const char* name);
// True when the name's sort key ends in ".M3U8".
bool IsUtf8ListFileName(const char* name);

// True when every character of text is a CP932 character (the codec's escape area included).
bool IsValidCp932(const char* text);

// Writes the entry that line (no line break, any length) names into out (512 bytes):
// - a line beginning with '/' is a host path in UTF-8, mapped through the drive table;
// - a line with a drive ("X:\...") stays as it is, unless the list is UTF-8 (its components are
//   then host names);
// - a file URI with no host or "localhost" ("file:///home/me/a%20b.mp3") is the host path it
//   names, percent-decoded to the host's bytes, in every list;
// - any other line is relative to the list's folder ("\..." to the root of its drive), with
//   "." and ".." resolved and '/' taken as a separator.
// A line of a Shift-JIS list is read as UTF-8 when it is valid UTF-8 with characters beyond
// ASCII and either not valid Shift-JIS or, read as Shift-JIS, naming no file while it does as
// UTF-8. A line that names no file as it stands names the file of its text without the blanks
// around it, or, in a UTF-8 list, of that text with its %XX escapes decoded, when one does. A
// line that can't be mapped is stored as it is when it fits.
// False, with out empty, when the line is no entry: a URI of another scheme or host, a file URI
// with a malformed escape or %00, a line of blanks that names no file, or a line whose entry
// does not fit 511 bytes in any reading.
bool ResolveListLine(const char* line, const ListSource& source, char* out);

}  // namespace veldan
