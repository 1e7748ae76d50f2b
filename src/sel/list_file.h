// Saving the track catalogue as a list file: one entry per line, each ended by CR LF, in
// catalogue order, so the file reads back as the same entries through every list reader
// (catalogue/list_lines.h). No window code. User-interface thread only.
#pragma once

namespace veldan {

// Writes every catalogue entry of g_state to the list file at program_path (program text),
// creating the file or emptying an existing one. An empty catalogue writes an empty file.
// False when the file can't be created; nothing is reported to the user either way, and write
// errors after a successful open are not detected.
bool SaveCatalogueAsList(const char* program_path);

}  // namespace veldan
