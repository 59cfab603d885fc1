#!/usr/bin/python3
"""standin.py LOG [--portal] [--mutter] [METHOD=CODE|error|hold...]: a RemoteDesktop portal
backend, or with --portal the portal itself, version 2 (Debian 12's says 1), logging calls to
LOG; --mutter passes keys on. SIGUSR1 answers what is held, SIGUSR2 ends the sessions."""

import json
import signal
import sys

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
MUTTER = "org.gnome.Mutter.RemoteDesktop"


def interfaces(portal, xml=""):  # RemoteDesktop and Session, of the portal or its backend
    prefix = "org.freedesktop.portal." if portal else "org.freedesktop.impl.portal."
    args = lambda *types: "".join(f'<arg type="{t}" direction="in"/>' for t in types)  # noqa: E731
    for method, ins in {"CreateSession": ("", "oos"), "SelectDevices": ("o", "oos"),
                        "Start": ("os", "ooss")}.items():
        xml += f'<method name="{method}">{args(*ins[not portal], "a{sv}")}' + (
            '<arg type="o" direction="out"/>' if portal else
            '<arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>') + "</method>"
    return Gio.DBusNodeInfo.new_for_xml(
        f'<node><interface name="{prefix}RemoteDesktop">{xml}<method name="NotifyKeyboardKeysym">'
        f'{args("o", "a{sv}", "i", "u")}</method><property name="AvailableDeviceTypes" type="u" '
        'access="read"/><property name="version" type="u" access="read"/></interface><interface '
        f'name="{prefix}Session"><signal name="Closed">' + '<arg type="a{sv}"/>' * portal
        + '</signal></interface></node>').interfaces


class StandIn:
    def __init__(self, log, *options):
        self.portal, self.mutter, self.sessions, self.held = "--portal" in options, None, {}, []
        self.answers = dict(a.split("=") for a in options if "=" in a)
        self.log = open(log, "a", buffering=1)
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.interface, self.session_interface = interfaces(self.portal)
        self.bus.register_object(PATH, self.interface, self.method, lambda *a: GLib.Variant(
            "u", (1 + self.portal) if a[-1] == "version" else 3), None)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, self.release)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2, self.close_all)
        if "--mutter" in options:
            self.mutter = self.call("/org/gnome/Mutter/RemoteDesktop", "", "CreateSession")[0]
            self.call(self.mutter, ".Session", "Start")
            self.to_mutter(0xFFE1, 1)  # the seat gains its keyboard with a first key, which
            self.to_mutter(0xFFE1, 0)  # mutter drops: Shift, which types nothing
        Gio.bus_own_name_on_connection(self.bus, "org.freedesktop.portal.Desktop" if self.portal
                                       else "org.freedesktop.impl.portal.desktop.tavlunstandin",
                                       0, None, None)

    def call(self, path, interface, method, args=None):
        return self.bus.call_sync(MUTTER, path, MUTTER + interface, method, args, None, 0, -1,
                                  None).unpack()

    def to_mutter(self, keysym, state):
        self.call(self.mutter, ".Session", "NotifyKeyboardKeysym",
                  GLib.Variant("(ub)", (keysym & 0xFFFFFFFF, state == 1)))

    def method(self, _bus, sender, _path, _iface, method, params, invocation):
        args, portal, keys = params.unpack(), self.portal, method == "NotifyKeyboardKeysym"
        self.log.write(json.dumps({"call": method, "args": args[-2:] if keys else args[-1]}) + "\n")
        answer = self.answers.get(method, "0")
        if answer == "error" or keys and args[0] not in self.sessions:
            return invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "stand-in")
        if keys:
            self.to_mutter(*args[-2:]) if self.mutter else None
            return invocation.return_value(None)
        who, options = sender[1:].replace(".", "_"), args[-1]  # a portal's paths follow from these
        request = f"{PATH}/request/{who}/{options.get('handle_token')}"
        session = args[1] if not portal else args[0] if args[1:] else \
            f"{PATH}/session/{who}/{options['session_handle_token']}"
        self.sessions.setdefault(session, {"owner": sender})[method] = options

        def respond(code=int(answer) if answer != "hold" else 0):
            results = {"CreateSession": {"session_handle" if portal else "session_id":
                                         GLib.Variant("s", session)}}.get(method, {})
            if method == "Start" and code == 0:
                results["devices"] = GLib.Variant("u", 1)
                if portal and self.sessions[session]["SelectDevices"].get("persist_mode"):
                    results["restore_token"] = GLib.Variant("s", f"tavlun-standin-{len(self.sessions)}")
            if not portal:
                return invocation.return_value(GLib.Variant("(ua{sv})", (code, results)))
            self.bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response",
                                 GLib.Variant("(ua{sv})", (code, results)))
        self.held.append(respond) if answer == "hold" else respond()
        return invocation.return_value(GLib.Variant("(o)", (request,))) if portal else None

    def release(self):
        for respond in self.held:
            respond()
        self.held = []
        return True

    def close_all(self):
        for handle, session in self.sessions.items():
            self.bus.emit_signal(session["owner"] if self.portal else None, handle,
                                 self.session_interface.name, "Closed",
                                 GLib.Variant("(a{sv})", ({},)) if self.portal else None)
        self.sessions = {}
        return True


if __name__ == "__main__":
    StandIn(*sys.argv[1:])
    GLib.MainLoop().run()
