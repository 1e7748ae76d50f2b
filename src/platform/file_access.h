// Opening files to read without ever blocking, writing files whole or not at all, and what a
// path names.
//
// A path may name a named pipe, a device or a socket: opening a pipe for reading waits until a
// writer appears, so every track and list is opened non-blocking and accepted only when it is a
// regular file. A file is written through a temporary file beside it that replaces it only once
// every byte is on disk, so a full disk or a failed write leaves the old file as it was.
//
// Host paths (UTF-8 bytes). Any thread.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace veldan {

// Opens host_path read-only; -1 when it can't be opened or is not a regular file. The
// descriptor is blocking again once returned (only the open itself must not wait).
int OpenRegularFile(const std::string& host_path);

// The same as a stdio stream in binary mode; null when OpenRegularFile fails.
std::FILE* OpenRegularFileStream(const std::string& host_path);

// Replaces the file at host_path by contents: a temporary file in the same folder is written,
// flushed to disk and renamed over the target. On any failure the temporary file is removed, the
// old file (if any) is untouched, and the result is false. A link is followed to its target; a
// file replaced keeps its permission bits. Anything but a regular file at the target (a pipe, a
// device, a folder) is never replaced: false.
bool WriteFileWhole(const std::string& host_path, std::string_view contents);

// What host_path names, a link followed to its target: nothing that can be reached, a folder, a
// regular file, or something else (a device, a pipe, a socket). Relative to the current folder.
enum class HostFileKind { kNone, kFolder, kRegular, kOther };
HostFileKind HostFileKindOf(const char* host_path);

}  // namespace veldan
