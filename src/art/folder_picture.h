// The album's picture as a file in the track's own folder, as rippers and media players leave
// them: cover, folder, front or albumart* (letter case ignored) with .jpg, .jpeg or .png.
//
// Order: cover, then folder, then front, then albumart* (Windows Media Player's
// AlbumArt_{...}_Large and _Small, beside its Folder.jpg); within one name the larger file first
// (the largest albumart* comes first, and of cover.jpg and cover.png the larger), then the name's
// bytes. A candidate that is no regular file or fails SniffPicture gives way to the next. Reads the
// folder; any thread.
#pragma once

#include <string>
#include <string_view>

namespace veldan {

// Where a file name stands in the order above: 0 cover, 1 folder, 2 front, 3 albumart*; -1 for a
// name that is no album picture.
int FolderPictureRank(std::string_view name);

// The host path of the folder's picture; empty when the folder holds none or can't be listed.
std::string FindFolderPicture(const std::string& folder);

}  // namespace veldan
