"""A stand-in for the desktop portal's Inhibit or logind's Inhibit, on a bus of the tests' own.

    inhibit_standin.py ADDRESS portal|logind [MODE] [DELAY]

Takes org.freedesktop.portal.Desktop (portal) or org.freedesktop.login1 (logind) on the bus at
ADDRESS and prints "ready" once it holds it. Inhibit answers after DELAY seconds (default 0).

portal: Inhibit(s window, u flags, a{sv} options) -> o exports a Request object at
/org/freedesktop/portal/desktop/request/SENDER/TOKEN (TOKEN from options' handle_token) whose
Close ends it. MODE "ok" (default); "refuse": Inhibit fails with NotAllowed; "fail": Inhibit
answers, then the request ends with Response 2 as when the desktop's backend fails; "stall":
the stand-in is stuck for DELAY in the call and takes the messages after it only then.

logind: Inhibit(s what, s who, s why, s mode) -> h gives the write end of a pipe; the lock lasts
until every copy of it is closed (the stand-in sees its read end hang up).

Tests look at it through org.veldan.test.Inhibit at /org/veldan/test/Inhibit: Calls() (every
call, as "Inhibit <window>|<flags>|<reason>" or "Inhibit <what>|<who>|<why>|<mode>" and
"Close <path>"), Held() (the inhibitions in force: request paths, or what|mode), Quit().
"""

import os
import sys
import time

import dbus
import dbus.service
from gi.repository import GLib

import standin_bus

CONTROL = "org.veldan.test.Inhibit"
calls = []
held = {}


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.path = path
        held[path] = True

    def end(self):
        held.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.method("org.freedesktop.portal.Request")
    def Close(self):
        calls.append(f"Close {self.path}")
        self.end()

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, mode, delay):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.bus = bus
        self.mode = mode
        self.delay = delay

    @dbus.service.method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}",
                         out_signature="o", sender_keyword="sender",
                         async_callbacks=("reply", "error"))
    def Inhibit(self, window, flags, options, sender, reply, error):
        calls.append(f"Inhibit {window}|{flags}|{options.get('reason', '')}")
        token = str(options.get("handle_token", "t%d" % len(calls)))
        name = sender[1:].replace(".", "_")
        path = f"/org/freedesktop/portal/desktop/request/{name}/{token}"

        def answer():
            if self.mode == "refuse":
                error(dbus.DBusException("not allowed",
                                         name="org.freedesktop.portal.Error.NotAllowed"))
                return False
            request = Request(self.bus, path)
            reply(dbus.ObjectPath(path))
            if self.mode == "fail":
                def fail():
                    request.Response(dbus.UInt32(2), dbus.Dictionary({}, signature="sv"))
                    request.end()
                    return False
                GLib.timeout_add(50, fail)
            return False

        if self.mode == "stall":
            time.sleep(self.delay)
            answer()
        else:
            GLib.timeout_add(int(self.delay * 1000), answer)


class Logind(dbus.service.Object):
    def __init__(self, bus, delay):
        super().__init__(bus, "/org/freedesktop/login1")
        self.delay = delay
        self.count = 0

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="ssss",
                         out_signature="h", async_callbacks=("reply", "error"))
    def Inhibit(self, what, who, why, mode, reply, error):
        calls.append(f"Inhibit {what}|{who}|{why}|{mode}")

        def answer():
            self.count += 1
            key = f"{what}|{mode}#{self.count}"
            read_end, write_end = os.pipe()
            held[key] = True

            def dropped(fd, _condition):
                os.close(fd)
                held.pop(key, None)
                return False

            GLib.unix_fd_add_full(GLib.PRIORITY_HIGH, read_end, GLib.IO_HUP | GLib.IO_ERR,
                                  dropped)
            fd = dbus.types.UnixFd(write_end)  # a copy of its own
            os.close(write_end)
            reply(fd)
            return False

        GLib.timeout_add(int(self.delay * 1000), answer)


class Control(dbus.service.Object):
    def __init__(self, bus, loop):
        super().__init__(bus, "/org/veldan/test/Inhibit")
        self.loop = loop

    @dbus.service.method(CONTROL, out_signature="as")
    def Calls(self):
        return dbus.Array(calls, signature="s")

    @dbus.service.method(CONTROL, out_signature="as")
    def Held(self):
        return dbus.Array(sorted(k.split("#")[0] for k in held), signature="s")

    @dbus.service.method(CONTROL)
    def Quit(self):
        GLib.idle_add(self.loop.quit)


def main():
    address, role = sys.argv[1], sys.argv[2]
    mode = sys.argv[3] if len(sys.argv) > 3 else "ok"
    delay = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0

    def build(bus, loop):
        if role == "portal":
            Portal(bus, mode, delay)
        else:
            Logind(bus, delay)
        Control(bus, loop)

    service = "org.freedesktop.portal.Desktop" if role == "portal" else "org.freedesktop.login1"
    standin_bus.serve(address, service, build)


if __name__ == "__main__":
    main()
