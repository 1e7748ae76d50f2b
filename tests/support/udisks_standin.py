"""A stand-in for the desktop's disc service (UDisks2) on a bus of the tests' own.

    udisks_standin.py ADDRESS CONFIG_JSON

Takes the name org.freedesktop.UDisks2 on the bus at ADDRESS, prints "ready" once it holds it,
and serves the objects that CONFIG_JSON describes:

    {"drives": [{"name": "sr0", "disc": DISC or null}, ...],
     "disks": [{"name": "sda1", "label": "HOME"}]}        # fixed disks with a file system

    DISC = {"kind": "data" | "audio" | "mixed" | "blank", "label": "...",
            "folder": "/tmp/...",              # what Mount gives (the disc's files)
            "mount": "ok" | "refuse" | "fail" | "slow", "delay": seconds,   # slow: answer late
            "mounted": "/tmp/..."}             # mounted by someone else already

Objects, properties and signals are those of the service (ObjectManager with InterfacesAdded and
InterfacesRemoved, Drive, Block, Filesystem with MountPoints, PropertiesChanged). A data disc's
Filesystem.Mount "mounts" by putting its folder into MountPoints. Tests change the world through
the interface org.veldan.test.Discs at /org/veldan/test/Discs: Insert(drive, DISC as JSON),
Eject(drive), MountElsewhere(drive, folder), UnmountElsewhere(drive), Calls() (every Mount and
Unmount asked for, as "Mount <object>"), Quit().
"""

import json
import sys

import dbus
import dbus.service
from gi.repository import GLib

import standin_bus

SERVICE = "org.freedesktop.UDisks2"
ROOT = "/org/freedesktop/UDisks2"
OM = "org.freedesktop.DBus.ObjectManager"
PROPS = "org.freedesktop.DBus.Properties"
DRIVE = "org.freedesktop.UDisks2.Drive"
BLOCK = "org.freedesktop.UDisks2.Block"
FS = "org.freedesktop.UDisks2.Filesystem"
ERROR = "org.freedesktop.UDisks2.Error."
CONTROL = "org.veldan.test.Discs"

calls = []


def byte_string(text):
    return dbus.ByteArray(text.encode() + b"\0")


def mount_points(folders):
    return dbus.Array([byte_string(f) for f in folders], signature="ay")


class Error(dbus.DBusException):
    def __init__(self, name, message):
        super().__init__(message, name=ERROR + name)


class Obj(dbus.service.Object):
    """An object with interfaces of properties, as the service's objects are."""

    def __init__(self, bus, path, manager):
        super().__init__(bus, path)
        self.path = path
        self.manager = manager
        self.interfaces = {}

    def add_interface(self, name, props):
        self.interfaces[name] = dict(props)
        if self.manager is not None:
            self.manager.InterfacesAdded(self.path, {name: dbus.Dictionary(props, signature="sv")})

    def remove_interface(self, name):
        if name in self.interfaces:
            del self.interfaces[name]
            self.manager.InterfacesRemoved(self.path, [name])

    def set(self, interface, **changed):
        self.interfaces[interface].update(changed)
        self.PropertiesChanged(interface, dbus.Dictionary(changed, signature="sv"), [])

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        try:
            return self.interfaces[interface][name]
        except KeyError:
            raise dbus.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.interfaces.get(interface, {}), signature="sv")

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Manager(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, ROOT)
        self.objects = []

    @dbus.service.method(OM, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return dbus.Dictionary(
            {o.path: dbus.Dictionary({k: dbus.Dictionary(v, signature="sv")
                                      for k, v in o.interfaces.items()}, signature="sa{sv}")
             for o in self.objects if o.interfaces},
            signature="oa{sa{sv}}")

    @dbus.service.signal(OM, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OM, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class Block(Obj):
    """A block device; while it holds a file system it answers Mount and Unmount."""

    def __init__(self, bus, name, drive_path, number, manager):
        super().__init__(bus, f"{ROOT}/block_devices/{name}", manager)
        self.disc = None
        self.add_interface(BLOCK, {
            "Device": byte_string(f"/dev/{name}"),
            "PreferredDevice": byte_string(f"/dev/{name}"),
            "DeviceNumber": dbus.UInt64(number),
            "Drive": dbus.ObjectPath(drive_path),
            "IdLabel": "", "IdUUID": "", "IdUsage": "", "IdType": "",
            "HintIgnore": False,
        })

    def _mounted(self, folder):
        self.set(FS, MountPoints=mount_points([folder]))

    @dbus.service.method(FS, in_signature="a{sv}", out_signature="s",
                         async_callbacks=("reply", "error"))
    def Mount(self, options, reply, error):
        calls.append(f"Mount {self.path}")
        if FS not in self.interfaces or self.disc is None:
            error(Error("NotSupported", "no file system"))
            return
        if self.interfaces[FS]["MountPoints"]:
            error(Error("AlreadyMounted", "already mounted"))
            return
        how = self.disc.get("mount", "ok")
        folder = self.disc.get("folder", "")
        if how == "refuse":
            error(Error("NotAuthorizedCanObtain", "Not authorized to perform operation"))
        elif how == "fail":
            error(Error("Failed", "Error mounting: wrong fs type"))
        elif how == "slow":
            disc = self.disc

            def finish():
                if self.disc is disc and FS in self.interfaces:
                    self._mounted(folder)
                    reply(folder)
                else:
                    error(Error("Failed", "medium gone"))
                return False

            GLib.timeout_add(int(float(self.disc.get("delay", 5)) * 1000), finish)
        else:
            self._mounted(folder)
            reply(folder)

    @dbus.service.method(FS, in_signature="a{sv}")
    def Unmount(self, options):
        calls.append(f"Unmount {self.path}")
        if FS in self.interfaces:
            self.set(FS, MountPoints=mount_points([]))


class World:
    def __init__(self, bus, config):
        self.bus = bus
        self.manager = Manager(bus)
        self.drives = {}
        number = 0
        for d in config.get("drives", []):
            name = d["name"]
            drive = Obj(bus, f"{ROOT}/drives/VELDAN_DVD_{name}", self.manager)
            drive.add_interface(DRIVE, {
                "Model": "DVD-RW", "Vendor": "VELDAN", "Removable": True, "Ejectable": True,
                "MediaRemovable": True, "MediaChangeDetected": True,
                "MediaCompatibility": dbus.Array(["optical_cd", "optical_cd_r", "optical_dvd"],
                                                 signature="s"),
                "Media": "", "MediaAvailable": False, "Optical": False, "OpticalBlank": False,
                "OpticalNumTracks": dbus.UInt32(0), "OpticalNumAudioTracks": dbus.UInt32(0),
                "OpticalNumDataTracks": dbus.UInt32(0), "OpticalNumSessions": dbus.UInt32(0),
            })
            block = Block(bus, name, drive.path, (11 << 8) | number, self.manager)
            number += 1
            self.manager.objects += [drive, block]
            self.drives[name] = (drive, block)
            if d.get("disc"):
                self.insert(name, d["disc"])
        for k in config.get("disks", []):
            name = k["name"]
            disk = Obj(bus, f"{ROOT}/drives/VELDAN_SSD_{name}", self.manager)
            disk.add_interface(DRIVE, {
                "Model": "SSD", "Removable": False, "MediaRemovable": False,
                "MediaCompatibility": dbus.Array([], signature="s"), "MediaAvailable": True,
                "Optical": False, "OpticalNumAudioTracks": dbus.UInt32(0),
                "OpticalNumDataTracks": dbus.UInt32(0),
            })
            block = Block(bus, name, disk.path, (8 << 8) | number, self.manager)
            number += 1
            block.disc = {"kind": "data", "folder": k.get("folder", "/tmp")}
            block.set(BLOCK, IdLabel=k.get("label", ""), IdUsage="filesystem", IdType="ext4")
            block.add_interface(FS, {"MountPoints": mount_points([])})
            self.manager.objects += [disk, block]

    def insert(self, name, disc):
        drive, block = self.drives[name]
        kind = disc.get("kind", "data")
        audio = {"audio": 10, "mixed": 9}.get(kind, 0)
        data = {"data": 1, "mixed": 1}.get(kind, 0)
        block.disc = disc
        if kind in ("data", "mixed"):
            block.set(BLOCK, IdLabel=disc.get("label", ""),
                      IdUsage="filesystem", IdType="iso9660")
            mounted = [disc["mounted"]] if disc.get("mounted") else []
            block.add_interface(FS, {"MountPoints": mount_points(mounted)})
        drive.set(DRIVE, MediaAvailable=True, Optical=kind != "blank",
                  OpticalBlank=kind == "blank", Media="optical_cd",
                  OpticalNumTracks=dbus.UInt32(audio + data),
                  OpticalNumAudioTracks=dbus.UInt32(audio),
                  OpticalNumDataTracks=dbus.UInt32(data))

    def eject(self, name):
        drive, block = self.drives[name]
        block.disc = None
        if FS in block.interfaces:
            if block.interfaces[FS]["MountPoints"]:
                block.set(FS, MountPoints=mount_points([]))
            block.remove_interface(FS)
        block.set(BLOCK, IdLabel="", IdUUID="", IdUsage="", IdType="")
        drive.set(DRIVE, MediaAvailable=False, Optical=False, OpticalBlank=False, Media="",
                  OpticalNumTracks=dbus.UInt32(0), OpticalNumAudioTracks=dbus.UInt32(0),
                  OpticalNumDataTracks=dbus.UInt32(0))


class Control(dbus.service.Object):
    def __init__(self, bus, world, loop):
        super().__init__(bus, "/org/veldan/test/Discs")
        self.world = world
        self.loop = loop

    @dbus.service.method(CONTROL, in_signature="ss")
    def Insert(self, drive, disc):
        self.world.insert(drive, json.loads(disc))

    @dbus.service.method(CONTROL, in_signature="s")
    def Eject(self, drive):
        self.world.eject(drive)

    @dbus.service.method(CONTROL, in_signature="ss")
    def MountElsewhere(self, drive, folder):
        self.world.drives[drive][1].set(FS, MountPoints=mount_points([folder]))

    @dbus.service.method(CONTROL, in_signature="s")
    def UnmountElsewhere(self, drive):
        self.world.drives[drive][1].set(FS, MountPoints=mount_points([]))

    @dbus.service.method(CONTROL, out_signature="as")
    def Calls(self):
        return dbus.Array(calls, signature="s")

    @dbus.service.method(CONTROL)
    def Quit(self):
        GLib.idle_add(self.loop.quit)


def main():
    address, config_path = sys.argv[1], sys.argv[2]
    with open(config_path, encoding="utf-8") as f:
        config = json.load(f)

    def build(bus, loop):
        Control(bus, World(bus, config), loop)

    standin_bus.serve(address, SERVICE, build)


if __name__ == "__main__":
    main()
