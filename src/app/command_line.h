// The command line at start-up: its options, and the one optional path, which
// catalogue/start_argument.h examines and turns into the starting folder (a folder, a track, or
// a play list whose lines replace the catalogue). User-interface thread only.
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

// True when the command line asks to hand the path over to a player already running on the
// desktop (--hand-over) rather than to start a player of its own.
bool HandOverRequested(int argc, char** argv);

}  // namespace veldan
