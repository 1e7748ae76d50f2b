// The program-wide state that every window and the catalogue share.
//
// Plain values in one place, as the program is designed: the track catalogue, the folders, the
// equalizer settings, the play and wait flags and the ready-drive list. User-interface thread only.
// Tests call ResetProgramState() to start from the state the program starts with.
#pragma once

#include <cstdint>

namespace veldan {

inline constexpr int kTextSize = 512;           // every path and text buffer, terminator included
inline constexpr int kCatalogueCapacity = 500;  // entries the track catalogue holds
inline constexpr int kEqualizerBands = 10;

struct TrackCatalogue {
  char entries[kCatalogueCapacity][kTextSize];  // zero-terminated Shift-JIS paths
  int32_t count;                                // 0..500; slots at and past it are stale
  int32_t current;                              // current catalogue index
};

struct ProgramState {
  TrackCatalogue catalogue;
  char starting_folder[kTextSize];  // no trailing separator; a drive root is "E:"
  char program_folder[kTextSize];   // folder of the program's own file
  char chosen_folder[kTextSize];    // the options dialog's folder after OK
  int32_t applied_equalizer[kEqualizerBands];
  int32_t edited_equalizer[kEqualizerBands];
  bool continuous_play;
  bool wait_abort;  // set by the main window's close; every media wait clears it when it starts
  bool closing;     // set once when the main window closes, never cleared: ends every wait
  char ready_drives[26];
  int32_t ready_drive_count;
};

extern ProgramState g_state;

void ResetProgramState();

}  // namespace veldan
