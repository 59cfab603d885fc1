"""LOG [--portal] [--mutter] [METHOD=CODE|error|nohandle|nokeys...] [AvailableDeviceTypes=N]: a RemoteDesktop portal
backend (SIGUSR2 ends its sessions) or with --portal a version 2 portal; logs calls to LOG; --mutter types the keys."""
import json
import re
import signal
import sys

from gi.repository import Gio, GLib

PATH, MUTTER = "/org/freedesktop/portal/desktop", "org.gnome.Mutter.RemoteDesktop"


def interface(portal):  # RemoteDesktop, of the portal or of its backend
    args = lambda types, way="in": "".join(  # noqa: E731
        f'<arg type="{t}" direction="{way}"/>' for t in re.findall(r"a\{sv\}|\w", types))
    methods = "".join(f'<method name="{m}">{args((ins if portal else "oos" + "s" * (m == "Start")) + "a{sv}")}'
                      f'{args("o" if portal else "ua{sv}", "out")}</method>'
                      for m, ins in (("CreateSession", ""), ("SelectDevices", "o"), ("Start", "os")))
    return Gio.DBusNodeInfo.new_for_xml(
        f'<node><interface name="org.freedesktop.{"portal" if portal else "impl.portal"}.RemoteDesktop">'
        f'{methods}<method name="NotifyKeyboardKeysym">{args("oa{sv}iu")}</method><property '
        'name="AvailableDeviceTypes" type="u" access="read"/><property name="version" type="u" '
        'access="read"/></interface></node>').interfaces[0]


class StandIn:
    def __init__(self, log, *options):
        self.portal, self.answers = "--portal" in options, dict(o.split("=") for o in options if "=" in o)
        self.log, self.sessions = open(log, "a", buffering=1), set()
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.bus.register_object(PATH, interface(self.portal), self.method, lambda *a: GLib.Variant(
            "u", 1 + self.portal if a[-1] == "version" else int(self.answers.get("AvailableDeviceTypes", 3))), None)
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR2, self.close_all)
        self.mutter = "--mutter" in options and self.call("/org/gnome/Mutter/RemoteDesktop", "CreateSession")[0]
        if self.mutter:  # the seat gains its keyboard with a first key, which mutter drops: Shift
            self.call(self.mutter, "Start")
            for down in (True, False):
                self.call(self.mutter, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (0xFFE1, down)))
        Gio.bus_own_name_on_connection(self.bus, "org.freedesktop.portal.Desktop" if self.portal
                                       else "org.freedesktop.impl.portal.desktop.tavlunstandin", 0, None, None)

    def call(self, path, method, args=None):
        interface = MUTTER + ".Session" * (path != "/org/gnome/Mutter/RemoteDesktop")
        return self.bus.call_sync(MUTTER, path, interface, method, args, None, 0, -1, None).unpack()

    def method(self, _bus, sender, _path, _iface, method, params, invocation):
        args, portal, answer = params.unpack(), self.portal, self.answers.get(method, "0")
        keys = method == "NotifyKeyboardKeysym"
        self.log.write(json.dumps({"call": method, "args": args[2:] if keys else args[-1]}) + "\n")
        if answer == "error":
            return invocation.return_dbus_error("org.freedesktop.DBus.Error.Failed", "stand-in")
        if keys:
            self.mutter and self.call(self.mutter, method, GLib.Variant("(ub)", (args[2] & 0xFFFFFFFF, args[3] == 1)))
            return invocation.return_value(None)
        who, options = sender[1:].replace(".", "_"), args[-1]  # a portal's paths follow from these
        request = f"{PATH}/request/{who}/{options.get('handle_token')}"
        session = args[not portal] if args[1:] else f"{PATH}/session/{who}/{options['session_handle_token']}"
        self.sessions.add(session)
        handle = "" if answer == "nohandle" else session
        results = {"session_handle" if portal else "session_id": GLib.Variant("s", handle)}
        if method == "Start":  # a token for the next start too, which a version 1 portal drops
            results = {"devices": GLib.Variant("u", int(answer == "0")),
                       "restore_token": GLib.Variant("s", f"tavlun-standin-{len(self.sessions)}")}
        response = GLib.Variant("(ua{sv})", (int(answer) if answer.isdigit() else 0, results))
        if not portal:
            return invocation.return_value(response)
        self.bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response", response)
        invocation.return_value(GLib.Variant("(o)", (request,)))

    def close_all(self):  # once: the signal's handler goes with it
        for handle in self.sessions:
            self.bus.emit_signal(None, handle, "org.freedesktop.impl.portal.Session", "Closed", None)


StandIn(*sys.argv[1:])
GLib.MainLoop().run()
