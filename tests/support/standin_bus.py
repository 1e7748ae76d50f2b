"""The running of a D-Bus stand-in, shared by the stand-ins beside this file: the connection to
a private bus, the well-known name, the end on SIGTERM, SIGINT or the bus going away, and the
"ready" line the tests wait for before they call it."""

import signal

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib


def serve(address, service, build):
    """Connects to the bus at address, lets build(bus, loop) put the stand-in's objects on it,
    takes service and runs until ended."""
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    loop = GLib.MainLoop()
    bus = dbus.bus.BusConnection(address)
    bus.call_on_disconnection(lambda _: loop.quit())
    build(bus, loop)
    name = dbus.service.BusName(service, bus, do_not_queue=True)
    for s in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, s, loop.quit)
    print("ready", flush=True)
    loop.run()
    del name
