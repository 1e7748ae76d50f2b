// Host path helpers: absolute, lexically normal paths and their components.
//
// Normal means: absolute, single '/' separators, no "." or ".." components, no trailing '/'
// except for the root itself. ".." is resolved lexically (the host's file functions would follow
// a link first; the drive table compares paths as text, so it wants the textual parent). A ".."
// at the root stays at the root.
//
// Pure functions except AbsoluteHostPath (reads the current folder and $HOME); any thread.
#pragma once

#include <string>
#include <string_view>

namespace veldan {

// Normalises an absolute path; a relative one is taken as relative to base (itself absolute).
std::string NormaliseHostPath(std::string_view path, std::string_view base = "/");

// The process's current folder, normal; "/" when it can't be read.
std::string CurrentHostFolder();

// A user's path made absolute and normal: "~" and "~/..." start at $HOME, other relative paths at
// the current folder.
std::string AbsoluteHostPath(std::string_view path);

// True when root (normal) is path (normal) itself or one of its ancestors, component-wise:
// /media/cd holds /media/cd/x but not /media/cdx.
bool IsHostPathWithin(std::string_view path, std::string_view root);

}  // namespace veldan
