// The command line at start-up: the starting folder and the program folder, and what the one
// optional argument names (a folder, a track, or a play list whose lines replace the catalogue).
// User-interface thread only.
#pragma once

#include <cstdio>

namespace veldan {

// Before the window system starts (so they answer without a display): --help (-h) prints the
// usage and --version (-v) the version to out, and the result is the exit code 0; an unknown
// option that is none of the window system's own (-platform, -style, ...) prints a message and
// the usage to err, and the result is 2. Otherwise -1: the program goes on.
int AnswerInformationOptions(int argc, char** argv, std::FILE* out = stdout,
                             std::FILE* err = stderr);

// After the application has taken its own options out of argv: an unknown option prints a
// message and the usage to err and returns the exit code 2. Otherwise returns -1 with *argument
// set to the first path given (argv's bytes as they are; null without one); further paths, as a
// desktop entry hands several files over, are ignored. A path that names nothing the program can
// find (mapped as TakeFoldersFromCommandLine maps it, letter case ignored as the listing
// ignores it) gets a one-line note on err; the program then starts from it as from any other.
int ReadStartingArgument(int argc, char** argv, const char** argument, std::FILE* err = stderr);

// What an argument (a host path, absolute or relative, or a program path) names for the player.
enum class ArgumentKind {
  kPlayable,     // a folder, or a regular file named like a track or a list (also a path on a
                 // CD drive without a disc, which start-up waits for)
  kNothing,      // nothing that exists, as start-up finds it (letter case ignored)
  kTooLong,      // exists, but its program text would not fit in 511 bytes
  kNotPlayable,  // exists, but is neither: a device, a pipe, a file of another kind
};
ArgumentKind ExamineArgument(const char* argument);

// True when the command line asks to hand the path over to a player already running on the
// desktop (--hand-over) rather than to start a player of its own.
bool HandOverRequested(int argc, char** argv);

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
