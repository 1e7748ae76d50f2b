// The program's entry: the application titled "VELDAN", the main window with its start-up work,
// and the message loop. The four dialogs are built when first needed (dialog_building.cpp), so
// the window shows as soon as start-up is done. Closing the main window ends the program with
// exit code 0.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "app/command_line.h"
#include "app/font_warm_up.h"
#include "app/hand_over.h"
#include "app/mpris.h"
#include "app/sleep_guard.h"
#include "catalogue/program_state.h"
#include "main/main_window.h"
#include "platform/udisks_client.h"
#include "ui/program_icon.h"

namespace {

// SIGINT and SIGTERM close the main window as its close box would, so a player stopped from a
// terminal or a session manager shuts the decoder down, also while it waits for a disc.
int g_signal_pipe[2] = {-1, -1};

void OnTerminateSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t ignored = write(g_signal_pipe[1], &byte, 1);
}

void CloseOnTerminateSignals(QApplication& app) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char byte;
    [[maybe_unused]] ssize_t ignored = read(g_signal_pipe[0], &byte, 1);
    if (veldan::Form_main != nullptr) veldan::Form_main->close();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminateSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer before the window system starts, so also without a display.
  if (const int code = veldan::AnswerInformationOptions(argc, argv); code >= 0) return code;
  const veldan::FontWarmUp font_warm_up;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELDAN"));
  // Every window carries VELDAN's icon; the desktop matches the windows to veldan.desktop.
  QApplication::setWindowIcon(veldan::ProgramIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("veldan"));
  // The desktop's disc service finds, mounts and follows the discs from here on, so the
  // argument's check and a start-up that waits for a disc see the drives as the window will;
  // without a system bus the kernel's files serve as before.
  const veldan::UDisksClient udisks(QDBusConnection::systemBus());
  // The application has taken its own options (-platform, -style, ...) out of argv by now.
  const char* argument = nullptr;
  if (const int code = veldan::ReadStartingArgument(argc, argv, &argument); code >= 0) return code;
  CloseOnTerminateSignals(app);

  veldan::ResetProgramState();
  // The main window's start-up work runs before the dialogs exist and may use none of them.
  veldan::TForm_main main_window;
  // Remote control from the desktop; without a session bus the player simply goes without. On
  // the bus before the first search, so that a start made while this one searches finds it.
  veldan::MprisService mpris(&main_window);
  QDBusConnection bus = QDBusConnection::sessionBus();
  // Started from the desktop: of several starts at once, the one that gets the bus name plays
  // and the others hand their paths over to it and end.
  if (veldan::HandOverRequested(argc, argv) && !mpris.Register(bus, /*main_name_only=*/true) &&
      veldan::HandOverToRunningPlayer(bus, argument, veldan::kHandOverTimeoutMs,
                                      [] { return veldan::g_state.closing; })) {
    return 0;
  }
  // Terminated while it waited for the other player's answer.
  if (veldan::g_state.closing) return 0;
  mpris.Register(bus);
  // No suspend for idleness while music plays, from start-up's play on; let go of at the end.
  const veldan::SleepGuard sleep_guard(&main_window);
  main_window.FormCreate(argument);

  // A close that came while start-up searched or waited for a disc has already shut the decoder
  // down.
  if (veldan::g_state.closing) return 0;
  main_window.BuildDialogsOnDemand();
  main_window.show();
  // Hand-overs that came during start-up, in time: the latest plays instead of the argument.
  mpris.ServePendingHandOvers(argument);
  app.exec();
  return 0;
}
