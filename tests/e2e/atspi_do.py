#!/usr/bin/python3
# Acts on a control of a running program over AT-SPI, as a screen reader user does, or
# tells its states: no input device is needed (a headless compositor has none).
#   atspi_do.py press ROLE NAME     performs the control's first action (a click)
#   atspi_do.py states ROLE NAME    prints its states, one line, space-separated
# ROLE as AT-SPI names it ("push button", "menu item", "frame"); exits 1 if no control of
# that role and name is there.
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def find(node, role, name, depth=0):
    try:
        if node.get_role_name() == role and node.get_name() == name:
            return node
        children = [node.get_child_at_index(i) for i in range(node.get_child_count())]
    except gi.repository.GLib.Error:
        return None
    for child in children:
        if child is not None and depth < 12:
            found = find(child, role, name, depth + 1)
            if found:
                return found
    return None


verb, role, name = sys.argv[1:4]
control = find(Atspi.get_desktop(0), role, name)
if control is None:
    print(f"no {role} named {name!r}", file=sys.stderr)
    sys.exit(1)
if verb == "press":
    Atspi.Action.do_action(control, 0)
else:
    states = control.get_state_set().get_states()
    print(" ".join(Atspi.StateType(s).value_nick for s in states))
