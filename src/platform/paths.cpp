#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "platform/drive_table.h"
#include "platform/host_path.h"
#include "platform/name_codec.h"
#include "platform/sjis.h"

namespace veldan {

char DriveLetterOf(const char* text) {
  const char c = sjis::FoldAscii(text[0]);
  return (c >= 'A' && c <= 'Z' && text[1] == ':') ? c : '\0';
}

namespace {

// Appends one program-text component to a host path, resolving "." and ".." as the Windows file
// functions do; ".." never climbs above floor (the length of the drive's root).
void AppendProgramComponent(std::string_view comp, std::size_t floor, std::string* host) {
  if (comp.empty() || comp == ".") return;
  if (comp == "..") {
    const std::size_t cut = host->rfind('/');
    if (cut != std::string::npos && cut >= floor) host->resize(cut == 0 ? 1 : cut);
    if (host->size() < floor) host->resize(floor);
    return;
  }
  if (host->empty() || host->back() != '/') host->push_back('/');
  const std::size_t pos = host->size();
  // A program character decodes to at most three bytes per byte.
  host->resize(pos + comp.size() * 3 + 1);
  const std::size_t len = ProgramTextToHostName(comp, host->data() + pos, comp.size() * 3 + 1);
  host->resize(pos + (len == kTextTooLong ? 0 : len));
}

// Splits program text at its separators ('\' outside two-byte characters, and '/') and feeds
// each component to fn.
template <class Fn>
void ForEachProgramComponent(const char* text, std::size_t len, Fn fn) {
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < len) {
    if (sjis::IsSeparator(text[i])) {
      fn(std::string_view(text + start, i - start));
      start = ++i;
      continue;
    }
    i += sjis::CharLength(text, i, len);
  }
  fn(std::string_view(text + start, len - start));
}

// Writes "X:" and each component of rest ("\" + program text) into out.
class ProgramPathWriter {
 public:
  ProgramPathWriter(char* out, std::size_t size) : out_(out), size_(size) {}

  bool Drive(char letter) {
    return Put(std::string_view(&letter, 1)) && Put(":");
  }
  bool HostComponent(std::string_view host_name) {
    if (!Put("\\")) return false;
    const std::size_t len = HostNameToProgramText(host_name, out_ + len_, size_ - len_);
    if (len == kTextTooLong) return false;
    len_ += len;
    return true;
  }
  bool Put(std::string_view s) {
    if (len_ + s.size() + 1 > size_) return false;
    std::memcpy(out_ + len_, s.data(), s.size());
    len_ += s.size();
    out_[len_] = '\0';
    return true;
  }
  std::size_t length() const { return len_; }
  void Truncate(std::size_t len) {
    len_ = len;
    out_[len_] = '\0';
  }

 private:
  char* out_;
  std::size_t size_;
  std::size_t len_ = 0;
};

bool Fail(char* out, std::size_t out_size) {
  if (out != nullptr && out_size > 0) out[0] = '\0';
  return false;
}

// Writes a normal absolute host path as program text.
bool NormalHostPathToProgram(const std::string& path, char* out, std::size_t out_size) {
  char letter = 0;
  std::size_t root_length = 0;
  if (!drive_table::DriveForHostPath(path, &letter, &root_length)) return Fail(out, out_size);
  ProgramPathWriter w(out, out_size);
  if (!w.Drive(letter)) return Fail(out, out_size);
  std::string_view rest = std::string_view(path).substr(root_length);
  bool any = false;
  while (!rest.empty()) {
    if (rest[0] == '/') {
      rest.remove_prefix(1);
      continue;
    }
    const std::size_t end = rest.find('/');
    if (!w.HostComponent(rest.substr(0, end))) return Fail(out, out_size);
    any = true;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  if (!any && !w.Put("\\")) return Fail(out, out_size);
  return true;
}

bool IsFolder(const char* program_path) {
  std::string host;
  struct stat st;
  return ProgramPathToHost(program_path, &host) && stat(host.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

bool EndsWithSeparator(const char* text, std::size_t len) {
  std::size_t last = 0;
  bool separator = false;
  for (std::size_t i = 0; i < len; i += sjis::CharLength(text, i, len)) {
    last = i;
    separator = text[i] == '\\';
  }
  return len > 0 && separator && last == len - 1;
}

// An argument such as "E:\Lists\Party.m3u" or "e:/music" is host text (UTF-8) in program form:
// its components go through the codec, so "E:\Björk" names the same file as the host path does.
bool ProgramFormArgument(const char* argument, char* out, std::size_t out_size) {
  ProgramPathWriter w(out, out_size);
  if (!w.Drive(DriveLetterOf(argument))) return Fail(out, out_size);
  const std::size_t drive_end = w.length();
  std::string_view rest(argument + 2);
  std::size_t component_starts[256];
  std::size_t depth = 0;
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of("\\/");
    const std::string_view comp = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (depth > 0) w.Truncate(component_starts[--depth]);
      continue;
    }
    if (depth == sizeof component_starts / sizeof component_starts[0]) return Fail(out, out_size);
    component_starts[depth++] = w.length();
    if (!w.HostComponent(comp)) return Fail(out, out_size);
  }
  if (w.length() == drive_end && !w.Put("\\")) return Fail(out, out_size);
  return true;
}

}  // namespace

bool HostPathToProgram(const std::string& host_path, char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return false;
  if (host_path.empty() || host_path.find('\0') != std::string::npos) return Fail(out, out_size);
  const std::string path = host_path[0] == '/' ? NormaliseHostPath(host_path)
                                               : NormaliseHostPath(host_path, CurrentHostFolder());
  return NormalHostPathToProgram(path, out, out_size);
}

bool ProgramPathToHost(const char* program_path, std::string* host_path) {
  host_path->clear();
  if (program_path == nullptr || program_path[0] == '\0') return false;
  const std::size_t len = std::strlen(program_path);
  const char letter = DriveLetterOf(program_path);
  std::size_t start = 0;
  std::size_t floor = 1;
  if (letter != 0) {
    if (!drive_table::HostRoot(letter, host_path)) return false;
    start = 2;
    floor = host_path->size();
  } else if (sjis::IsSeparator(program_path[0])) {
    // Rooted but without a drive: the root of the current folder's drive.
    const std::string cwd = CurrentHostFolder();
    char cwd_letter = 0;
    std::size_t root_length = 0;
    if (!drive_table::DriveForHostPath(cwd, &cwd_letter, &root_length)) return false;
    host_path->assign(cwd, 0, root_length);
    floor = root_length;
  } else {
    *host_path = CurrentHostFolder();
  }
  ForEachProgramComponent(program_path + start, len - start, [&](std::string_view comp) {
    AppendProgramComponent(comp, floor, host_path);
  });
  return true;
}

bool ArgumentToProgramPath(const char* argument, char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return false;
  if (argument == nullptr || argument[0] == '\0') return Fail(out, out_size);
  const bool program_form = DriveLetterOf(argument) != 0 &&
                            (argument[2] == '\0' || argument[2] == '\\' || argument[2] == '/');
  const bool ok = program_form ? ProgramFormArgument(argument, out, out_size)
                               : NormalHostPathToProgram(AbsoluteHostPath(argument), out, out_size);
  if (!ok) return false;
  const std::size_t len = std::strlen(out);
  if (!EndsWithSeparator(out, len) && IsFolder(out)) {
    if (len + 2 > out_size) return Fail(out, out_size);
    out[len] = '\\';
    out[len + 1] = '\0';
  }
  return true;
}

bool OwnProgramPath(char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return false;
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return Fail(out, out_size);
  return HostPathToProgram(std::string(buf, static_cast<std::size_t>(n)), out, out_size);
}

bool CurrentFolder(char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return false;
  return NormalHostPathToProgram(CurrentHostFolder(), out, out_size);
}

bool SetCurrentFolder(const char* program_folder) {
  std::string host;
  return ProgramPathToHost(program_folder, &host) && chdir(host.c_str()) == 0;
}

bool CanEnterFolder(const char* program_folder) {
  std::string host;
  struct stat st;
  return ProgramPathToHost(program_folder, &host) && stat(host.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode) && access(host.c_str(), X_OK) == 0;
}

}  // namespace veldan
