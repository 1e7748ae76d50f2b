#include "catalogue/auto_cd.h"

#include <cstring>

#include "catalogue/catalogue_window.h"
#include "catalogue/media_wait.h"
#include "catalogue/program_state.h"
#include "platform/drives.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {
namespace {

void TakeDrive(char letter) {
  g_state.starting_folder[0] = letter;
  g_state.starting_folder[1] = ':';
  g_state.starting_folder[2] = '\0';
}

}  // namespace

const char kMediumPromptCaption[] = "演奏するﾒﾃﾞｨｱが見つかりません";

std::string MediumPromptText(const char* root) {
  std::string text = "ﾄﾞﾗｲﾌﾞ[";
  text += ProgramTextToDisplay(root);
  text += "]にﾒﾃﾞｨｱを入れて「OK」を押してください。\n\n";
  text += "もし、別のﾄﾞﾗｲﾌﾞにﾒﾃﾞｨｱが入っているときは\n";
  text += "「ｷｬﾝｾﾙ」を押してください。\n";
  return text;
}

bool ProbeDrive(const char* root, bool wait) {
  if (!wait) {
    if (!MediaPresent(root)) return false;
    TakeDrive(root[0]);
    return true;
  }
  CurrentCatalogueWindow().SetStatus("Waiting CD", kColourMagenta);
  if (!WaitUntilMediaPresent(root)) return false;
  TakeDrive(root[0]);
  return true;
}

bool FindReadyDrives(AutoCdWindow& window, char* chosen) {
  char roots[256];
  int length = ListDriveRoots(roots, sizeof roots);
  if (length < 0 || length >= static_cast<int>(sizeof roots)) length = 0;
  g_state.ready_drive_count = 0;
  char last_cd_drive = 0;
  for (int pos = 0; pos < length;) {
    const char* root = roots + pos;
    const int root_length = static_cast<int>(strnlen(root, sizeof roots - pos));
    pos += root_length + 1;
    if (root_length == 0) continue;
    if (DriveKindOf(root) != DriveKind::kCdRom) continue;
    last_cd_drive = root[0];
    if (ProbeDrive(root, false) && g_state.ready_drive_count < 26) {
      g_state.ready_drives[g_state.ready_drive_count++] = root[0];
    }
  }
  if (last_cd_drive == 0) return false;
  if (g_state.ready_drive_count == 0) {
    *chosen = last_cd_drive;
    return true;
  }
  if (g_state.ready_drive_count == 1) {
    *chosen = g_state.ready_drives[0];
    return true;
  }
  if (window.ChooseDrive() != 1) return false;
  *chosen = g_state.ready_drives[0];
  return true;
}

bool DiscoverMedia(bool prompt_allowed, AutoCdWindow& window) {
  char letter = 0;
  if (!FindReadyDrives(window, &letter)) return false;
  const DriveRoot root(letter);
  if (ProbeDrive(root.c_str(), false)) return true;
  if (!prompt_allowed) return false;
  if (!window.AskForMedium(root.c_str())) return false;
  return ProbeDrive(root.c_str(), true);
}

}  // namespace veldan
