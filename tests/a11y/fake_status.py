#!/usr/bin/python3
"""A false accessibility status service on the session bus, as a broken or
hostile one behaves. It owns org.a11y.Bus and says that accessibility is off
until told otherwise on its standard input, a command a line:
  stuck        answer no question any more
  answer       answer questions again (those held stay unanswered)
  flood N      say N times that IsEnabled changed to true
  own          take the name (started with --late, it has not)
Each command is acknowledged with its name on standard output once done."""
import sys

from gi.repository import Gio, GLib

stuck = False
held = []  # unanswered calls, kept so that GLib does not answer them itself


def method_call(connection, sender, path, interface, method, parameters, invocation):
    print(f"{'held' if stuck else 'answered'} {method}", file=sys.stderr, flush=True)
    if stuck:
        held.append(invocation)
        return
    if method == "Get":
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("b", False),)))
    elif method == "GetAll":
        invocation.return_value(GLib.Variant("(a{sv})", ({"IsEnabled": GLib.Variant("b", False),
                                                          "ScreenReaderEnabled": GLib.Variant("b", False)},)))
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def command(channel, condition, connection):
    global stuck
    line = channel.readline()
    if not line:
        loop.quit()
        return False
    words = line.split()
    if words[:1] == ["stuck"]:
        stuck = True
    elif words[:1] == ["answer"]:
        stuck = False
    elif words[:1] == ["own"]:
        Gio.bus_own_name_on_connection(connection, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE, None, None)
        connection.flush_sync(None)
    elif words[:1] == ["flood"]:
        changed = GLib.Variant("(sa{sv}as)", ("org.a11y.Status", {"IsEnabled": GLib.Variant("b", True)}, []))
        for _ in range(int(words[1])):
            connection.emit_signal(None, "/org/a11y/bus", "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                   changed)
        connection.flush_sync(None)
    print(words[0] if words else "", flush=True)
    return True


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
# Properties are answered by hand, so that the service can fall silent.
properties = Gio.DBusNodeInfo.new_for_xml("""
<node><interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
</interface></node>""")
bus.register_object("/org/a11y/bus", properties.interfaces[0], method_call, None, None)
if "--late" not in sys.argv:
    Gio.bus_own_name_on_connection(bus, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE, None, None)
loop = GLib.MainLoop()
channel = GLib.IOChannel.unix_new(sys.stdin.fileno())
GLib.io_add_watch(channel, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, command, bus)
print("ready", flush=True)
loop.run()
