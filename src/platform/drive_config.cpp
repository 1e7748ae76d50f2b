#include "platform/drive_config.h"

#include "platform/host_path.h"
#include "platform/sjis.h"

namespace veldan {
namespace {

bool ParseKind(std::string_view word, DriveKind* kind) {
  auto equals = [&](std::string_view name) {
    if (word.size() != name.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      char c = word[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
      if (c != name[i]) return false;
    }
    return true;
  };
  if (equals("cdrom")) *kind = DriveKind::kCdRom;
  else if (equals("fixed")) *kind = DriveKind::kFixed;
  else if (equals("removable")) *kind = DriveKind::kRemovable;
  else return false;
  return true;
}

bool ParseEntry(std::string_view entry, DriveConfigEntry* out) {
  auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!entry.empty() && is_space(entry.front())) entry.remove_prefix(1);
  while (!entry.empty() && is_space(entry.back())) entry.remove_suffix(1);
  if (entry.size() < 4 || entry[1] != '=') return false;
  const char letter = sjis::FoldAscii(entry[0]);
  if (letter < 'A' || letter > 'Z') return false;
  const std::string_view rest = entry.substr(2);
  const std::size_t kind_end = rest.find(':');
  if (kind_end == std::string_view::npos || !ParseKind(rest.substr(0, kind_end), &out->kind))
    return false;
  std::string_view folder = rest.substr(kind_end + 1);
  std::string_view label;
  const std::size_t folder_end = folder.find(':');
  if (folder_end != std::string_view::npos) {
    label = folder.substr(folder_end + 1);
    folder = folder.substr(0, folder_end);
  }
  if (folder.empty() || folder[0] != '/') return false;
  if (folder.find('\0') != std::string_view::npos || label.find('\0') != std::string_view::npos)
    return false;
  out->letter = letter;
  out->folder = NormaliseHostPath(folder);
  out->label = std::string(label);
  return true;
}

}  // namespace

std::vector<DriveConfigEntry> ParseDriveConfig(std::string_view text) {
  std::vector<DriveConfigEntry> entries;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    DriveConfigEntry entry;
    if (ParseEntry(text.substr(pos, end - pos), &entry)) {
      bool replaced = false;
      for (DriveConfigEntry& e : entries) {
        if (e.letter == entry.letter) {
          e = entry;
          replaced = true;
        }
      }
      if (!replaced) entries.push_back(std::move(entry));
    }
    pos = end + 1;
  }
  return entries;
}

}  // namespace veldan
