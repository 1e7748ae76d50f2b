#include "decoder/sdl_library.h"

#include <dlfcn.h>

namespace veldan {
namespace {

template <typename Function>
bool Find(void* handle, const char* name, Function* out) {
  void* symbol = dlsym(handle, name);
  *out = reinterpret_cast<Function>(symbol);
  return symbol != nullptr;
}

}  // namespace

bool LoadSdlLibrary(const char* file_name, SdlLibrary* table) {
  // Never closed: SDL's threads and the hints it keeps must not outlive its code.
  void* handle = dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  SdlLibrary found{};
  const bool complete = Find(handle, "SDL_InitSubSystem", &found.InitSubSystem) &&
                        Find(handle, "SDL_QuitSubSystem", &found.QuitSubSystem) &&
                        Find(handle, "SDL_WasInit", &found.WasInit) &&
                        Find(handle, "SDL_Quit", &found.Quit) &&
                        Find(handle, "SDL_SetHint", &found.SetHint) &&
                        Find(handle, "SDL_SetHintWithPriority", &found.SetHintWithPriority) &&
                        Find(handle, "SDL_ResetHint", &found.ResetHint) &&
                        Find(handle, "SDL_OpenAudioDevice", &found.OpenAudioDevice) &&
                        Find(handle, "SDL_CloseAudioDevice", &found.CloseAudioDevice) &&
                        Find(handle, "SDL_PauseAudioDevice", &found.PauseAudioDevice) &&
                        Find(handle, "SDL_GetAudioDeviceStatus", &found.GetAudioDeviceStatus);
  if (!complete) {
    dlclose(handle);  // none of its functions has been called
    return false;
  }
  *table = found;
  return true;
}

const SdlLibrary* SystemSdl() {
  static SdlLibrary table;
  static const bool loaded = LoadSdlLibrary("libSDL2-2.0.so.0", &table);
  return loaded ? &table : nullptr;
}

}  // namespace veldan
