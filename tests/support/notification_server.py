#!/usr/bin/python3
"""A desktop notification server for tests, on the session bus that
DBUS_SESSION_BUS_ADDRESS names: records each Notify call as a line of JSON
in RECORD (created empty once the server owns its name), or refuses every
call with --refuse.

    notification_server.py RECORD [--refuse]
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

INTERFACE = "org.freedesktop.Notifications"


class Server(dbus.service.Object):
    def __init__(self, bus, record, refuse):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.record, self.refuse, self.last = record, refuse, 0

    @dbus.service.method(INTERFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "icon-static"]

    @dbus.service.method(INTERFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ["test", "quorvel", "1", "1.2"]

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if self.refuse:
            raise dbus.exceptions.DBusException("refused by the test", name=INTERFACE + ".Error")
        with open(self.record, "a") as out:
            out.write(json.dumps({"app": app, "icon": icon, "summary": summary, "body": body,
                                  "hints": {k: str(v) for k, v in hints.items()}}) + "\n")
        self.last += 1
        return self.last

    @dbus.service.method(INTERFACE, in_signature="u", out_signature="")
    def CloseNotification(self, _id):
        pass


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(INTERFACE, bus)
server = Server(bus, sys.argv[1], "--refuse" in sys.argv)
open(sys.argv[1], "w").close()  # ready: the test waits for the file
GLib.MainLoop().run()
