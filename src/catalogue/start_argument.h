// The argument the program starts with (or is given later, by a drop or a remote): what it names,
// the starting folder and program folder it gives, and what it does to the first catalogue (a
// play list's lines replace it; a track becomes the current entry). User-interface thread only.
#pragma once

namespace veldan {

// What an argument (a host path, absolute or relative, or a program path) names for the player.
enum class ArgumentKind {
  kPlayable,     // a folder, or a regular file named like a track or a list (also a path on a
                 // CD drive without a disc, which start-up waits for)
  kNothing,      // nothing that exists, as start-up finds it (letter case ignored)
  kTooLong,      // exists, but its program text would not fit in 511 bytes
  kNotPlayable,  // exists, but is neither: a device, a pipe, a file of another kind
};
ArgumentKind ExamineArgument(const char* argument);

// Sets g_state.starting_folder and g_state.program_folder from the argument (null when there is
// none) and the program's own file, and keeps the argument's program text in argument_text
// (512 bytes; empty without an argument). The argument may be a host path, absolute or relative,
// or a program path. An installed copy started without one begins in the folder the user last
// started from, or in the music folder; one started with one remembers its starting folder.
// False for an argument whose program text does not fit: the folders are then those without an
// argument, and nothing is to be searched or played, since the path the user named cannot be.
bool TakeFoldersFromCommandLine(const char* argument, char* argument_text);

// After the first build: a play list argument replaces the catalogue with its lines; a track
// argument becomes the current entry when the catalogue holds it.
void ApplyCommandLineArgument(const char* argument_text);

}  // namespace veldan
