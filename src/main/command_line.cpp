#include "main/command_line.h"

#include <sys/stat.h>

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/list_line_path.h"
#include "catalogue/list_lines.h"
#include "catalogue/navigation.h"
#include "catalogue/program_state.h"
#include "catalogue/search.h"
#include "platform/dir_listing.h"
#include "platform/drives.h"
#include "platform/install_layout.h"
#include "platform/name_codec.h"
#include "platform/paths.h"

namespace veldan {

namespace {

struct Parsed {
  bool ok = false;
  bool help = false;
  bool version = false;
  bool hand_over = false;
  QString usage;
  QString error;
  QStringList unknown;  // names of unknown options
};

// Options the application takes out of argv itself; before it exists they are not errors.
bool IsWindowSystemOption(const QString& name) {
  static const char* const kNames[] = {"platform",      "platformpluginpath",
                                       "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry",
                                       "qwindowicon",   "qwindowtitle",
                                       "reverse",       "session",
                                       "display",       "name",
                                       "title",         "visual",
                                       "geometry",      "style",
                                       "stylesheet",    "widgetcount",
                                       "nograb",        "dograb",
                                       "testability"};
  for (const char* known : kNames) {
    if (name == QLatin1String(known)) return true;
  }
  return false;
}

void PrintUsageError(const Parsed& parsed, std::FILE* err) {
  std::fprintf(err, "%s\n\n%s", parsed.error.toLocal8Bit().constData(),
               parsed.usage.toLocal8Bit().constData());
  std::fflush(err);
}

Parsed ParseOptions(int argc, char** argv) {
  QCommandLineParser parser;
  // "-platform xcb" is the window system's long option, as the application reads it.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Plays MP3 files: a folder with everything below it, from a track on, or a play list.\n"
      "Without a path it plays its own folder (an installed copy: the folder it last\n"
      "started from, or the music folder)."));
  // Not addHelpOption: its --help-all promises the window system's options, which this parser
  // does not know (the application takes them itself).
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays this help."));
  parser.addOption(help);
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption hand_over(
      QStringLiteral("hand-over"),
      QStringLiteral("When a VELDAN already runs on this desktop, hands the path over to it "
                     "(without a path: brings it to the front) and ends; otherwise starts as "
                     "usual. The desktop entry starts VELDAN so."));
  parser.addOption(hand_over);
  parser.addPositionalArgument(
      QStringLiteral("path"),
      QStringLiteral("A folder, an MP3 track or an .m3u/.m3u8 list, as a host path or a "
                     "drive-letter path (E:\\Music). Only the first path counts; further "
                     "paths are ignored."),
      QStringLiteral("[FOLDER | TRACK | LIST]..."));
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
  Parsed parsed;
  parsed.ok = parser.parse(arguments);
  parsed.help = parser.isSet(help);
  parsed.version = parser.isSet(version);
  parsed.hand_over = parser.isSet(hand_over);
  // Before the application exists the usage line names no program; with it, argv[0].
  parsed.usage =
      parser.helpText().replace(QStringLiteral("<executable_name>"),
                                argc > 0 ? QFile::decodeName(argv[0]) : QStringLiteral("veldan"));
  parsed.error = parser.errorText();
  parsed.unknown = parser.unknownOptionNames();
  return parsed;
}

// The program's options are flags without values, so every argument that starts with '-' (but
// "-" itself) is an option, and everything after "--" is a path. Taken from argv's own bytes:
// a host name need not be valid text.
const char* FirstPath(int argc, char** argv) {
  bool paths_only = false;
  for (int i = 1; i < argc; ++i) {
    if (!paths_only && std::strcmp(argv[i], "--") == 0) {
      paths_only = true;
    } else if (paths_only || argv[i][0] != '-' || argv[i][1] == '\0') {
      return argv[i];
    }
  }
  return nullptr;
}

// The argument as start-up takes it: found when its drive answers and a listing of its folder
// holds the name. A CD drive without a disc is no such case: start-up waits for the disc.
bool ArgumentFound(const char* argument) {
  char text[kTextSize];
  if (!ArgumentToProgramPath(argument, text, sizeof text)) return false;
  const char root[] = {text[0], ':', '\\', '\0'};
  if (!MediaPresent(root)) return DriveKindOf(root) == DriveKind::kCdRom;
  std::size_t length = std::strlen(text);
  if (length > 0 && text[length - 1] == '\\') text[--length] = '\0';
  if (length <= 2) return true;
  DirListing listing;
  return listing.Open(text);
}

}  // namespace

int AnswerInformationOptions(int argc, char** argv, std::FILE* out, std::FILE* err) {
  const Parsed parsed = ParseOptions(argc, argv);
  if (parsed.help) {
    std::fputs(parsed.usage.toLocal8Bit().constData(), out);
  } else if (parsed.version) {
    std::fputs("VELDAN " VELDAN_VERSION "\n", out);
  } else {
    for (const QString& name : parsed.unknown) {
      if (!IsWindowSystemOption(name)) {
        PrintUsageError(parsed, err);
        return 2;
      }
    }
    return -1;
  }
  std::fflush(out);
  return 0;
}

ArgumentKind ExamineArgument(const char* argument) {
  char text[kTextSize];
  struct stat st;
  const bool host_path_exists = stat(argument, &st) == 0;
  // A host path maps always, unless its program text is too long; a drive-letter path that does
  // not map names no drive.
  if (!ArgumentToProgramPath(argument, text, sizeof text)) {
    return host_path_exists ? ArgumentKind::kTooLong : ArgumentKind::kNothing;
  }
  // The listing passes devices and pipes over as if they were not there.
  if (host_path_exists && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
    return ArgumentKind::kNotPlayable;
  }
  if (!ArgumentFound(argument)) return ArgumentKind::kNothing;
  std::string host;
  // A path on a CD drive without a disc, or one whose letter case only the listing matches: the
  // name decides.
  if (!ProgramPathToHost(text, &host) || stat(host.c_str(), &st) != 0) {
    const std::size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\\'   ? ArgumentKind::kPlayable
           : ClassifyName(text) != NameKind::kOther ? ArgumentKind::kPlayable
                                                    : ArgumentKind::kNotPlayable;
  }
  if (S_ISDIR(st.st_mode)) return ArgumentKind::kPlayable;
  // Folding never lengthens a path, and the sort key's tail is the file name's.
  return S_ISREG(st.st_mode) && ClassifyName(text) != NameKind::kOther ? ArgumentKind::kPlayable
                                                                       : ArgumentKind::kNotPlayable;
}

int ReadStartingArgument(int argc, char** argv, const char** argument, std::FILE* err) {
  *argument = nullptr;
  const Parsed parsed = ParseOptions(argc, argv);
  if (!parsed.ok) {
    PrintUsageError(parsed, err);
    return 2;
  }
  *argument = FirstPath(argc, argv);
  if (*argument == nullptr) return -1;
  switch (ExamineArgument(*argument)) {
    case ArgumentKind::kNothing:
      std::fprintf(err, "veldan: %s: no such file or folder\n", *argument);
      break;
    case ArgumentKind::kTooLong:
      std::fprintf(err, "veldan: %s: path too long\n", *argument);
      break;
    default:
      break;
  }
  return -1;
}

bool HandOverRequested(int argc, char** argv) {
  return ParseOptions(argc, argv).hand_over;
}

bool TakeFoldersFromCommandLine(const char* argument, char* argument_text) {
  argument_text[0] = '\0';
  char own_file[kTextSize];
  if (!OwnProgramPath(own_file, sizeof own_file)) own_file[0] = '\0';

  // A folder argument comes back with a trailing separator, so cutting to the parent leaves the
  // folder itself: the user named the folder to play, not its neighbours.
  if (argument != nullptr && !ArgumentToProgramPath(argument, argument_text, kTextSize)) {
    argument_text[0] = '\0';
  }
  CopyText(g_state.program_folder, sizeof g_state.program_folder, own_file);
  CutToParentFolder(g_state.program_folder);
  const bool usable = argument == nullptr || argument_text[0] != '\0';
  // An argument too long to map leaves the folders as if there were none (a portable copy in its
  // own folder, an installed one where the user last played, as its bin/ folder holds no music),
  // but nothing of them is played.
  if (argument_text[0] == '\0' && IsInstalledCopy(g_state.program_folder) &&
      InstalledStartingFolder(g_state.starting_folder, sizeof g_state.starting_folder)) {
    return usable;
  }
  const char* start = argument_text[0] != '\0' ? argument_text : own_file;
  CopyText(g_state.starting_folder, sizeof g_state.starting_folder, start);
  CutToParentFolder(g_state.starting_folder);
  if (argument_text[0] != '\0') {
    RememberStartingFolder(g_state.program_folder, g_state.starting_folder);
  }
  return usable;
}

void ApplyCommandLineArgument(const char* argument_text) {
  if (argument_text[0] == '\0') return;
  if (IsListFileName(argument_text)) {
    // A list that does not open leaves the catalogue that the search of its folder built.
    ReplaceCatalogueFromList(argument_text);
    return;
  }
  const int32_t index = FindEntryIndex(g_state.starting_folder, argument_text);
  if (index >= 0) g_state.catalogue.current = index;
}

}  // namespace veldan
