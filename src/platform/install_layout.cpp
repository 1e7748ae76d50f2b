#include "platform/install_layout.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file_access.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {
namespace {

constexpr char kStartingFolderFile[] = "/starting-folder";

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

}  // namespace veldan
