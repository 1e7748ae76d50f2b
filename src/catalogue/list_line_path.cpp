// List lines as catalogue entries: host paths, relative lines and UTF-8 text.
#include "catalogue/list_line_path.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "platform/cp932_table.h"
#include "platform/file_uri.h"
#include "platform/name_codec.h"
#include "platform/paths.h"
#include "platform/sjis.h"

namespace veldan {
namespace {

constexpr int kMaxDepth = 256;

bool HasDrive(const char* text) {
  const char c = text[0];
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && text[1] == ':';
}

bool HasNonAscii(const char* text) {
  for (; *text != '\0'; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80) return true;
  }
  return false;
}

// Sort key of a bare name, or empty when it does not fit.
std::string KeyOf(const char* name) {
  char key[kTextSize];
  if (!CopyText(key, sizeof key, name)) return {};
  MakeSortKey(key);
  return key;
}

bool KeyEndsWith(const std::string& key, std::string_view ending) {
  return key.size() > ending.size() &&
         key.compare(key.size() - ending.size(), ending.size(), ending) == 0;
}

// Builds "X:" + "\" + component ... into a 512-byte buffer, with ".." taking back the last
// component but never the drive.
class EntryWriter {
 public:
  explicit EntryWriter(char* out) : out_(out) {}

  void Drive(const char* text) {
    out_[0] = text[0];
    out_[1] = ':';
    length_ = 2;
    depth_ = 0;
    out_[length_] = '\0';
  }

  // Adds the components of text: separators are '\' and '/', never inside a two-byte character
  // of program text; utf8 components are host names and go through the name codec.
  void Components(std::string_view text, bool utf8) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
      if (i == text.size() || sjis::IsSeparator(text[i])) {
        Component(text.substr(start, i - start), utf8);
        start = ++i;
        continue;
      }
      i += utf8 ? 1 : sjis::CharLength(text.data(), i, text.size());
    }
  }

  bool ok() const { return ok_; }

 private:
  void Component(std::string_view comp, bool utf8) {
    if (!ok_ || comp.empty() || comp == ".") return;
    if (comp == "..") {
      if (depth_ > 0) length_ = starts_[--depth_];
      out_[length_] = '\0';
      return;
    }
    if (depth_ == kMaxDepth || length_ + 2 > static_cast<std::size_t>(kTextSize - 1)) {
      ok_ = false;
      return;
    }
    starts_[depth_++] = length_;
    out_[length_++] = '\\';
    std::size_t written;
    if (utf8) {
      written = HostNameToProgramText(comp, out_ + length_, kTextSize - length_);
    } else if (comp.size() < kTextSize - length_) {
      std::memcpy(out_ + length_, comp.data(), comp.size());
      written = comp.size();
    } else {
      written = kTextTooLong;
    }
    if (written == kTextTooLong) {
      ok_ = false;
      return;
    }
    length_ += written;
    out_[length_] = '\0';
  }

  char* out_;
  std::size_t length_ = 0;
  std::size_t starts_[kMaxDepth];
  int depth_ = 0;
  bool ok_ = true;
};

// The entry a line names when its text is read in one encoding. False when it can't be formed.
bool FormEntry(const char* line, const ListSource& source, bool utf8, char* out) {
  EntryWriter writer(out);
  if (HasDrive(line)) {
    // VELDAN's own lines: exactly the program text they hold.
    if (!utf8) return CopyText(out, kTextSize, line);
    writer.Drive(line);
    writer.Components(line + 2, true);
    return writer.ok();
  }
  // Without the list's folder there is nothing to resolve against: the line stays relative.
  if (!HasDrive(source.folder)) return !utf8 && CopyText(out, kTextSize, line);
  writer.Drive(source.folder);
  if (!sjis::IsSeparator(line[0])) writer.Components(source.folder + 2, false);
  writer.Components(line, utf8);
  return writer.ok();
}

bool ProgramFileExists(const char* program_path) {
  std::string host;
  return ProgramPathToHost(program_path, &host) && ::access(host.c_str(), F_OK) == 0;
}

}  // namespace

bool IsListFileName(const char* name) {
  const std::string key = KeyOf(name);
  return KeyEndsWith(key, ".M3U") || KeyEndsWith(key, ".M3U8");
}

bool IsUtf8ListFileName(const char* name) {
  return KeyEndsWith(KeyOf(name), ".M3U8");
}

ListSource ListSourceOf(const char* program_path) {
  ListSource source;
  if (CopyText(source.folder, sizeof source.folder, program_path)) {
    CutToParentFolder(source.folder);
  }
  source.utf8 = IsUtf8ListFileName(program_path);
  return source;
}

bool IsValidCp932(const char* text) {
  const cp932::Tables& tables = cp932::Get();
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead) {
      if (tables.decode_single[b] == 0) return false;
      ++p;
      continue;
    }
    const unsigned char trail = p[1];
    if (!sjis::IsTrail(trail)) return false;
    const bool escape_area = b >= 0xF0 && b <= 0xF9;
    if (!escape_area && tables.decode_double[b - 0x80][trail - 0x40] == 0) return false;
    p += 2;
  }
  return true;
}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The line without the blanks before and after its text.
std::string_view TrimBlanks(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

// The entry that a line names read as it stands (no trimming, no escapes). False when it can't
// be formed and is too long to be kept as it is.
bool ResolveText(const char* line, const ListSource& source, char* out) {
  if (line[0] == '/') {
    return HostPathToProgram(line, out, kTextSize) || CopyText(out, kTextSize, line);
  }
  bool utf8 = source.utf8;
  if (!utf8 && HasNonAscii(line) && IsValidUtf8(line)) {
    if (!IsValidCp932(line)) {
      utf8 = true;
    } else {
      // Both readings are text: a Latin letter in UTF-8 reads as two half-width katakana. The
      // Shift-JIS reading, as VELDAN's own lists hold it, wins unless only the other names a file.
      char as_utf8[kTextSize];
      utf8 = FormEntry(line, source, false, out) && !ProgramFileExists(out) &&
             FormEntry(line, source, true, as_utf8) && ProgramFileExists(as_utf8);
    }
  }
  return FormEntry(line, source, utf8, out) || CopyText(out, kTextSize, line);
}

}  // namespace

bool ResolveListLine(const char* line, const ListSource& source, char* out) {
  out[0] = '\0';
  const std::string_view trimmed = TrimBlanks(line);
  if (HasUriScheme(trimmed)) {
    // Only a file on this host can play; a stream or another machine's file is no entry.
    std::string host_path;
    return FileUriToHostPath(trimmed, &host_path) && HostPathToProgram(host_path, out, kTextSize);
  }

  // Other readings of the line, tried only when the line as it stands names no file, so that
  // every line that named a file before still names it: the text without the blanks around it,
  // and in a list for other players, that text with its %XX escapes decoded.
  std::string readings[2];
  int reading_count = 0;
  if (trimmed.size() != std::strlen(line) && !trimmed.empty()) {
    readings[reading_count++] = trimmed;
  }
  std::string decoded;
  if (source.utf8 && trimmed.find('%') != std::string_view::npos &&
      PercentDecode(trimmed, &decoded)) {
    readings[reading_count++] = std::move(decoded);
  }

  const bool as_it_stands = ResolveText(line, source, out);
  if (trimmed.empty()) {
    // Blanks alone are a blank line, unless a file has that very name.
    if (as_it_stands && ProgramFileExists(out)) return true;
    out[0] = '\0';
    return false;
  }
  if (reading_count == 0 || (as_it_stands && ProgramFileExists(out))) return as_it_stands;
  char other[kTextSize];
  int first_formed = -1;
  for (int i = 0; i < reading_count; ++i) {
    if (!ResolveText(readings[i].c_str(), source, other)) continue;
    if (ProgramFileExists(other)) return CopyText(out, kTextSize, other);
    if (first_formed < 0) first_formed = i;
  }
  // Nothing names a file: the line stays as it was read before, or, when that is too long for
  // an entry, becomes the first other reading that fits.
  if (as_it_stands) return true;
  return first_formed >= 0 && ResolveText(readings[first_formed].c_str(), source, out);
}

}  // namespace veldan
