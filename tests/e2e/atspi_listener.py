#!/usr/bin/python3
# Prints each AT-SPI event of the given types that an application sends, as a screen
# reader receives it: seconds since the listener started, the event, the source's role
# and name, one line each; ends after LISTEN_SECONDS (default 60). A line "listening"
# says the listener is registered.
#   atspi_listener.py EVENT...      (e.g. object:state-changed:showing)
import os
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

began = time.monotonic()


def heard(event):
    try:
        event.source.clear_cache()  # the name now, not as first seen
        role, name = event.source.get_role_name(), event.source.get_name()
    except GLib.Error:
        role, name = "gone", ""
    print(f"{time.monotonic() - began:.3f}\t{event.type}\t{role}\t{name}", flush=True)


listener = Atspi.EventListener.new(heard)
for kind in sys.argv[1:]:
    listener.register(kind)
print("listening", flush=True)
GLib.timeout_add(int(float(os.environ.get("LISTEN_SECONDS", "60")) * 1000), Atspi.event_quit)
Atspi.event_main()
