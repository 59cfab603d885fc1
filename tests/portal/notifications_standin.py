"""LOG: the desktop's notification service (org.freedesktop.Notifications), logging each notification to LOG."""
import json
import sys

from gi.repository import Gio, GLib

NODE = Gio.DBusNodeInfo.new_for_xml(
    '<node><interface name="org.freedesktop.Notifications"><method name="Notify">'
    + "".join(f'<arg type="{t}" direction="in"/>' for t in ("s", "u", "s", "s", "s", "as", "a{sv}", "i"))
    + '<arg type="u" direction="out"/></method><method name="GetCapabilities"><arg type="as" direction="out"/>'
    '</method></interface></node>')
log, shown = open(sys.argv[1], "a", buffering=1), []


def method(_bus, _sender, _path, _iface, name, params, invocation):
    if name == "GetCapabilities":
        return invocation.return_value(GLib.Variant("(as)", (["body"],)))
    app, _replaces, _icon, summary, body, _actions, hints, _timeout = params.unpack()
    shown.append(summary)
    log.write(json.dumps({"app": app, "summary": summary, "body": body, "hints": hints}) + "\n")
    invocation.return_value(GLib.Variant("(u)", (len(shown),)))


bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.register_object("/org/freedesktop/Notifications", NODE.interfaces[0], method, None, None)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.Notifications", 0, None, None)
GLib.MainLoop().run()
