// The equalizer preset file VELDANEQ.DEF in the program folder; an installed copy keeps it in the
// user's config folder instead and reads its program folder's file only while there is none there
// (platform/install_layout.h).
//
// Exactly 40 bytes: the ten values of a setting in band order, each a signed 32-bit
// two's-complement integer, little-endian; no header. Start-up reads it into the applied setting;
// the options dialog's save button is its only writer. Failures are silent: a program started from
// a CD cannot write its folder (nor an installed one an unwritable config folder), and that
// failure is the whole mechanism. User-interface thread only
// (reads and writes g_state and calls the decoder library).
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldan {

inline constexpr std::size_t kPresetFileSize = 40;

// program_folder + "\VELDANEQ.DEF" into out. False, with out empty, when it does not fit.
bool EqualizerPresetPath(const char* program_folder, char* out, std::size_t out_size);

// Reads at most 40 bytes of the preset file into g_state.applied_equalizer, byte for byte in the
// file's layout: a short file replaces only the bytes it holds, the rest keep their contents. Then
// hands the applied setting to the decoder library. When the file does not open (or its path does
// not fit a 512-byte text) nothing changes and the decoder library is not called.
void LoadEqualizerPreset(const char* program_folder);

// Creates or truncates the preset file and writes the ten values of setting. True when all 40
// bytes were written and the file closed cleanly; callers show nothing either way.
bool SaveEqualizerPreset(const char* program_folder, const int32_t* setting);

// The file's byte layout, shared by reader and writer. PatchPresetBytes overwrites the first
// count bytes of the layout of setting with bytes and leaves the others as they were.
void EncodePreset(const int32_t* setting, unsigned char* bytes);
void PatchPresetBytes(const unsigned char* bytes, std::size_t count, int32_t* setting);

}  // namespace veldan
