"""The program's controls as the desktop's accessibility bus (AT-SPI) shows
them: found by role and accessible name (the caption of a button, the name
of a field), read for their texts, values and states, and placed on the
screen by their extents.

Import this module only after DISPLAY and DBUS_SESSION_BUS_ADDRESS name the
private desktop: the AT-SPI library connects on first use.
"""

import time

import pyatspi
from gi.repository import Atspi

from desktop import wait_until


class Control:
    """One accessible object with the few things the test reads of it."""

    def __init__(self, acc):
        self.acc = acc

    @property
    def name(self):
        return self.acc.name or ""

    @property
    def role(self):
        return self.acc.getRoleName()

    def text(self):
        t = self.acc.queryText()
        return t.getText(0, -1)

    def value(self):
        return self.acc.queryValue().currentValue

    def has_state(self, state):
        return self.acc.getState().contains(state)

    def showing(self):
        return self.has_state(pyatspi.STATE_SHOWING)

    def focused(self):
        return self.has_state(pyatspi.STATE_FOCUSED)

    def extents(self):
        """(x, y, width, height) on the screen, as the program reports it."""
        e = self.acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def center(self):
        x, y, w, h = self.extents()
        return x + w // 2, y + h // 2

    def children(self):
        found = (self.acc.getChildAtIndex(i) for i in range(self.acc.childCount))
        return [Control(acc) for acc in found if acc is not None]

    def __repr__(self):
        return "%s %r" % (self.role, self.name)


def _walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from _walk(child)


def application(name, timeout, gone=lambda: False):
    """The application registered under `name` on the accessibility bus;
    None as soon as gone() tells that it cannot come any more."""
    def look():
        if gone():
            return "gone"
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                # Read every property fresh: the program changes texts and
                # states while the test looks.
                Atspi.Accessible.set_cache_mask(app, Atspi.Cache.NONE)
                return Control(app)
        return None
    found = wait_until(look, timeout, "the application %r on the accessibility bus" % name, interval=0.2)
    return None if found == "gone" else found


def _role(name):
    """The AT-SPI role that a role name ("push button", "check box") stands
    for. Roles are compared as values: their names differ between releases
    of the accessibility library (a push button reads "button" from 2.50 on)."""
    return getattr(pyatspi, "ROLE_" + name.upper().replace(" ", "_"))


def find_all(root, role=None, name=None, showing=True):
    """Controls under root with the role (named as in pyatspi: "push button",
    "check box") and accessible name given, only those on screen when
    `showing`."""
    wanted = _role(role) if role is not None else None
    found = []
    for acc in _walk(root.acc):
        try:
            if wanted is not None and acc.getRole() != wanted:
                continue
            if name is not None and (acc.name or "") != name:
                continue
            if showing and not acc.getState().contains(pyatspi.STATE_SHOWING):
                continue
        except Exception:  # an object that went away while we looked
            continue
        found.append(Control(acc))
    return found


def find(root, role=None, name=None, showing=True):
    found = find_all(root, role, name, showing)
    return found[0] if found else None


def wait_for(root, role, name, timeout=20, showing=True):
    """The control, once it exists (and is on screen when `showing`)."""
    return wait_until(lambda: find(root, role, name, showing), timeout,
                      "%s %r to appear" % (role, name), interval=0.1)


def wait_for_window(app, title, timeout=20):
    """The program's top-level window (frame, dialog) with the title, once
    it is on screen."""
    def look():
        for window in app.children():
            try:
                if window.name == title and window.showing():
                    return window
            except Exception:
                continue
        return None
    return wait_until(look, timeout, "the window %r to appear" % title, interval=0.1)


def wait_for_text(control, expected, timeout=20):
    """Waits until the control's text is `expected`."""
    def check():
        try:
            return control.text() == expected
        except Exception:
            return False
    try:
        wait_until(check, timeout, "text %r" % expected, interval=0.1)
    except TimeoutError:
        raise AssertionError("%r shows %r, expected %r" % (control, control.text(), expected))


def wait_for_name(root, role, name, timeout=20):
    """Waits until a control of the role carries the accessible name (a
    label's caption)."""
    try:
        return wait_for(root, role, name, timeout)
    except TimeoutError:
        names = [c.name for c in find_all(root, role)]
        raise AssertionError("no %s reads %r; they read %s" % (role, name, names))


