#!/usr/bin/python3
"""A desktop's remote-desktop portal backend, standing in for the real one
behind xdg-desktop-portal in tests.

It answers as its command line says, appends every call to a log (one JSON
object a line) and, with --mutter, passes keysyms on to the compositor's own
remote-desktop interface, so they reach the focused client.

Signals: SIGUSR1 answers a Start that --hold kept waiting; SIGUSR2 closes
every session as the desktop would (its stop button)."""

import argparse
import json
import signal
import sys

from gi.repository import Gio, GLib

NAME = "org.freedesktop.impl.portal.desktop.tavlunstandin"
PATH = "/org/freedesktop/portal/desktop"
KEYBOARD = 1
RESTORE_VENDOR = "tavlun-standin"

XML = """
<node>
  <interface name="org.freedesktop.impl.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <method name="NotifyKeyboardKeycode">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Request">
    <method name="Close"/>
  </interface>
</node>
"""
NODE = Gio.DBusNodeInfo.new_for_xml(XML)
PORTAL, SESSION, REQUEST = NODE.interfaces


class Mutter:
    """A session of mutter's own remote-desktop interface."""

    def __init__(self, bus):
        self.bus = bus
        self.path = self._call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                               "CreateSession", None)[0]
        self._call(self.path, "org.gnome.Mutter.RemoteDesktop.Session", "Start", None)
        # The seat gains its keyboard with the first key, and mutter drops
        # that key: give it one that types nothing.
        self.keysym(0xFFE1, True)  # Shift_L
        self.keysym(0xFFE1, False)

    def _call(self, path, interface, method, args):
        return self.bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method,
                                  args, None, Gio.DBusCallFlags.NONE, -1, None).unpack()

    def keysym(self, keysym, pressed):
        self._call(self.path, "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym",
                   GLib.Variant("(ub)", (keysym & 0xFFFFFFFF, pressed)))


class StandIn:
    def __init__(self, args):
        self.args = args
        self.log = open(args.log, "a", buffering=1)
        self.sessions = {}  # session handle -> registration ids
        self.held = []  # Start invocations waiting for SIGUSR1
        self.grants = 0
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.mutter = Mutter(self.bus) if args.mutter else None
        self.bus.register_object(PATH, PORTAL, self.portal_call, self.portal_property, None)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, self.release)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2, self.close_all)
        Gio.bus_own_name_on_connection(self.bus, NAME, Gio.BusNameOwnerFlags.NONE,
                                       lambda *_: self.write({"call": "ready"}), None)

    def write(self, entry):
        self.log.write(json.dumps(entry) + "\n")

    def portal_property(self, _bus, _sender, _path, _iface, name):
        if name == "version":
            return GLib.Variant("u", self.args.version)
        return GLib.Variant("u", KEYBOARD | 2)

    def answer(self, stage):
        if self.args.answer_at == stage:
            return {"approve": 0, "refuse": 1, "fail": 2}.get(self.args.answer, 0)
        return 0

    def portal_call(self, _bus, _sender, _path, _iface, method, params, invocation):
        args = params.unpack()
        if method == "NotifyKeyboardKeysym" or method == "NotifyKeyboardKeycode":
            session, _options, value, state = args
            self.write({"call": method, "value": value, "state": state})
            if session not in self.sessions:
                invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "no session")
                return
            if self.mutter and method == "NotifyKeyboardKeysym":
                self.mutter.keysym(value, state == 1)
            invocation.return_value(None)
            return

        options = args[-1]
        entry = {"call": method, "options": {k: v for k, v in options.items()
                                             if k != "restore_data"}}
        if "restore_data" in options:
            entry["restore_data"] = list(options["restore_data"])
        self.write(entry)
        if self.args.answer == "error" and self.args.answer_at == method:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "stand-in failure")
            return
        results = {}
        if method == "CreateSession":
            self.export_session(args[1])
            results["session_id"] = GLib.Variant("s", args[1])
        elif method == "SelectDevices":
            self.sessions[args[1]]["options"] = options
        elif method == "Start":
            if self.args.hold:
                self.held.append((args[1], invocation))
                return
            self.start(args[1], invocation)
            return
        invocation.return_value(GLib.Variant("(ua{sv})", (self.answer(method), results)))

    def start(self, session, invocation):
        response = self.answer("Start")
        results = {}
        if response == 0:
            results["devices"] = GLib.Variant("u", KEYBOARD)
            selected = self.sessions.get(session, {}).get("options", {})
            restore = selected.get("restore_data")
            if restore and restore[0] == RESTORE_VENDOR:
                self.write({"call": "restored", "grant": restore[2]})
            persist = selected.get("persist_mode", 0)
            if persist and self.args.version >= 2:
                self.grants += 1
                grant = restore[2] if restore and restore[0] == RESTORE_VENDOR else f"grant-{self.grants}"
                results["persist_mode"] = GLib.Variant("u", persist)
                results["restore_data"] = GLib.Variant(
                    "(suv)", (RESTORE_VENDOR, 1, GLib.Variant("s", grant)))
        invocation.return_value(GLib.Variant("(ua{sv})", (response, results)))

    def export_session(self, handle):
        def call(_bus, _sender, _path, _iface, method, _params, invocation):
            self.write({"call": "Session." + method})
            self.drop(handle)
            invocation.return_value(None)

        def prop(*_):
            return GLib.Variant("u", 1)
        rid = self.bus.register_object(handle, SESSION, call, prop, None)
        self.sessions[handle] = {"id": rid}

    def drop(self, handle):
        session = self.sessions.pop(handle, None)
        if session:
            self.bus.unregister_object(session["id"])

    def release(self):
        held, self.held = self.held, []
        for session, invocation in held:
            self.start(session, invocation)
        return GLib.SOURCE_CONTINUE

    def close_all(self):
        for handle in list(self.sessions):
            self.write({"call": "closed by the desktop", "session": handle})
            self.bus.emit_signal(None, handle, SESSION.name, "Closed", None)
            self.drop(handle)
        return GLib.SOURCE_CONTINUE


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--version", type=int, default=1)
    parser.add_argument("--answer", choices=["approve", "refuse", "fail", "error"], default="approve")
    parser.add_argument("--answer-at", default="Start")
    parser.add_argument("--hold", action="store_true")
    parser.add_argument("--mutter", action="store_true")
    args = parser.parse_args()
    StandIn(args)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
