#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>
#include <cstring>

#include "catalogue/start_argument.h"

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

}  // namespace veldan
