// Saving the track catalogue as a list file: one entry per line, each ended by CR LF, in
// catalogue order, so the file reads back as the same entries through every list reader
// (catalogue/list_lines.h). A name ending ".m3u8" gets a list for other players instead: each
// entry's host path in UTF-8, ended by LF. No window code. User-interface thread only.
#pragma once

namespace veldan {

// Writes every catalogue entry of g_state to the list file at program_path (program text),
// creating the file or replacing an existing one whole. An empty catalogue writes an empty file.
// False when the file can't be written completely (a full disk, no access); the old file then
// stays as it was. Nothing is reported to the user either way.
bool SaveCatalogueAsList(const char* program_path);

}  // namespace veldan
