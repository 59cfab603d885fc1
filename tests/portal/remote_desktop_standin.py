#!/usr/bin/python3
"""A RemoteDesktop portal backend for the portal tests; with --portal the
portal itself, answering before its calls return (Debian 12's says version 1
whatever its backend does). Calls are logged as JSON lines; --mutter passes
keysyms on to mutter. SIGUSR1 answers what --hold kept; SIGUSR2 ends sessions."""

import argparse
import json
import signal

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
    def __init__(self, args):
        self.args, self.sessions, self.held, self.grants = args, {}, [], 0
        self.log = open(args.log, "a", buffering=1)
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.interface, self.session_interface = interfaces(args.portal)
        self.bus.register_object(PATH, self.interface, self.method, lambda *a: GLib.Variant(
            "u", args.version if a[-1] == "version" else 3), None)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, self.release)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2, self.close_all)
        if args.mutter:
            self.mutter = self.call("/org/gnome/Mutter/RemoteDesktop", "", "CreateSession")[0]
            self.call(self.mutter, ".Session", "Start")
            self.to_mutter(0xFFE1, 1)  # the seat gains its keyboard with a first key, which
            self.to_mutter(0xFFE1, 0)  # mutter drops: Shift, which types nothing
        Gio.bus_own_name_on_connection(self.bus, "org.freedesktop.portal.Desktop" if args.portal
                                       else "org.freedesktop.impl.portal.desktop.tavlunstandin",
                                       0, None, None)

    def call(self, path, interface, method, args=None):
        return self.bus.call_sync(MUTTER, path, MUTTER + interface, method, args, None, 0, -1,
                                  None).unpack()

    def to_mutter(self, keysym, state):
        self.call(self.mutter, ".Session", "NotifyKeyboardKeysym",
                  GLib.Variant("(ub)", (keysym & 0xFFFFFFFF, state == 1)))

    def method(self, _bus, sender, _path, _iface, method, params, invocation):
        args, portal, keys = params.unpack(), self.args.portal, method == "NotifyKeyboardKeysym"
        self.log.write(json.dumps({"call": method, "args": args[-2:] if keys else args[-1]}) + "\n")
        answer = dict(a.split("=") for a in self.args.answer).get(method, "0")
        if answer == "error" or keys and (args[0] not in self.sessions or self.args.refuse_keys):
            return invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "stand-in")
        if keys:
            self.to_mutter(*args[-2:]) if self.args.mutter else None
            return invocation.return_value(None)
        who, options = sender[1:].replace(".", "_"), args[-1]  # a portal's paths follow from these
        request = f"{PATH}/request/{who}/{options.get('handle_token')}"
        session = args[1] if not portal else args[0] if args[1:] else \
            f"{PATH}/session/{who}/{options['session_handle_token']}"

        def respond(code, results):
            if portal:
                return self.bus.emit_signal(sender, request, "org.freedesktop.portal.Request",
                                            "Response", GLib.Variant("(ua{sv})", (code, results)))
            invocation.return_value(GLib.Variant("(ua{sv})", (code, results)))
        if method == "CreateSession":
            self.sessions[session] = {"owner": sender}
            respond(int(answer), {"session_handle" if portal else "session_id": GLib.Variant("s", session)})
        elif method == "SelectDevices":
            self.sessions.get(session, {})["options"] = options
            respond(int(answer), {})
        else:
            self.held.append((session, respond, int(answer)))
            self.release() if not self.args.hold else None
        return invocation.return_value(GLib.Variant("(o)", (request,))) if portal else None

    def release(self):
        for session, respond, code in self.held:
            results = {"devices": GLib.Variant("u", 1)} if code == 0 else {}
            if code == 0 and self.sessions[session]["options"].get("persist_mode") and self.args.version > 1:
                self.grants += 1
                results["restore_token"] = GLib.Variant("s", f"tavlun-standin-{self.grants}")
            respond(code, results)
        self.held = []
        return True

    def close_all(self):
        for handle, session in self.sessions.items():
            self.bus.emit_signal(session["owner"] if self.args.portal else None, handle,
                                 self.session_interface.name, "Closed",
                                 GLib.Variant("(a{sv})", ({},)) if self.args.portal else None)
        self.sessions = {}
        return True


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for flag in ("--portal", "--hold", "--refuse-keys", "--mutter"):
        parser.add_argument(flag, action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--version", type=int, default=1)
    parser.add_argument("--answer", action="append", default=[])  # METHOD=CODE or METHOD=error
    StandIn(parser.parse_args())
    GLib.MainLoop().run()
