"""Harness for the end-to-end tests: runs the built bundle, plays the Dart side
through the development engine's control socket, and looks at the result on
X11 and D-Bus. Standard library only; run with /usr/bin/python3 inside
scripts/test-desktop (it provides DISPLAY, a window manager and the buses).

The app
-------
App(args=(), env=None, executable=None, startup_timeout=30)
    Context manager. Starts ferrow_dadira (FERROW_BUNDLE/ferrow_dadira, or
    build/bundle/ferrow_dadira in the repository) with FL_DEV_ENGINE_SOCKET
    set to a private path, waits until the socket accepts and connects.
    `env` entries override the inherited environment; a value of None removes
    the variable. On exit: closes every view's window so that the app ends
    by itself (running its shutdown and, under AddressSanitizer, the leak
    check), terminates (then kills) it if it still runs, and fails the test
    if the process printed a sanitizer report.
  .request(op, timeout=10, **fields) -> reply dict (raises TimeoutError)
  .send_request(op, **fields) -> the request's id, without waiting;
      .wait_reply(id, timeout=10) -> its reply, .has_reply(id) -> bool
  .invoke(channel, method, args=None, timeout=10) -> reply dict, e.g.
      {"response": "success", "value": True}
  .invoke_value(channel, method, args=None) -> value of a success reply
      (AssertionError otherwise)
  .state() / .history() -> the "result" of the request (AssertionError on a
      failure reply)
  .open_view(**fields) -> {"viewId": V, "window": XID}
  .close_view(view_id), .emit_first_frame(view_id)
  .events -> list of event dicts, collected in the background
  .wait_event(predicate, timeout=10, since=0) -> the first event (from index
      `since`) for which predicate(event) holds
  .wait_method_call(channel, method, timeout=10, since=0) -> event
  .main_window(timeout=10) -> XID of view 0's window, once it has one
  .wait_exit(timeout=10) -> returncode
  .stderr_text, .stdout_text, .log_lines (stderr split into lines)
  .wait_log(text, timeout=10) -> the first stderr line containing text
  .gtk_warnings() -> stderr lines logged at warning or critical level
  .sanitizer_report() -> the sanitizer's output, or None

LaunchedApp(socket_path, log_path, startup_timeout=30)
    An App that another program started (gio open, xdg-open) with
    FL_DEV_ENGINE_SOCKET=socket_path in its environment and its output going
    to the file log_path. start() waits until the socket accepts; the process
    is the socket's peer. Not being this process's child, its end is seen in
    /proc and its exit status is unknown (-1).

launch(args=(), env=None, timeout=30, executable=None)
    Runs one more launch of the executable to completion and returns
    (returncode, stdout, stderr).
end_process(proc)
    Terminates a child process (kills it after 10 s) and reaps it.

X11 (through xprop, xwininfo and xdotool; window ids are ints)
-------------------------------------------------------------
wait_until(fn, timeout=10, interval=0.05, message=None) -> fn's truthy value,
    AssertionError after the deadline
xprop(xid, prop) -> the value in xprop's output as text, None if unset
xprop_values(xid, prop) -> list of the comma-separated values, None if unset
root_prop(prop) / root_prop_values(prop): the same for the root window
work_area(): the work area (x, y, width, height), the screen without one
window_title(xid), map_state(xid) ("IsViewable", "IsUnMapped", ...),
window_mapped(xid) -> bool, net_wm_state(xid) -> list of atom names,
active_window() -> XID or None, frame_extents(xid) -> (left, right, top,
bottom) or None, wm_normal_hints(xid) -> dict (min_size, max_size,
base_size, size, location, resize_increment, gravity, ...; sizes are
(width, height) tuples) or None, motif_hints(xid) -> 5-tuple or None,
decorated(xid) -> False when the Motif hints turn decorations off,
opacity(xid) -> float in [0, 1] or None, transient_for(xid) -> XID or None,
geometry(xid) -> {"x", "y", "width", "height"} (absolute, from xwininfo),
find_windows_by_title(title, visible_only=False) -> list of XIDs (exact
title), screenshot(path, xid=None), window_icon(xid) -> (width, height,
[ARGB ints]) of the first image in _NET_WM_ICON, or None.

D-Bus (through gdbus and python3-dbusmock)
-----------------------------------------
gdbus_call(bus, dest, path, method, *args, timeout=10) -> parsed reply;
    `bus` is "system" or "session"; args are GVariant text (see gv()).
gv(value) -> GVariant text for a Python str/bool/int/float/list.
parse_gvariant(text) -> Python value (tuples, lists, dicts, str, int, ...).
name_has_owner(bus, name) -> bool
LogindMock(inhibit_error=None)
    Context manager: python3-dbusmock's logind template on the system bus.
  .list_inhibitors(mode=None) -> list of (what, who, why, mode, uid, pid),
      those of `mode` only when given
  .fail_inhibit(message) makes Inhibit fail with AccessDenied
  .hang_inhibit() makes Inhibit hang the mock (nothing else is answered)
  .emit_prepare_for_sleep(active)
BusProxy(address, socket_path, *options)
    Context manager: xdg-dbus-proxy between a bus at `address` and a socket
    of its own at `socket_path` (options such as "--filter",
    "--talk=NAME"). start() waits until it listens; stop() ends it, which
    closes every connection made through it.
  .address -> "unix:path=" + socket_path
ScreenSaverMock(cookie=1, uninhibit_error=None)
    Context manager: org.freedesktop.ScreenSaver at /org/freedesktop/ScreenSaver
    on the session bus, with Inhibit (ss)->u answering `cookie` and UnInhibit
    (u) failing with `uninhibit_error` when given.
  .set_cookie(cookie), .set_uninhibit_error(message or None)
  .calls() -> list of (method, args) from the mock's call log
  .clear_calls()
PowerManagementMock()
    Context manager: org.freedesktop.PowerManagement with the interface
    org.freedesktop.PowerManagement.Inhibit at its /Inhibit object, as Xfce's
    power manager serves it: Inhibit (ss)->u hands out cookies, UnInhibit (u)
    refuses one it did not hand out, HasInhibit ()->b. Like ScreenSaverMock
    it cannot see callers leave the bus.
  .has_inhibit() -> bool; .calls(), .clear_calls()
GnomeSession()
    Context manager: GNOME's real session manager (gnome-session-binary
    --builtin, no components, private XDG_CONFIG_HOME) owning
    org.gnome.SessionManager on the session bus; ended by its pid.
  .is_inhibited(flags) -> bool
  .inhibitors() -> list of {"app_id", "flags", "reason", "xid"}
"""

import json
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
# The application id, from the build file that names everything after it.
APPLICATION_ID = re.search(r'^set\(APPLICATION_ID "([^"]+)"\)$',
                           (REPO / "CMakeLists.txt").read_text(), re.M).group(1)
# The system interpreter: python3-dbusmock is installed for it only.
SYSTEM_PYTHON = "/usr/bin/python3"

KEEP_ALIVE_CHANNEL = "tarn_glass/system_keep_alive"
WINDOW_CONTROL_CHANNEL = "tarn_glass/window_control"
DEEP_LINK_CHANNEL = "ferrow-dadira/deep_link"

_SANITIZER_MARKERS = (
    "ERROR: AddressSanitizer",
    "ERROR: LeakSanitizer",
    "runtime error:",
)


def executable_path():
    bundle = os.environ.get("FERROW_BUNDLE") or str(REPO / "build" / "bundle")
    return str(Path(bundle) / "ferrow_dadira")


def _make_env(extra):
    env = dict(os.environ)
    for key, value in (extra or {}).items():
        if value is None:
            env.pop(key, None)
        else:
            env[key] = str(value)
    return env


def wait_until(fn, timeout=10, interval=0.05, message=None):
    """Polls fn until it returns a truthy value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(
                "%s: not reached within %ss (last value %r)"
                % (message or getattr(fn, "__name__", "condition"), timeout, value))
        time.sleep(interval)


# ---------------------------------------------------------------------------
# The app


def _connect_when_listening(path, timeout, check, timeout_message):
    """A socket connected to the Unix socket at `path` once something listens
    there; `check` runs before each try and may raise."""
    deadline = time.monotonic() + timeout
    while True:
        check()
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sock.connect(path)
            return sock
        except OSError:
            sock.close()
        if time.monotonic() >= deadline:
            raise TimeoutError(timeout_message())
        time.sleep(0.05)


class App:
    def __init__(self, args=(), env=None, executable=None, startup_timeout=30):
        self.args = list(args)
        self.extra_env = dict(env or {})
        self.executable = executable or executable_path()
        self.startup_timeout = startup_timeout
        self.proc = None
        self.events = []
        self._replies = {}
        self._next_id = 1
        self._cond = threading.Condition()
        self._sock = None
        self._threads = []
        self._stdout = []
        self._stderr = []
        self._tmpdir = None
        self.socket_path = None

    # -- lifecycle

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, exc_type, exc, tb):
        self.close()
        if exc_type is None:
            report = self.sanitizer_report()
            if report:
                raise AssertionError("sanitizer report:\n" + report)
        return False

    def start(self):
        self._tmpdir = tempfile.mkdtemp(prefix="ferrow-e2e-")
        self.socket_path = os.path.join(self._tmpdir, "engine.sock")
        env = _make_env(self.extra_env)
        env["FL_DEV_ENGINE_SOCKET"] = self.socket_path
        self.proc = subprocess.Popen(
            [self.executable] + self.args, env=env, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self._pump(self.proc.stdout, self._stdout)
        self._pump(self.proc.stderr, self._stderr)
        try:
            self._connect()
        except BaseException:
            self.close()
            raise

    def _pump(self, stream, sink):
        def run():
            for raw in iter(stream.readline, b""):
                with self._cond:
                    sink.append(raw.decode("utf-8", "replace"))
                    self._cond.notify_all()
            stream.close()
        thread = threading.Thread(target=run, daemon=True)
        thread.start()
        self._threads.append(thread)

    def _connect(self):
        def check_alive():
            if self.proc.poll() is not None:
                self._join_pumps()
                raise RuntimeError(
                    "%s exited with %s before its socket accepted:\n%s"
                    % (self.executable, self.proc.returncode, self.stderr_text))
        self._attach(_connect_when_listening(
            self.socket_path, self.startup_timeout, check_alive,
            lambda: "the control socket did not accept within %ss"
            % self.startup_timeout))

    def _attach(self, sock):
        self._sock = sock
        thread = threading.Thread(target=self._read_socket, daemon=True)
        thread.start()
        self._threads.append(thread)

    def _read_socket(self):
        buffer = b""
        sock = self._sock
        while True:
            try:
                chunk = sock.recv(65536)
            except OSError:
                chunk = b""
            if not chunk:
                break
            buffer += chunk
            while b"\n" in buffer:
                line, buffer = buffer.split(b"\n", 1)
                if not line.strip():
                    continue
                message = json.loads(line.decode("utf-8"))
                with self._cond:
                    if "event" in message and "id" not in message:
                        self.events.append(message)
                    else:
                        self._replies[message.get("id")] = message
                    self._cond.notify_all()
        with self._cond:
            self._socket_closed = True
            self._cond.notify_all()

    _socket_closed = False

    def _join_pumps(self, timeout=5):
        for thread in self._threads:
            thread.join(timeout)

    def _close_windows(self, timeout=15):
        """Ends the app the way a user would: every view's window closed, so
        that it runs its shutdown (and, under AddressSanitizer, the leak
        check). Returns whether it exited."""
        try:
            views = self.state()["views"]
            for view in sorted(views, key=lambda v: v["viewId"], reverse=True):
                self.request("closeView", viewId=view["viewId"])
            self.proc.wait(timeout)
            return True
        except (AssertionError, OSError, TimeoutError, subprocess.TimeoutExpired):
            return False

    def close(self):
        if self._sock is not None and self.running():
            self._close_windows()
        if self._sock is not None:
            try:
                self._sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self._sock.close()
            self._sock = None
        if self.proc is not None and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(10)
        self._join_pumps()
        if self._tmpdir is not None:
            shutil.rmtree(self._tmpdir, ignore_errors=True)
            self._tmpdir = None

    def wait_exit(self, timeout=10):
        """Waits for the process to end by itself; returns its status."""
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the app did not exit within %ss" % timeout)
        self._join_pumps()
        return code

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    # -- output

    @property
    def stderr_text(self):
        with self._cond:
            return "".join(self._stderr)

    @property
    def stdout_text(self):
        with self._cond:
            return "".join(self._stdout)

    @property
    def log_lines(self):
        return self.stderr_text.splitlines()

    def wait_log(self, text, timeout=10):
        """Waits until a line of stderr contains `text`; returns the line."""
        def find():
            for line in self.log_lines:
                if text in line:
                    return line
            return None
        return wait_until(find, timeout, message="log line %r" % text)

    def gtk_warnings(self):
        """Lines of stderr that GLib logged at warning or critical level."""
        return [line for line in self.log_lines
                if "-WARNING **" in line or "-CRITICAL **" in line]

    def sanitizer_report(self):
        text = self.stderr_text
        for marker in _SANITIZER_MARKERS:
            index = text.find(marker)
            if index >= 0:
                return text[max(0, text.rfind("\n", 0, index)):]
        return None

    # -- requests

    def send_request(self, op, **fields):
        if self._sock is None:
            raise RuntimeError("not connected")
        with self._cond:
            request_id = self._next_id
            self._next_id += 1
        message = dict(fields)
        message["id"] = request_id
        message["op"] = op
        self._sock.sendall((json.dumps(message) + "\n").encode("utf-8"))
        return request_id

    def has_reply(self, request_id):
        with self._cond:
            return request_id in self._replies

    def request(self, op, timeout=10, **fields):
        request_id = self.send_request(op, **fields)
        message = dict(fields, id=request_id, op=op)
        deadline = time.monotonic() + timeout
        with self._cond:
            while request_id not in self._replies:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError("no reply to %r within %ss" % (message, timeout))
                if self._socket_closed:
                    raise ConnectionError("socket closed before the reply to %r; "
                                          "stderr:\n%s" % (message, "".join(self._stderr)))
                self._cond.wait(left)
            return self._replies.pop(request_id)

    def send_raw(self, data):
        """Sends bytes as they are (for malformed-request checks)."""
        self._sock.sendall(data)

    def wait_reply(self, request_id, timeout=10):
        deadline = time.monotonic() + timeout
        with self._cond:
            while request_id not in self._replies:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError("no reply with id %r" % (request_id,))
                self._cond.wait(left)
            return self._replies.pop(request_id)

    def _result(self, op, **fields):
        reply = self.request(op, **fields)
        if "failure" in reply:
            raise AssertionError("%s failed: %s" % (op, reply["failure"]))
        return reply.get("result")

    def invoke(self, channel, method, args=None, timeout=10):
        fields = {"channel": channel, "method": method}
        if args is not None:
            fields["args"] = args
        return self.request("invoke", timeout=timeout, **fields)

    def invoke_value(self, channel, method, args=None, timeout=10):
        reply = self.invoke(channel, method, args, timeout)
        if reply.get("response") != "success":
            raise AssertionError("%s.%s answered %r" % (channel, method, reply))
        return reply.get("value")

    def state(self):
        return self._result("state")

    def history(self):
        return self._result("history")

    def open_view(self, **fields):
        return self._result("openView", **fields)

    def close_view(self, view_id):
        return self._result("closeView", viewId=view_id)

    def emit_first_frame(self, view_id):
        return self._result("emitFirstFrame", viewId=view_id)

    def view(self, view_id):
        for view in self.state()["views"]:
            if view["viewId"] == view_id:
                return view
        return None

    def main_window(self, timeout=10):
        """XID of view 0's window, once the view is realized."""
        def xid():
            view = self.view(0)
            return view and view.get("window")
        return wait_until(xid, timeout, message="main window XID")

    # -- events

    def wait_event(self, predicate, timeout=10, since=0):
        deadline = time.monotonic() + timeout
        with self._cond:
            index = since
            while True:
                while index < len(self.events):
                    event = self.events[index]
                    index += 1
                    if predicate(event):
                        return event
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("no matching event within %ss; events: %r"
                                         % (timeout, self.events[since:]))
                self._cond.wait(left)

    def wait_method_call(self, channel, method, timeout=10, since=0):
        return self.wait_event(
            lambda e: e.get("event") == "methodCall" and e.get("channel") == channel
            and e.get("method") == method, timeout, since)


class _ProcessById:
    """What App needs of a Popen, for a process this one did not start."""

    def __init__(self, pid):
        self.pid = pid
        self.returncode = None

    def poll(self):
        if self.returncode is None:
            try:
                with open("/proc/%d/stat" % self.pid) as stat:
                    state = stat.read().rpartition(")")[2].split()[0]
            except OSError:
                state = "gone"
            if state in ("gone", "Z", "X"):
                self.returncode = -1
        return self.returncode

    def wait(self, timeout=None):
        deadline = None if timeout is None else time.monotonic() + timeout
        while self.poll() is None:
            if deadline is not None and time.monotonic() >= deadline:
                raise subprocess.TimeoutExpired(str(self.pid), timeout)
            time.sleep(0.05)
        return self.returncode

    def send_signal(self, sig):
        if self.poll() is None:
            os.kill(self.pid, sig)

    def kill(self):
        self.send_signal(signal.SIGKILL)


class LaunchedApp(App):
    def __init__(self, socket_path, log_path, startup_timeout=30):
        super().__init__(startup_timeout=startup_timeout)
        self.socket_path = str(socket_path)
        self.log_path = str(log_path)

    def start(self):
        sock = _connect_when_listening(
            self.socket_path, self.startup_timeout, lambda: None,
            lambda: "nothing listened on %s within %ss; output:\n%s"
            % (self.socket_path, self.startup_timeout, self.stderr_text))
        credentials = sock.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED,
                                      struct.calcsize("3i"))
        self.proc = _ProcessById(struct.unpack("3i", credentials)[0])
        self._attach(sock)

    @property
    def stderr_text(self):
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as log:
                return log.read()
        except OSError:
            return ""


def launch(args=(), env=None, timeout=30, executable=None):
    """Runs one launch of the executable to completion."""
    proc = subprocess.run([executable or executable_path()] + list(args),
                          env=_make_env(env), stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout)
    return (proc.returncode, proc.stdout.decode("utf-8", "replace"),
            proc.stderr.decode("utf-8", "replace"))


# ---------------------------------------------------------------------------
# X11


def _run(argv, timeout=10, check=True):
    proc = subprocess.run(argv, capture_output=True, timeout=timeout)
    if check and proc.returncode != 0:
        raise RuntimeError("%s failed (%s): %s" % (
            " ".join(argv), proc.returncode, proc.stderr.decode("utf-8", "replace")))
    return proc.stdout.decode("utf-8", "replace")


def _xid_arg(xid):
    return hex(int(xid))


def _parse_xprop(output, prop):
    """The value of one property in xprop's output, None if unset."""
    for line in output.splitlines():
        if not line.startswith(prop):
            continue
        rest = line[len(prop):]
        if "not found" in rest or "no such atom" in rest:
            return None
        if rest.startswith("("):
            rest = rest[rest.find(")") + 1:]
        if rest.startswith(" = ") or rest.startswith(" ="):
            return rest.split("=", 1)[1].strip()
        if rest.startswith(":"):
            # Multi-line values (WM_NORMAL_HINTS) follow on indented lines.
            first = rest[1:].strip()
            following = output.split(line, 1)[1]
            return "\n".join([first] + [l.strip() for l in following.splitlines()
                                        if l.startswith("\t") or l.startswith(" ")]).strip()
    return None


def _split_values(value):
    if value is None:
        return None
    if value == "":
        return []
    return [item.strip() for item in value.split(",")]


def xprop(xid, prop):
    out = _run(["xprop", "-id", _xid_arg(xid), prop], check=False)
    return _parse_xprop(out, prop)


def xprop_values(xid, prop):
    return _split_values(xprop(xid, prop))


def root_prop(prop):
    return _parse_xprop(_run(["xprop", "-root", prop], check=False), prop)


def root_prop_values(prop):
    return _split_values(root_prop(prop))


def work_area():
    """The first desktop's work area (x, y, width, height); the whole screen
    when the window manager sets none (kwin_x11 may not), as GDK takes it."""
    values = root_prop_values("_NET_WORKAREA")
    if values:
        return tuple(int(v) for v in values[:4])
    width, height = (int(n) for n in subprocess.run(
        ["xdotool", "getdisplaygeometry"], check=True, timeout=10,
        capture_output=True, text=True).stdout.split())
    return (0, 0, width, height)


def _window_id(value):
    if value is None:
        return None
    match = re.search(r"window id # (0x[0-9a-fA-F]+)", value)
    if not match:
        match = re.match(r"(0x[0-9a-fA-F]+)", value)
    if not match:
        return None
    xid = int(match.group(1), 16)
    return xid or None


def window_title(xid):
    value = xprop(xid, "_NET_WM_NAME") or xprop(xid, "WM_NAME")
    if value is None:
        return None
    return parse_gvariant(value) if value.startswith('"') else value


def map_state(xid):
    out = _run(["xwininfo", "-id", _xid_arg(xid)], check=False)
    match = re.search(r"Map State:\s*(\w+)", out)
    return match.group(1) if match else None


def window_mapped(xid):
    return map_state(xid) == "IsViewable"


def net_wm_state(xid):
    return xprop_values(xid, "_NET_WM_STATE") or []


def active_window():
    return _window_id(root_prop("_NET_ACTIVE_WINDOW"))


def frame_extents(xid):
    values = xprop_values(xid, "_NET_FRAME_EXTENTS")
    return tuple(int(v) for v in values) if values else None


# WM_NORMAL_HINTS lines read "<program|user> ... <what>: <numbers>"; the key
# is the last words, prefixed with "user_" for the user's own values.
_NORMAL_HINT_KEYS = {
    "minimum size": "min_size",
    "maximum size": "max_size",
    "base size": "base_size",
    "resize increment": "resize_increment",
    "size": "size",
    "location": "location",
    "minimum aspect ratio": "min_aspect",
    "maximum aspect ratio": "max_aspect",
}


def wm_normal_hints(xid):
    value = xprop(xid, "WM_NORMAL_HINTS")
    if value is None:
        return None
    hints = {}
    for line in value.splitlines():
        label, _, rest = line.strip().partition(":")
        words = label.split()
        if label == "window gravity":
            hints["gravity"] = rest.strip()
        elif len(words) > 2 and words[0] in ("program", "user"):
            key = _NORMAL_HINT_KEYS.get(" ".join(words[2:]))
            if key:
                if words[0] == "user":
                    key = "user_" + key
                hints[key] = tuple(int(n) for n in re.findall(r"-?\d+", rest))
    return hints


def motif_hints(xid):
    values = xprop_values(xid, "_MOTIF_WM_HINTS")
    return tuple(int(v, 0) for v in values) if values else None


def decorated(xid):
    """False when the Motif hints switch the window manager's decoration off."""
    hints = motif_hints(xid)
    if hints is None or not hints[0] & 0x2:  # MWM_HINTS_DECORATIONS
        return True
    return hints[2] != 0


def opacity(xid):
    values = xprop_values(xid, "_NET_WM_WINDOW_OPACITY")
    if not values:
        return None
    return int(values[0], 0) / 0xFFFFFFFF


def transient_for(xid):
    return _window_id(xprop(xid, "WM_TRANSIENT_FOR"))


def geometry(xid):
    out = _run(["xwininfo", "-id", _xid_arg(xid)])
    fields = {}
    for key, pattern in (("x", r"Absolute upper-left X:\s*(-?\d+)"),
                         ("y", r"Absolute upper-left Y:\s*(-?\d+)"),
                         ("width", r"Width:\s*(\d+)"),
                         ("height", r"Height:\s*(\d+)")):
        fields[key] = int(re.search(pattern, out).group(1))
    return fields


def find_windows_by_title(title, visible_only=False):
    argv = ["xdotool", "search"]
    if visible_only:
        argv.append("--onlyvisible")
    argv += ["--name", "^%s$" % re.escape(title)]
    out = _run(argv, check=False)
    return [int(line) for line in out.split()]


def window_icon(xid):
    # Read as plain numbers: xprop draws this property as text art by default.
    value = _parse_xprop(_run(["xprop", "-id", _xid_arg(xid), "-f", "_NET_WM_ICON",
                               "32c", "_NET_WM_ICON"], check=False), "_NET_WM_ICON")
    if not value:
        return None
    numbers = [int(n) for n in value.split(",")]
    width, height = numbers[0], numbers[1]
    return width, height, numbers[2:2 + width * height]


def screenshot(path, xid=None):
    _run(["import", "-window", _xid_arg(xid) if xid else "root", str(path)], timeout=30)
    return str(path)


# ---------------------------------------------------------------------------
# D-Bus


def gv(value):
    """GVariant text for a Python value (str, bool, int, float, list)."""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, str):
        return "'" + value.replace("\\", "\\\\").replace("'", "\\'") + "'"
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(gv(v) for v in value) + "]"
    raise TypeError("no GVariant text for %r" % (value,))


_TYPE_WORDS = ("boolean", "byte", "int16", "uint16", "int32", "uint32", "int64",
               "uint64", "handle", "double", "string", "objectpath", "signature")


class _GVariantParser:
    def __init__(self, text):
        self.text = text
        self.pos = 0

    def fail(self, what):
        raise ValueError("cannot parse GVariant text at %d (%s): %r"
                         % (self.pos, what, self.text))

    def skip_space(self):
        while self.pos < len(self.text) and self.text[self.pos].isspace():
            self.pos += 1

    def peek(self):
        self.skip_space()
        return self.text[self.pos] if self.pos < len(self.text) else ""

    def expect(self, char):
        if self.peek() != char:
            self.fail("expected %r" % char)
        self.pos += 1

    def word(self):
        match = re.compile(r"[A-Za-z_][A-Za-z0-9_]*").match(self.text, self.pos)
        return match.group(0) if match else ""

    def sequence(self, close):
        items = []
        while self.peek() != close:
            items.append(self.value())
            if self.peek() == ",":
                self.pos += 1
            elif self.peek() != close:
                self.fail("expected , or %r" % close)
        self.pos += 1
        return items

    def string(self):
        quote = self.text[self.pos]
        self.pos += 1
        out = []
        escapes = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", "'": "'", '"': '"',
                   "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
        while self.pos < len(self.text):
            char = self.text[self.pos]
            self.pos += 1
            if char == quote:
                return "".join(out)
            if char == "\\":
                nxt = self.text[self.pos]
                self.pos += 1
                if nxt in ("u", "U"):
                    size = 4 if nxt == "u" else 8
                    out.append(chr(int(self.text[self.pos:self.pos + size], 16)))
                    self.pos += size
                else:
                    out.append(escapes.get(nxt, nxt))
            else:
                out.append(char)
        self.fail("unterminated string")

    def value(self):
        char = self.peek()
        if char == "@":  # a type annotation
            while self.pos < len(self.text) and not self.text[self.pos].isspace():
                self.pos += 1
            return self.value()
        if char == "(":
            self.pos += 1
            return tuple(self.sequence(")"))
        if char == "[":
            self.pos += 1
            return self.sequence("]")
        if char == "<":
            self.pos += 1
            inner = self.value()
            self.expect(">")
            return inner
        if char == "{":
            self.pos += 1
            result = {}
            while self.peek() != "}":
                key = self.value()
                if self.peek() not in (":", ","):
                    self.fail("expected : in a dictionary")
                self.pos += 1
                result[key] = self.value()
                if self.peek() == ",":
                    self.pos += 1
            self.pos += 1
            return result
        if char in ("'", '"'):
            return self.string()
        word = self.word()
        if word:
            if word in _TYPE_WORDS:
                self.pos += len(word)
                return self.value()
            if word in ("true", "false"):
                self.pos += len(word)
                return word == "true"
            if word == "nothing":
                self.pos += len(word)
                return None
            if word == "just":
                self.pos += len(word)
                return self.value()
            if word == "b" and self.text[self.pos + 1:self.pos + 2] in ("'", '"'):
                self.pos += 1
                return self.string().encode("latin-1")
        match = re.compile(r"[-+]?(0x[0-9a-fA-F]+|\d+\.?\d*([eE][-+]?\d+)?|inf|nan)").match(
            self.text, self.pos)
        if not match:
            self.fail("unexpected text")
        self.pos = match.end()
        number = match.group(0)
        if number.lstrip("+-").startswith("0x"):
            return int(number, 16)
        if re.fullmatch(r"[-+]?\d+", number):
            return int(number)
        return float(number)


def parse_gvariant(text):
    parser = _GVariantParser(text.strip())
    value = parser.value()
    if parser.peek():
        parser.fail("trailing text")
    return value


def gdbus_call(bus, dest, path, method, *args, timeout=10):
    """Calls a D-Bus method with gdbus; args are GVariant text. Returns the
    reply tuple parsed; raises RuntimeError with the D-Bus error on failure."""
    argv = ["gdbus", "call", "--" + bus, "--dest", dest, "--object-path", path,
            "--method", method, "--timeout", str(int(timeout))] + list(args)
    out = _run(argv, timeout=timeout + 5)
    return parse_gvariant(out) if out.strip() else ()


def name_has_owner(bus, name):
    reply = gdbus_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                       "org.freedesktop.DBus.NameHasOwner", gv(name))
    return bool(reply[0])


def end_process(proc):
    """Terminates a child process (then kills it) and reaps it."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(10)


class _Service:
    """A helper process as a context manager: start() on entry, stop() on
    exit."""

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


class _DBusMock(_Service):
    bus = "session"
    name = ""
    path = ""

    def __init__(self, argv):
        self._argv = argv
        self.proc = None
        self._log = None

    def start(self, timeout=20):
        if name_has_owner(self.bus, self.name):
            raise RuntimeError("%s is already owned on the %s bus" % (self.name, self.bus))
        self._log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([SYSTEM_PYTHON, "-m", "dbusmock"] + self._argv,
                                     stdin=subprocess.DEVNULL, stdout=self._log,
                                     stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout
        while not name_has_owner(self.bus, self.name):
            if self.proc.poll() is not None or time.monotonic() >= deadline:
                output = self.output()
                self.stop()
                raise RuntimeError("dbusmock for %s did not start:\n%s" % (self.name, output))
            time.sleep(0.05)

    def output(self):
        if self._log is None:
            return ""
        self._log.seek(0)
        return self._log.read().decode("utf-8", "replace")

    def stop(self):
        if self.proc is not None:
            end_process(self.proc)
            self.proc = None
            # The name is released with the process; wait so that the next
            # mock can take it.
            wait_until(lambda: not name_has_owner(self.bus, self.name), 10,
                       message="%s released" % self.name)
        if self._log is not None:
            self._log.close()
            self._log = None

    def call(self, method, *args, timeout=10):
        return gdbus_call(self.bus, self.name, self.path, method, *args, timeout=timeout)

    def add_method(self, interface, name, in_sig, out_sig, code):
        self.call("org.freedesktop.DBus.Mock.AddMethod", gv(interface), gv(name),
                  gv(in_sig), gv(out_sig), gv(code))

    def calls(self):
        """The mock's call log: [(method, args), ...], oldest first."""
        (log,) = self.call("org.freedesktop.DBus.Mock.GetCalls")
        return [(method, list(args)) for _stamp, method, args in log]

    def clear_calls(self):
        self.call("org.freedesktop.DBus.Mock.ClearCalls")


def _raise_code(message, error_name):
    return "raise dbus.exceptions.DBusException(%r, name=%r)" % (message, error_name)


class LogindMock(_DBusMock):
    """python3-dbusmock's logind template on the system bus."""
    bus = "system"
    name = "org.freedesktop.login1"
    path = "/org/freedesktop/login1"
    interface = "org.freedesktop.login1.Manager"

    def __init__(self, inhibit_error=None):
        super().__init__(["--system", "--template", "logind"])
        self._inhibit_error = inhibit_error

    def start(self, timeout=20):
        super().start(timeout)
        if self._inhibit_error:
            self.fail_inhibit(self._inhibit_error)

    def fail_inhibit(self, message):
        self.add_method(self.interface, "Inhibit", "ssss", "h",
                        _raise_code(message, "org.freedesktop.DBus.Error.AccessDenied"))

    def hang_inhibit(self):
        """Inhibit blocks the mock for a minute: it owns its name and answers
        nobody."""
        self.add_method(self.interface, "Inhibit", "ssss", "h", "time.sleep(60)")

    def list_inhibitors(self, mode=None):
        (inhibitors,) = self.call(self.interface + ".ListInhibitors")
        return [tuple(i) for i in inhibitors if mode is None or i[3] == mode]

    def emit_prepare_for_sleep(self, active):
        self.call("org.freedesktop.DBus.Mock.EmitSignal", gv(self.interface),
                  gv("PrepareForSleep"), gv("b"), "[<%s>]" % gv(bool(active)))


class BusProxy(_Service):
    """xdg-dbus-proxy in front of a bus."""

    def __init__(self, address, socket_path, *options):
        self.socket_path = socket_path
        self.address = "unix:path=" + socket_path
        self._argv = ["xdg-dbus-proxy", address, socket_path] + list(options)
        self.proc = None

    def start(self, timeout=20):
        # The proxy writes a byte to --fd once it listens, and ends when the
        # other end of that pipe closes.
        self._ready, ready_write = os.pipe()
        try:
            self.proc = subprocess.Popen(
                self._argv + ["--fd=%d" % ready_write], pass_fds=(ready_write,),
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        finally:
            os.close(ready_write)
        readable, _, _ = select.select([self._ready], [], [], timeout)
        if not readable or not os.read(self._ready, 1):
            self.stop()
            raise RuntimeError("xdg-dbus-proxy did not start")

    def stop(self):
        if self.proc is None:
            return
        end_process(self.proc)
        self.proc = None
        os.close(self._ready)
        if os.path.exists(self.socket_path):
            os.unlink(self.socket_path)


class ScreenSaverMock(_DBusMock):
    """org.freedesktop.ScreenSaver on the session bus."""
    bus = "session"
    name = "org.freedesktop.ScreenSaver"
    path = "/org/freedesktop/ScreenSaver"
    interface = "org.freedesktop.ScreenSaver"

    def __init__(self, cookie=1, uninhibit_error=None):
        super().__init__(["--session", self.name, self.path, self.interface])
        self._cookie = cookie
        self._uninhibit_error = uninhibit_error

    def start(self, timeout=20):
        super().start(timeout)
        self.set_cookie(self._cookie)
        self.set_uninhibit_error(self._uninhibit_error)

    def set_cookie(self, cookie):
        self._cookie = cookie
        self.add_method(self.interface, "Inhibit", "ss", "u",
                        "ret = dbus.UInt32(%d)" % int(cookie))

    def set_uninhibit_error(self, message):
        self._uninhibit_error = message
        code = _raise_code(message, "org.freedesktop.DBus.Error.Failed") if message else ""
        self.add_method(self.interface, "UnInhibit", "u", "", code)


class PowerManagementMock(_DBusMock):
    """org.freedesktop.PowerManagement's inhibit interface on the session
    bus."""
    bus = "session"
    name = "org.freedesktop.PowerManagement"
    path = "/org/freedesktop/PowerManagement/Inhibit"
    interface = "org.freedesktop.PowerManagement.Inhibit"
    _ERROR = "org.freedesktop.PowerManagement.Inhibit.Error"

    def __init__(self):
        super().__init__(["--session", self.name, self.path, self.interface])

    def start(self, timeout=20):
        super().start(timeout)
        self.add_method(self.interface, "Inhibit", "ss", "u",
                        "self.pm_cookies = getattr(self, 'pm_cookies', set())\n"
                        "self.pm_next = getattr(self, 'pm_next', 0) + 1\n"
                        "self.pm_cookies.add(self.pm_next)\n"
                        "ret = dbus.UInt32(self.pm_next)")
        self.add_method(self.interface, "UnInhibit", "u", "",
                        "if args[0] not in getattr(self, 'pm_cookies', set()):\n"
                        "    " + _raise_code("Invalid cookie", self._ERROR) + "\n"
                        "self.pm_cookies.discard(args[0])")
        self.add_method(self.interface, "HasInhibit", "", "b",
                        "ret = bool(getattr(self, 'pm_cookies', set()))")

    def has_inhibit(self):
        (held,) = self.call(self.interface + ".HasInhibit")
        return held


class GnomeSession(_Service):
    """gnome-session-binary as GNOME's session manager alone: a builtin
    session with no required components and an empty autostart directory.
    It needs a system bus; the test desktop's private one does."""
    name = "org.gnome.SessionManager"
    path = "/org/gnome/SessionManager"
    session = "ferrow-e2e"

    def __init__(self):
        self.proc = None
        self._dir = None

    def start(self, timeout=20):
        if name_has_owner("session", self.name):
            raise RuntimeError("%s is already owned on the session bus" % self.name)
        self._dir = tempfile.mkdtemp(prefix="ferrow-gnome-session-")
        config = os.path.join(self._dir, "config")
        sessions = os.path.join(config, "gnome-session", "sessions")
        autostart = os.path.join(self._dir, "autostart")
        os.makedirs(sessions)
        os.makedirs(autostart)
        with open(os.path.join(sessions, self.session + ".session"), "w") as f:
            f.write("[GNOME Session]\nName=%s\nRequiredComponents=\n" % self.session)
        env = dict(os.environ, XDG_CURRENT_DESKTOP="GNOME", XDG_CONFIG_HOME=config)
        self._log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            ["/usr/libexec/gnome-session-binary", "--builtin",
             "--session=" + self.session, "--disable-acceleration-check",
             "--autostart=" + autostart],
            env=env, stdin=subprocess.DEVNULL, stdout=self._log,
            stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout
        while not name_has_owner("session", self.name):
            if self.proc.poll() is not None or time.monotonic() >= deadline:
                self._log.seek(0)
                output = self._log.read().decode("utf-8", "replace")
                self.stop()
                raise RuntimeError("gnome-session did not start:\n" + output)
            time.sleep(0.05)

    def stop(self):
        if self.proc is not None:
            end_process(self.proc)
            self.proc = None
            wait_until(lambda: not name_has_owner("session", self.name), 10,
                       message="%s released" % self.name)
            self._log.close()
        if self._dir is not None:
            shutil.rmtree(self._dir, ignore_errors=True)
            self._dir = None

    def _call(self, path, method, *args):
        return gdbus_call("session", self.name, path, method, *args)

    def is_inhibited(self, flags):
        (inhibited,) = self._call(self.path, "org.gnome.SessionManager.IsInhibited",
                                  "uint32 %d" % flags)
        return inhibited

    def inhibitors(self):
        (paths,) = self._call(self.path, "org.gnome.SessionManager.GetInhibitors")
        found = []
        for path in paths:
            def get(method):
                return self._call(path, "org.gnome.SessionManager.Inhibitor." + method)[0]
            found.append({"app_id": get("GetAppId"), "flags": get("GetFlags"),
                          "reason": get("GetReason"), "xid": get("GetToplevelXid")})
        return found
