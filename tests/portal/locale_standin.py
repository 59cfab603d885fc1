#!/usr/bin/python3
"""systemd-localed standing in on a private system bus: plain mutter (without
gnome-shell) takes its keyboard layout from org.freedesktop.locale1.

Usage: locale_standin.py LAYOUT READY_FILE; READY_FILE is created once the
name is owned."""

import sys

from gi.repository import Gio, GLib

INTERFACE = Gio.DBusNodeInfo.new_for_xml("""<node>
  <interface name="org.freedesktop.locale1">
    <property name="Locale" type="as" access="read"/>
    <property name="X11Layout" type="s" access="read"/>
    <property name="X11Model" type="s" access="read"/>
    <property name="X11Variant" type="s" access="read"/>
    <property name="X11Options" type="s" access="read"/>
    <property name="VConsoleKeymap" type="s" access="read"/>
    <property name="VConsoleKeymapToggle" type="s" access="read"/>
  </interface>
</node>""").interfaces[0]


def main():
    layout, ready = sys.argv[1:3]

    def prop(_bus, _sender, _path, _iface, name):
        if name == "Locale":
            return GLib.Variant("as", ["LANG=C.UTF-8"])
        return GLib.Variant("s", layout if name == "X11Layout" else "")

    def owned(*_):
        open(ready, "w").close()

    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
    bus.register_object("/org/freedesktop/locale1", INTERFACE, None, prop, None)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.locale1", Gio.BusNameOwnerFlags.NONE,
                                   owned, None)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
