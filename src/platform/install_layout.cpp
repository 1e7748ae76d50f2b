#include "platform/install_layout.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {
namespace {

constexpr char kStartingFolderFile[] = "/starting-folder";
constexpr char kResumeFile[] = "/resume";
constexpr char kSettingsFile[] = "/veldan.conf";
// Larger files are not ours: the key files hold a few short lines.
constexpr std::size_t kKeyFileLimit = 16 * 1024;

bool IsFolder(const std::string& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string HostOf(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// The folder above an installed copy's "bin", or empty for a portable copy.
std::string InstallPrefix(const char* program_folder) {
  std::string host;
  if (!ProgramPathToHost(program_folder, &host)) return {};
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  const std::size_t cut = host.rfind('/');
  if (cut == std::string::npos || host.compare(cut + 1, std::string::npos, "bin") != 0) return {};
  const std::string prefix = cut == 0 ? std::string(1, '/') : host.substr(0, cut);
  return IsRegularFile(prefix + "/share/veldan/VELDAN.HLP") ? prefix : std::string();
}

std::string ConfigFolderHost() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return base.isEmpty() ? std::string() : HostOf(base) + "/VELDAN";
}

// A host folder as program text without a trailing separator ("C:\" becomes "C:").
bool FolderText(const std::string& host, char* out, std::size_t out_size) {
  if (host.empty() || !HostPathToProgram(host, out, out_size)) {
    if (out_size > 0) out[0] = '\0';
    return false;
  }
  const std::size_t length = std::strlen(out);
  if (length > 0 && out[length - 1] == '\\') out[length - 1] = '\0';
  return true;
}

bool SavedStartingFolder(char* out, std::size_t out_size) {
  const std::string folder = ConfigFolderHost();
  if (folder.empty() || out_size == 0) return false;
  std::FILE* file = OpenRegularFileStream(folder + kStartingFolderFile);
  if (file == nullptr) return false;
  // One byte more than fits tells a text that is too long from one that just fits.
  std::string text(out_size, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.find('\0') != std::string::npos) return false;
  return CopyText(out, out_size, text) && CanEnterFolder(out);
}

// A small file of the config folder, whole; empty when it is missing, not a regular file or
// larger than any file VELDAN writes there.
std::string ReadConfigFile(const char* name) {
  const std::string folder = ConfigFolderHost();
  if (folder.empty()) return {};
  std::FILE* file = OpenRegularFileStream(folder + name);
  if (file == nullptr) return {};
  std::string text(kKeyFileLimit + 1, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text.size() > kKeyFileLimit ? std::string() : text;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The value of key in "key = value" lines; "#" starts a comment. Empty when absent.
std::string_view KeyValue(std::string_view text, std::string_view key) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = Trimmed(line.substr(0, line.find('#')));
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && Trimmed(line.substr(0, equals)) == key) {
      return Trimmed(line.substr(equals + 1));
    }
  }
  return {};
}

// The rest of the line that begins with prefix, exactly as written (names may end in blanks).
std::string_view LineValue(std::string_view text, std::string_view prefix) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    if (line.substr(0, prefix.size()) == prefix) return line.substr(prefix.size());
    at = end + 1;
  }
  return {};
}

std::string MusicFolderHost() {
  const char* variable = std::getenv("XDG_MUSIC_DIR");
  if (variable != nullptr && variable[0] == '/' && IsFolder(variable)) return variable;
  const std::string music = HostOf(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
  if (!music.empty() && IsFolder(music)) return music;
  return HostOf(QDir::homePath());
}

}  // namespace

bool IsInstalledCopy(const char* program_folder) {
  return !InstallPrefix(program_folder).empty();
}

bool InstalledHelpFile(const char* program_folder, char* out, std::size_t out_size) {
  const std::string prefix = InstallPrefix(program_folder);
  if (prefix.empty() || !HostPathToProgram(prefix + "/share/veldan/VELDAN.HLP", out, out_size)) {
    if (out_size > 0) out[0] = '\0';
    return false;
  }
  return true;
}

bool UserConfigFolder(bool create, char* out, std::size_t out_size) {
  const std::string folder = ConfigFolderHost();
  if (create && !folder.empty() && !QDir().mkpath(QFile::decodeName(folder.c_str()))) {
    if (out_size > 0) out[0] = '\0';
    return false;
  }
  return FolderText(folder, out, out_size);
}

bool InstalledStartingFolder(char* out, std::size_t out_size) {
  return SavedStartingFolder(out, out_size) || FolderText(MusicFolderHost(), out, out_size);
}

void RememberStartingFolder(const char* program_folder, const char* starting_folder) {
  if (starting_folder[0] == '\0' || !IsInstalledCopy(program_folder)) return;
  const std::string folder = ConfigFolderHost();
  if (folder.empty() || !QDir().mkpath(QFile::decodeName(folder.c_str()))) return;
  WriteFileWhole(folder + kStartingFolderFile, starting_folder);
}

void RememberResumePoint(const char* program_folder, const ResumePoint& point) {
  if (point.starting_folder[0] == '\0' || point.track[0] == '\0' ||
      !IsInstalledCopy(program_folder)) {
    return;
  }
  const std::string_view folder_text(point.starting_folder,
                                     strnlen(point.starting_folder, sizeof point.starting_folder));
  const std::string_view track_text(point.track, strnlen(point.track, sizeof point.track));
  for (std::string_view text : {folder_text, track_text}) {
    if (text.size() == 512 || text.find_first_of("\r\n") != std::string_view::npos) return;
  }
  const std::string folder = ConfigFolderHost();
  if (folder.empty() || !QDir().mkpath(QFile::decodeName(folder.c_str()))) return;
  std::string contents = "folder=";
  contents.append(folder_text).append("\ntrack=").append(track_text);
  contents += "\nposition_ms=" + std::to_string(point.position_ms < 0 ? 0 : point.position_ms) + "\n";
  WriteFileWhole(folder + kResumeFile, contents);
}

bool SavedResumePoint(ResumePoint* point) {
  *point = ResumePoint{};
  const std::string text = ReadConfigFile(kResumeFile);
  if (text.find('\0') != std::string::npos) return false;
  const std::string_view position = LineValue(text, "position_ms=");
  int64_t ms = 0;
  if (position.empty() || position.size() > 12) return false;
  for (char c : position) {
    if (c < '0' || c > '9') return false;
    ms = ms * 10 + (c - '0');
  }
  if (!CopyText(point->starting_folder, sizeof point->starting_folder, LineValue(text, "folder=")) ||
      !CopyText(point->track, sizeof point->track, LineValue(text, "track=")) ||
      point->starting_folder[0] == '\0' || point->track[0] == '\0') {
    *point = ResumePoint{};
    return false;
  }
  point->position_ms = ms;
  return true;
}

ReplayGainSetting ReadReplayGainSetting(const char* program_folder) {
  if (!IsInstalledCopy(program_folder)) return ReplayGainSetting::kAuto;
  const std::string text = ReadConfigFile(kSettingsFile);
  const std::string_view value = KeyValue(text, "replaygain");
  if (value == "album") return ReplayGainSetting::kAlbum;
  if (value == "track") return ReplayGainSetting::kTrack;
  if (value == "off") return ReplayGainSetting::kOff;
  return ReplayGainSetting::kAuto;
}

}  // namespace veldan
