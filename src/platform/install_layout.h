// Where a copy of the program keeps its settings and finds its help file.
//
// A portable copy (in a folder of music, or copied onto a disc with it) keeps the equalizer preset
// and the help file in its own program folder and starts in that folder. An installed copy lives
// in a "bin" folder that has "../share/veldan/VELDAN.HLP" beside it, as `cmake --install` lays it
// out: its folder is no place for settings (it may be read-only, and it holds other programs), so
// it follows the XDG base directory rules instead: settings in the user's config folder
// ($XDG_CONFIG_HOME/VELDAN, ~/.config/VELDAN by default), the help file in share/veldan/, and
// without an argument it starts in the last starting folder the user played, or else in the
// user's music folder.
//
// Folders are program text without a trailing separator, as g_state holds them. User-interface
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldan {

// True when program_folder is an installed copy's folder (see above).
bool IsInstalledCopy(const char* program_folder);

// The help file of an installed copy (prefix/share/veldan/VELDAN.HLP) as program text. False,
// with out empty, when it does not map or does not fit.
bool InstalledHelpFile(const char* program_folder, char* out, std::size_t out_size);

// The user's config folder for VELDAN. When create is set, it is made (with its parents) first.
// False, with out empty, when it can't be made or its path does not fit.
bool UserConfigFolder(bool create, char* out, std::size_t out_size);

// Where an installed copy started without an argument begins: the saved starting folder while it
// can be entered, else the user's music folder ($XDG_MUSIC_DIR, the desktop's own setting, or
// ~/Music), else the home folder. False, with out empty, when none maps to program text.
bool InstalledStartingFolder(char* out, std::size_t out_size);

// Saves starting_folder as the one an installed copy starts in next time. Does nothing for a
// portable copy; a config folder that can't be written is passed over silently.
void RememberStartingFolder(const char* program_folder, const char* starting_folder);

// Where play stood when an installed copy last played: the starting folder it played from, the
// track (program text, as the catalogue holds it) and the position in milliseconds.
struct ResumePoint {
  char starting_folder[512] = {};
  char track[512] = {};
  int64_t position_ms = 0;
};

// Saves point as where an installed copy started without an argument begins next time (nothing
// for a portable copy). The saved point is replaced whole: a crash or a power cut leaves the old
// point or the new one, never a mix. A config folder that can't be written is passed over
// silently, and so is a point whose texts hold a line break (they could not be read back).
void RememberResumePoint(const char* program_folder, const ResumePoint& point);

// The saved point. False, with *point cleared, when none is saved or it is damaged.
bool SavedResumePoint(ResumePoint* point);

// How ReplayGain is applied: automatically (the album's gain while play goes in order or stays in
// one album, the track's under Random), always the album's, always the track's, or not at all.
enum class ReplayGainSetting { kAuto, kAlbum, kTrack, kOff };

// The "replaygain" key of an installed copy's settings file (veldan.conf in the config folder:
// "key = value" lines, "#" starting a comment). kAuto for a portable copy, without the file or
// key, and for a value it does not know.
ReplayGainSetting ReadReplayGainSetting(const char* program_folder);

}  // namespace veldan
