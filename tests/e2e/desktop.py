"""A private desktop for the end-to-end test: an X server (Xvfb), a D-Bus
session with the accessibility bus, and a window manager (openbox), all
started here and stopped again by stop(). Also the person at the desktop:
real X input through xdotool, and screenshots through xwd.

Every wait polls a condition with a timeout; nothing sleeps a fixed time to
let something happen.
"""

import ctypes
import os
import shlex
import shutil
import signal
import subprocess
import time

import pictures


def _end_with_us():
    """Run in each child before it starts: it gets SIGTERM should this
    script die without stopping it (killed by a test timeout, say)."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class DesktopError(Exception):
    """The desktop could not be set up; the message says which part failed."""


def wait_until(condition, timeout, what, interval=0.05):
    """Polls condition() until it returns something true, and returns that.
    Raises TimeoutError naming `what` when `timeout` seconds pass first."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def require_programs(names):
    missing = [n for n in names if not (os.path.isabs(n) and os.access(n, os.X_OK)) and not shutil.which(n)]
    if missing:
        raise DesktopError("missing programs: %s (install the packages of scripts/packages.txt: "
                           "bash scripts/setup.sh)" % ", ".join(missing))


AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
NEEDED = ["Xvfb", "openbox", "dbus-daemon", "dbus-send", AT_SPI_BUS_LAUNCHER,
          "xdotool", "xmodmap", "xwd", "xclip"]


class Desktop:
    """One private desktop. `workdir` receives the logs and the settings of
    every program started here (HOME and the XDG folders point into it)."""

    def __init__(self, workdir, width, height):
        self.workdir = workdir
        self.width = width
        self.height = height
        self.procs = []  # (name, Popen), in start order
        self.env = None
        self.display = None

    # --- start and stop ------------------------------------------------------

    def start(self):
        require_programs(NEEDED)
        home = os.path.join(self.workdir, "home")
        runtime = os.path.join(self.workdir, "runtime")
        for d in (home, runtime):
            os.makedirs(d, mode=0o700, exist_ok=True)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "QT_", "XDG_", "AT_SPI", "WAYLAND")) and k not in ("DISPLAY", "XAUTHORITY")}
        env.update(HOME=home, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_DATA_HOME=os.path.join(home, ".local/share"),
                   LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.env = env
        try:
            self._start_x()
            self._start_dbus()
            self._start_accessibility_bus()
            self._start_window_manager()
        except BaseException:
            self.stop()
            raise

    def _log(self, name):
        return open(os.path.join(self.workdir, name + ".log"), "wb")

    def _spawn(self, name, args, **kwargs):
        kwargs.setdefault("stdout", self._log(name))
        kwargs.setdefault("stderr", subprocess.STDOUT)
        proc = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, preexec_fn=_end_with_us, **kwargs)
        self.procs.append((name, proc))
        return proc

    def log_tail(self, name, lines=15):
        try:
            with open(os.path.join(self.workdir, name + ".log"), "rb") as f:
                text = f.read().decode("utf-8", "replace").strip().splitlines()
        except OSError:
            return "(no log)"
        return "\n".join(text[-lines:]) or "(empty log)"

    def _start_x(self):
        # Xvfb picks a free display itself and writes its number when ready.
        read_fd, write_fd = os.pipe()
        try:
            proc = self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                        "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp",
                                        "-noreset"], pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        os.set_blocking(read_fd, False)
        try:
            while not number.endswith(b"\n"):
                if proc.poll() is not None:
                    raise DesktopError("Xvfb exited with status %s before it was ready:\n%s"
                                       % (proc.returncode, self.log_tail("xvfb")))
                if time.monotonic() > deadline:
                    raise DesktopError("Xvfb did not report its display within 20 s:\n%s" % self.log_tail("xvfb"))
                try:
                    chunk = os.read(read_fd, 32)
                    if not chunk:
                        time.sleep(0.05)
                    number += chunk
                except BlockingIOError:
                    time.sleep(0.05)
        finally:
            os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def _start_dbus(self):
        proc = self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=self._log("dbus"))
        address = _read_line(proc.stdout, 15)
        if not address:
            raise DesktopError("the D-Bus session bus did not start (dbus-daemon --session):\n%s"
                               % self.log_tail("dbus"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _name_has_owner(self, name):
        out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                             env=self.env, capture_output=True, text=True, timeout=10)
        return out.returncode == 0 and "boolean true" in out.stdout

    def _start_accessibility_bus(self):
        proc = self._spawn("at-spi", [AT_SPI_BUS_LAUNCHER, "--a11y=1"])
        try:
            wait_until(lambda: proc.poll() is not None or self._name_has_owner("org.a11y.Bus"), 20,
                       "the accessibility bus launcher")
        except TimeoutError:
            raise DesktopError("the accessibility bus (at-spi-bus-launcher --a11y=1) did not appear on the "
                               "session bus within 20 s:\n%s" % self.log_tail("at-spi"))
        if proc.poll() is not None:
            raise DesktopError("at-spi-bus-launcher exited with status %s:\n%s"
                               % (proc.returncode, self.log_tail("at-spi")))

    def _start_window_manager(self):
        ready = os.path.join(self.workdir, "openbox-ready")
        proc = self._spawn("openbox", ["openbox", "--sm-disable", "--startup", "touch " + shlex.quote(ready)])
        try:
            wait_until(lambda: proc.poll() is not None or os.path.exists(ready), 20, "openbox")
        except TimeoutError:
            raise DesktopError("the window manager (openbox) did not finish starting within 20 s:\n%s"
                               % self.log_tail("openbox"))
        if proc.poll() is not None:
            raise DesktopError("the window manager (openbox) exited with status %s:\n%s"
                               % (proc.returncode, self.log_tail("openbox")))

    def launch(self, name, args, extra_env=None, cwd=None):
        """Starts a program on this desktop; stop() ends it."""
        env = dict(self.env)
        env.update(extra_env or {})
        proc = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=self._log(name),
                                stderr=subprocess.STDOUT, preexec_fn=_end_with_us)
        self.procs.append((name, proc))
        return proc

    def stop(self):
        """Ends every program started here, the last started first."""
        for name, proc in reversed(self.procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait(5)
            for stream in (proc.stdout, proc.stderr):
                if stream:
                    stream.close()
        self.procs = []

    # --- the person: keyboard, mouse, screen -------------------------------

    def run(self, args, timeout=20, check=True, **kwargs):
        return subprocess.run(args, env=self.env, capture_output=True, timeout=timeout, check=check, **kwargs)

    def xdotool(self, *args):
        self.run(["xdotool"] + [str(a) for a in args])

    def key(self, *keys):
        """Presses and releases each key combination in turn ("ctrl+s", "Return")."""
        self.xdotool("key", "--clearmodifiers", "--delay", 30, *keys)

    def type_text(self, text):
        """Types text. Characters beyond ASCII must have been bound with
        bind_characters() before the program that receives them started."""
        self.xdotool("type", "--clearmodifiers", "--delay", 30, "--", text)

    def move_to(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)

    def click_at(self, x, y):
        self.move_to(x, y)
        self.xdotool("click", 1)

    def bind_characters(self, text):
        """Binds each non-ASCII character of `text` to a keycode that has no
        keysym, so that xdotool finds it in the keyboard map and types it
        with one stable keycode instead of remapping a key while the
        program reads it."""
        wanted = sorted({c for c in text if ord(c) > 0x7e})
        if not wanted:
            return
        table = self.run(["xmodmap", "-pke"]).stdout.decode()
        spare = []
        for line in table.splitlines():
            parts = line.split("=")
            code = int(parts[0].split()[1])
            if len(parts) < 2 or not parts[1].strip():
                spare.append(code)
        spare = [c for c in spare if 8 <= c <= 255]
        if len(spare) < len(wanted):
            raise DesktopError("only %d spare keycodes for %d characters" % (len(spare), len(wanted)))
        expressions = []
        for code, char in zip(reversed(spare), wanted):
            keysym = "U%04X" % ord(char)
            expressions += ["-e", "keycode %d = %s %s" % (code, keysym, keysym)]
        self.run(["xmodmap"] + expressions)

    def screenshot(self):
        """The whole screen as a pictures.Image."""
        data = self.run(["xwd", "-root", "-silent"], timeout=30).stdout
        return pictures.read_xwd(data)


def _read_line(stream, timeout):
    """One line from a pipe, or b'' if none came within `timeout` seconds."""
    fd = stream.fileno()
    os.set_blocking(fd, False)
    data = b""
    deadline = time.monotonic() + timeout
    while b"\n" not in data and time.monotonic() < deadline:
        try:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            data += chunk
        except BlockingIOError:
            time.sleep(0.05)
    return data.split(b"\n")[0].decode().strip()
