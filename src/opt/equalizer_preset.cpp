#include "opt/equalizer_preset.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "catalogue/program_state.h"
#include "decoder/vbmp3.h"
#include "platform/file_access.h"
#include "platform/install_layout.h"
#include "platform/paths.h"

namespace veldan {

namespace {

constexpr char kPresetName[] = "\\VELDANEQ.DEF";

bool PresetHostPath(const char* program_folder, std::string* host_path) {
  char path[kTextSize];
  return EqualizerPresetPath(program_folder, path, sizeof path) &&
         ProgramPathToHost(path, host_path);
}

}  // namespace

bool EqualizerPresetPath(const char* program_folder, char* out, std::size_t out_size) {
  if (out_size == 0) return false;
  out[0] = '\0';
  const std::size_t folder_length = std::strlen(program_folder);
  const std::size_t needed = folder_length + sizeof kPresetName;  // counts the terminator
  if (needed > out_size) return false;
  std::memcpy(out, program_folder, folder_length);
  std::memcpy(out + folder_length, kPresetName, sizeof kPresetName);
  return true;
}

void EncodePreset(const int32_t* setting, unsigned char* bytes) {
  for (int band = 0; band < kEqualizerBands; ++band) {
    const auto value = static_cast<uint32_t>(setting[band]);
    for (int k = 0; k < 4; ++k) bytes[band * 4 + k] = static_cast<unsigned char>(value >> (8 * k));
  }
}

void PatchPresetBytes(const unsigned char* bytes, std::size_t count, int32_t* setting) {
  if (count > kPresetFileSize) count = kPresetFileSize;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t band = i / 4;
    const unsigned shift = 8 * static_cast<unsigned>(i % 4);
    auto value = static_cast<uint32_t>(setting[band]);
    value = (value & ~(uint32_t{0xFF} << shift)) | (uint32_t{bytes[i]} << shift);
    setting[band] = static_cast<int32_t>(value);
  }
}

namespace {

bool LoadPresetFrom(const char* folder) {
  std::string host_path;
  if (!PresetHostPath(folder, &host_path)) return false;
  // Opened as tracks and lists are: a pipe or a device of that name would block start-up.
  std::FILE* file = OpenRegularFileStream(host_path);
  if (file == nullptr) return false;
  unsigned char bytes[kPresetFileSize];
  const std::size_t count = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  PatchPresetBytes(bytes, count, g_state.applied_equalizer);
  vbmp3_setEqualizer(g_state.applied_equalizer);
  return true;
}

}  // namespace

void LoadEqualizerPreset(const char* program_folder) {
  // An installed copy's own file is the setting it shipped with, until the user saves one.
  char config_folder[kTextSize];
  if (IsInstalledCopy(program_folder) &&
      UserConfigFolder(false, config_folder, sizeof config_folder) &&
      LoadPresetFrom(config_folder)) {
    return;
  }
  LoadPresetFrom(program_folder);
}

bool SaveEqualizerPreset(const char* program_folder, const int32_t* setting) {
  char config_folder[kTextSize];
  const char* folder = program_folder;
  if (IsInstalledCopy(program_folder)) {
    if (!UserConfigFolder(true, config_folder, sizeof config_folder)) return false;
    folder = config_folder;
  }
  std::string host_path;
  if (!PresetHostPath(folder, &host_path)) return false;
  unsigned char bytes[kPresetFileSize];
  EncodePreset(setting, bytes);
  return WriteFileWhole(host_path,
                        std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

}  // namespace veldan
