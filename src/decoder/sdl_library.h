// SDL's functions as the sound output uses them, loaded from libSDL2 at run time.
//
// The program does not link SDL: libSDL2 brings in some fifty libraries of its own (sound
// server clients, codecs, display protocols), and loading them at exec would hold up the way to
// the main window. The decode thread loads it when it starts the sound system, so only that
// thread ever waits for it. SDL's headers still give the types and constants.
#pragma once

#include <SDL.h>

namespace veldan {

// The table of the SDL functions in use; every entry is set once the library is loaded.
struct SdlLibrary {
  decltype(&SDL_InitSubSystem) InitSubSystem;
  decltype(&SDL_QuitSubSystem) QuitSubSystem;
  decltype(&SDL_WasInit) WasInit;
  decltype(&SDL_Quit) Quit;
  decltype(&SDL_SetHint) SetHint;
  decltype(&SDL_SetHintWithPriority) SetHintWithPriority;
  decltype(&SDL_ResetHint) ResetHint;
  decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
  decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
  decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
  decltype(&SDL_GetAudioDeviceStatus) GetAudioDeviceStatus;
};

// Loads the library named file_name and fills the table; false when it can't be loaded or lacks
// a function. A loaded library stays loaded for the rest of the process.
bool LoadSdlLibrary(const char* file_name, SdlLibrary* table);

// The process's SDL (libSDL2-2.0.so.0), loaded on the first call from any thread; null when the
// system has none, and then there is no sound.
const SdlLibrary* SystemSdl();

}  // namespace veldan
