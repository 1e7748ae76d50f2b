// Handing a starting argument over to a VELDAN that already runs on the desktop, so that opening
// files from a file manager plays them in the one player instead of starting a second one that
// plays at the same time. The running player takes the path through its remote control's
// OpenUri, which plays it as the command line would.
//
// User-interface thread only, before the main window's start-up work (FormCreate).
#pragma once

#include <QString>
#include <functional>

class QDBusConnection;

namespace veldan {

// How long the running player may take to answer; one that hangs must not hang the new one.
inline constexpr int kHandOverTimeoutMs = 5000;

// The argument (argv's bytes: a host path, absolute or relative, or a drive-letter path) as a
// file URI of the host path it names, every byte that is not plain ASCII percent-encoded as it
// is (a file name need not be UTF-8); empty when it names nothing that exists here.
QString HandOverUri(const char* argument);

// Asks the player that holds the remote control's main bus name on connection to play argument
// (null: only to come to the front). True when that player answered that it will; false without
// a connection, without such a player, for an argument that names nothing here, on a refusal
// (a dialog is open, the path cannot be played) or when no answer came within timeout_ms: the
// caller then starts its own. The request carries the moment the caller gives up, and the player
// carries out none that it could not answer in time (MprisService::TakeHandOver), so that the
// path plays in exactly one of the two. given_up, asked a few times a second while waiting,
// ends the wait early (the process is being terminated): the result is then false.
bool HandOverToRunningPlayer(const QDBusConnection& connection, const char* argument,
                             int timeout_ms = kHandOverTimeoutMs,
                             const std::function<bool()>& given_up = {});

}  // namespace veldan
