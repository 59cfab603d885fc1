#!/usr/bin/python3
"""A desktop's remote-desktop portal, standing in for the real one in tests.

By default it is a backend behind the real xdg-desktop-portal
(org.freedesktop.impl.portal.RemoteDesktop). With --portal it stands in for
xdg-desktop-portal itself (org.freedesktop.portal.RemoteDesktop) in the
version given, since Debian 12's portal offers version 1 whatever its backend
says; it then answers each request before the call returns, as a quick
desktop may.

It answers as its command line says, appends every call to a log (one JSON
object a line) and, with --mutter, passes keysyms on to mutter's own
remote-desktop interface, so that they reach the focused client.

Signals: SIGUSR1 answers the Start requests that --hold kept waiting;
SIGUSR2 ends every session as the desktop would (its stop button)."""

import argparse
import json
import signal
import sys

from gi.repository import Gio, GLib

BACKEND_NAME = "org.freedesktop.impl.portal.desktop.tavlunstandin"
PORTAL_NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
KEYBOARD = 1
VENDOR = "tavlun-standin"
RESPONSES = {"approve": 0, "refuse": 1, "fail": 2}

_NOTIFY = """
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>"""
BACKEND = Gio.DBusNodeInfo.new_for_xml("""<node>
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
    </method>""" + _NOTIFY + """
  </interface>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
  </interface>
</node>""")
PORTAL = Gio.DBusNodeInfo.new_for_xml("""<node>
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>""" + _NOTIFY + """
  </interface>
  <interface name="org.freedesktop.portal.Session">
    <method name="Close"/>
    <signal name="Closed"><arg type="a{sv}"/></signal>
  </interface>
</node>""")


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
        self.sessions = {}  # handle -> {"id": registration, "options": SelectDevices options}
        self.held = []  # Start requests waiting for SIGUSR1
        self.grants = 0
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.mutter = None
        node = PORTAL if args.portal else BACKEND
        self.interface, self.session_interface = node.interfaces
        self.bus.register_object(PATH, self.interface, self.method, self.prop, None)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, self.release)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2, self.close_all)
        if args.mutter:  # serve once mutter does
            self.watch = Gio.bus_watch_name_on_connection(
                self.bus, "org.gnome.Mutter.RemoteDesktop", Gio.BusNameWatcherFlags.NONE,
                self.mutter_appeared, None)
        else:
            self.serve()

    def mutter_appeared(self, *_):
        if not self.mutter:
            self.mutter = Mutter(self.bus)
            self.serve()

    def serve(self):
        Gio.bus_own_name_on_connection(self.bus, PORTAL_NAME if self.args.portal else BACKEND_NAME,
                                       Gio.BusNameOwnerFlags.NONE,
                                       lambda *_: self.write({"call": "ready"}), None)

    def write(self, entry):
        self.log.write(json.dumps(entry) + "\n")

    def prop(self, _bus, _sender, _path, _iface, name):
        return GLib.Variant("u", self.args.version if name == "version" else KEYBOARD | 2)

    def response(self, method):
        if self.args.answer_at == method:
            return RESPONSES.get(self.args.answer, 0)
        return 0

    # Calls -------------------------------------------------------------

    def method(self, _bus, sender, _path, _iface, method, params, invocation):
        args = params.unpack()
        if method == "NotifyKeyboardKeysym":
            return self.keysym(*args, invocation)
        options = args[-1]
        self.write({"call": method, "options": options})
        if self.args.answer == "error" and self.args.answer_at == method:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "stand-in failure")
            return

        if self.args.portal:
            # The application's request and session paths follow from its
            # name and its tokens.
            who = sender[1:].replace(".", "_")
            request = f"{PATH}/request/{who}/{options['handle_token']}"
            session = (f"{PATH}/session/{who}/{options['session_handle_token']}"
                       if method == "CreateSession" else args[0])

            def respond(code, results):
                self.bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response",
                                     GLib.Variant("(ua{sv})", (code, results)))

            def reply():
                invocation.return_value(GLib.Variant("(o)", (request,)))
        else:
            session = args[1]

            def respond(code, results):
                invocation.return_value(GLib.Variant("(ua{sv})", (code, results)))

            def reply():
                pass

        if method == "CreateSession":
            self.export_session(session, sender)
            key = "session_handle" if self.args.portal else "session_id"
            respond(self.response(method), {key: GLib.Variant("s", session)})
        elif method == "SelectDevices":
            if session in self.sessions:
                self.sessions[session]["options"] = options
            respond(self.response(method), {})
        elif self.args.hold:
            self.held.append((session, respond))
        else:
            self.start(session, respond)
        reply()

    def start(self, session, respond):
        code = self.response("Start")
        results = {}
        if code == 0:
            results["devices"] = GLib.Variant("u", KEYBOARD)
            selected = self.sessions.get(session, {}).get("options", {})
            # Only the portal face offers persistence: Debian 12's portal
            # never asks its backend for it.
            token = selected.get("restore_token")
            if token and token.startswith(VENDOR):
                self.write({"call": "restored", "token": token})
            if selected.get("persist_mode") and self.args.version >= 2:
                self.grants += 1
                results["restore_token"] = GLib.Variant("s", f"{VENDOR}-{self.grants}")
        respond(code, results)

    def keysym(self, session, _options, keysym, state, invocation):
        self.write({"call": "NotifyKeyboardKeysym", "keysym": keysym, "state": state})
        if session not in self.sessions or self.args.refuse_keys:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "no session")
            return
        if self.mutter:
            self.mutter.keysym(keysym, state == 1)
        invocation.return_value(None)

    # Sessions ----------------------------------------------------------

    def export_session(self, handle, owner):
        def call(_bus, _sender, _path, _iface, method, _params, invocation):
            self.write({"call": "Session." + method})
            self.drop(handle)
            invocation.return_value(None)
        rid = self.bus.register_object(handle, self.session_interface, call, None, None)
        self.sessions[handle] = {"id": rid, "owner": owner}

    def drop(self, handle):
        session = self.sessions.pop(handle, None)
        if session:
            self.bus.unregister_object(session["id"])

    def release(self):
        held, self.held = self.held, []
        for session, respond in held:
            self.start(session, respond)
        return GLib.SOURCE_CONTINUE

    def close_all(self):
        for handle, session in list(self.sessions.items()):
            self.write({"call": "closed by the desktop"})
            if self.args.portal:
                self.bus.emit_signal(session["owner"], handle, self.session_interface.name,
                                     "Closed", GLib.Variant("(a{sv})", ({},)))
            else:
                self.bus.emit_signal(None, handle, self.session_interface.name, "Closed", None)
            self.drop(handle)
        return GLib.SOURCE_CONTINUE


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--portal", action="store_true")
    parser.add_argument("--version", type=int, default=1)
    parser.add_argument("--answer", choices=["approve", "refuse", "fail", "error"],
                        default="approve")
    parser.add_argument("--answer-at", default="Start")
    parser.add_argument("--hold", action="store_true")
    parser.add_argument("--refuse-keys", action="store_true")
    parser.add_argument("--mutter", action="store_true")
    StandIn(parser.parse_args())
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
