// Mapping between host paths and program paths ("X:\folder\name", program text).
//
// Host to program: absolute and normal, the drive whose root is the longest prefix, "X:" + "\" +
// each component through the name codec; a drive's root itself is "X:\". Program to host: the
// drive's root, then each component decoded; '/' is accepted as a separator like '\'; a path
// without a drive is relative to the process's current folder.
//
// Called from the user-interface thread only (the decoder's open is also on that thread).
#pragma once

#include <cstddef>
#include <string>

namespace veldan {

// The root of a drive as program text (X:\ and its terminator), built from its letter as given.
class DriveRoot {
 public:
  explicit constexpr DriveRoot(char letter) : text_{letter, ':', '\\', '\0'} {}
  constexpr const char* c_str() const { return text_; }

 private:
  char text_[4];
};

// The upper-case drive letter that text begins with ("e:..." gives 'E'), or '\0' when text does
// not begin with a letter and a colon.
char DriveLetterOf(const char* text);

// False when the program text would not fit out_size bytes (out is then empty).
bool HostPathToProgram(const std::string& host_path, char* out, std::size_t out_size);

// False when the text names no drive of the table (out is then empty).
bool ProgramPathToHost(const char* program_path, std::string* host_path);

// The command-line argument, given as a host path (absolute or relative) or a program path, as
// program text. A folder that exists gets a trailing '\' so that its parent is the folder itself.
bool ArgumentToProgramPath(const char* argument, char* out, std::size_t out_size);

// The program's own file (/proc/self/exe) as program text.
bool OwnProgramPath(char* out, std::size_t out_size);

// The process's current folder as program text, with a trailing '\' only at a drive root.
bool CurrentFolder(char* out, std::size_t out_size);

// Moves the process's current folder to a program folder. False when it can't.
bool SetCurrentFolder(const char* program_folder);

// True when the program folder exists and could be entered, without moving the process's current
// folder there (a current folder on a disc keeps the disc from being ejected).
bool CanEnterFolder(const char* program_folder);

}  // namespace veldan
