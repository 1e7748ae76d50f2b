// The command line at start-up: the starting folder and the program folder, and what the one
// optional argument names (a folder, a track, or a play list whose lines replace the catalogue).
// User-interface thread only.
#pragma once

namespace veldan {

// Sets g_state.starting_folder and g_state.program_folder from the argument (null when there is
// none) and the program's own file, and keeps the argument's program text in argument_text
// (512 bytes; empty without an argument). The argument may be a host path, absolute or relative,
// or a program path. An installed copy started without one begins in the folder the user last
// started from, or in the music folder; one started with one remembers its starting folder.
void TakeFoldersFromCommandLine(const char* argument, char* argument_text);

// After the first build: a play list argument replaces the catalogue with its lines; a track
// argument becomes the current entry when the catalogue holds it.
void ApplyCommandLineArgument(const char* argument_text);

}  // namespace veldan
