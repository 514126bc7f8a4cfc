"""The keep-alive channel of the built application against real D-Bus mocks:
the logind inhibitor's lifetime, GNOME's real session manager and a
freedesktop power-manager stand-in taken beside it, the warnings without a
system bus, the sleep and wake notifications sent to Dart with the delay lock
that holds sleep back until Dart answers, and keep-alive inside a sandbox
through the real desktop portal."""

import contextlib
import os
import signal
import subprocess
import tempfile
import time
import unittest

from harness import (APPLICATION_ID, App, BusProxy, GnomeSession, KEEP_ALIVE_CHANNEL,
                     LogindMock, PowerManagementMock, ScreenSaverMock, end_process,
                     name_has_owner, wait_until)

REASON = "Keep blueprint runtime active while TarnGlass is open."
INHIBITOR = ("sleep", "TarnGlass", REASON, "block")
DELAY_INHIBITOR = ("sleep", "TarnGlass", REASON, "delay")
# How long sleep waits for Dart's answer at most.
SLEEP_WAIT_CAP = 3.0
DEAD_BUS = "unix:path=/nonexistent/ferrow-keep-alive-e2e"


def wait_for_keep_alive_channel(app):
    # Activation subscribes to the sleep signal right after installing the
    # channel's handler, in the same main-loop turn.
    wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"], 30,
               message="keep-alive channel")


def warning_lines(app, text):
    return [line for line in app.log_lines if text in line]


def shell_block_locks(logind):
    # GNOME's session manager copies its inhibitors into logind, and other
    # locks of the shell's are not in "block" mode.
    return [i[:4] for i in logind.list_inhibitors() if i[1] == INHIBITOR[1] and i[3] == "block"]


def delay_locks(logind):
    return [i for i in logind.list_inhibitors("delay") if i[:4] == DELAY_INHIBITOR]


def control(app, op, **fields):
    reply = app.request(op, **fields)
    if "failure" in reply:
        raise AssertionError("%s failed: %s" % (op, reply["failure"]))


class LogindInhibitorTest(unittest.TestCase):
    def test_start_stop_and_normal_end(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(shell_block_locks(logind), [INHIBITOR])
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(shell_block_locks(logind), [INHIBITOR])
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), True)

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: not shell_block_locks(logind), message="inhibitor released")
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), False)

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(shell_block_locks(logind), [INHIBITOR])
            app.close_view(0)  # the last window: the application ends
            self.assertEqual(app.wait_exit(30), 0)
            wait_until(lambda: not shell_block_locks(logind), message="inhibitor released")

    def test_sigkill_releases_the_inhibitor(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(len(shell_block_locks(logind)), 1)
            app.proc.send_signal(signal.SIGKILL)
            app.wait_exit(30)
            wait_until(lambda: not shell_block_locks(logind), message="inhibitor released")

    def test_normal_end_releases_the_screen_saver_inhibit(self):
        with LogindMock(inhibit_error="Inhibition refused") as logind, \
                ScreenSaverMock(cookie=42) as screen_saver, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(logind.list_inhibitors(), [])
            self.assertEqual(screen_saver.calls(), [("Inhibit", ["TarnGlass", REASON])])
            wait_until(lambda: warning_lines(
                app, "Failed to acquire logind sleep inhibit: "
                "GDBus.Error:org.freedesktop.DBus.Error.AccessDenied: Inhibition refused"))

            app.close_view(0)
            self.assertEqual(app.wait_exit(30), 0)
            self.assertEqual(screen_saver.calls()[1:], [("UnInhibit", [42])])


class DesktopInhibitorTest(unittest.TestCase):
    """GNOME and Xfce decide idle suspend from their own inhibitors, not
    logind's: the shell takes theirs beside logind's lock."""

    def test_gnome_session_manager_holds_off_suspend(self):
        with LogindMock() as logind, GnomeSession() as gnome, App() as app:
            wait_for_keep_alive_channel(app)
            xid = app.main_window()
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(gnome.inhibitors(), [
                {"app_id": APPLICATION_ID, "flags": 4, "reason": REASON, "xid": xid}])
            self.assertTrue(gnome.is_inhibited(4))
            self.assertEqual(shell_block_locks(logind), [INHIBITOR])

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: not gnome.is_inhibited(4), message="GNOME inhibit released")

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertTrue(gnome.is_inhibited(4))
            app.proc.send_signal(signal.SIGKILL)
            app.wait_exit(30)
            wait_until(lambda: not gnome.is_inhibited(4), message="GNOME inhibit dropped")

    def test_power_manager_holds_off_suspend(self):
        with LogindMock(), PowerManagementMock() as power, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual([c for c in power.calls() if c[0] == "Inhibit"],
                             [("Inhibit", [APPLICATION_ID, REASON])])
            self.assertTrue(power.has_inhibit())
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: not power.has_inhibit(), message="power inhibit released")

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertTrue(power.has_inhibit())
            app.close_view(0)
            self.assertEqual(app.wait_exit(30), 0)
            wait_until(lambda: not power.has_inhibit(), message="power inhibit released")
            # GNOME's absence is no fault; a refused release would be.
            self.assertEqual(warning_lines(app, "GNOME session inhibit"), [])
            self.assertEqual(warning_lines(app, "power management inhibit"), [])


class HungServiceTest(unittest.TestCase):
    def test_the_app_answers_while_logind_hangs(self):
        # logind owns its name and answers nobody: the start waits for it two
        # seconds, then falls back to the screen saver.
        with LogindMock() as logind, ScreenSaverMock(cookie=42), App() as app:
            wait_for_keep_alive_channel(app)
            logind.hang_inhibit()
            started = time.monotonic()
            start = app.send_request("invoke", channel=KEEP_ALIVE_CHANNEL,
                                     method="startKeepAlive")
            longest = 0
            while not app.has_reply(start):
                sent = time.monotonic()
                app.request("state", timeout=5)
                longest = max(longest, time.monotonic() - sent)
            self.assertEqual(app.wait_reply(start).get("value"), True)
            self.assertLess(time.monotonic() - started, 4.5)
            self.assertLess(longest, 0.25)
            app.wait_log("Failed to acquire logind sleep inhibit: No reply within 2000 ms")


class WithoutSystemBusTest(unittest.TestCase):
    def test_warnings_in_order_then_screen_saver(self):
        with ScreenSaverMock(cookie=7) as screen_saver, \
                App(env={"DBUS_SYSTEM_BUS_ADDRESS": DEAD_BUS}) as app:
            wait_for_keep_alive_channel(app)
            signals = "Failed to connect system bus for sleep signals: "
            inhibit = "Failed to connect system bus for sleep inhibit: "
            wait_until(lambda: warning_lines(app, signals), message="activation warning")
            self.assertEqual(warning_lines(app, inhibit), [])

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            wait_until(lambda: warning_lines(app, inhibit), message="inhibit warning")
            relevant = [line for line in app.log_lines
                        if signals in line or inhibit in line]
            self.assertEqual(len(relevant), 3, relevant)
            self.assertIn(signals, relevant[0])
            self.assertIn(signals, relevant[1])
            self.assertIn(inhibit, relevant[2])
            for line in relevant:
                self.assertIn("WARNING", line)
            self.assertEqual(screen_saver.calls(), [("Inhibit", ["TarnGlass", REASON])])


@contextlib.contextmanager
def desktop_portal():
    """Debian's xdg-desktop-portal with its GTK backend on the session bus,
    as a desktop other than GNOME and KDE runs them."""
    env = dict(os.environ, XDG_CURRENT_DESKTOP="GNOME")
    procs = []
    try:
        for name, program in (
                ("org.freedesktop.impl.portal.desktop.gtk", "xdg-desktop-portal-gtk"),
                ("org.freedesktop.portal.Desktop", "xdg-desktop-portal")):
            procs.append(subprocess.Popen(
                ["/usr/libexec/" + program, "-r"], env=env,
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL))
            wait_until(lambda: name_has_owner("session", name), 20,
                       message=name)
        yield
    finally:
        for proc in reversed(procs):
            end_process(proc)


class SandboxedKeepAliveTest(unittest.TestCase):
    def test_the_portal_holds_it(self):
        # As in a Flatpak: no system bus, and a session bus that lets the app
        # reach the portal only.
        with ScreenSaverMock(cookie=42) as screen_saver, desktop_portal(), \
                tempfile.TemporaryDirectory(prefix="ferrow-sandbox-") as tmp, \
                BusProxy(os.environ["DBUS_SESSION_BUS_ADDRESS"],
                         os.path.join(tmp, "bus"), "--filter",
                         "--talk=org.freedesktop.portal.Desktop",
                         "--own=" + APPLICATION_ID) as proxy, \
                App(env={"DBUS_SESSION_BUS_ADDRESS": proxy.address,
                         "DBUS_SYSTEM_BUS_ADDRESS": DEAD_BUS}) as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            # The backend turns the idle request into a screen-saver inhibit.
            wait_until(lambda: [c for c in screen_saver.calls() if c[0] == "Inhibit"],
                       message="screen saver inhibited through the portal")
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), True)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: ("UnInhibit", [42]) in screen_saver.calls(),
                       message="screen saver released")
            # Release at the application's end is the in-process dispose test's.
            self.assertEqual(warning_lines(app, "Failed to release portal inhibit"), [])


class SleepNotificationsTest(unittest.TestCase):
    def test_prepare_for_sleep_reaches_dart(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            since = len(app.events)
            logind.emit_prepare_for_sleep(True)
            event = app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemWillSleep", since=since)
            self.assertIsNone(event["args"])
            logind.emit_prepare_for_sleep(False)
            event = app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemDidWake", since=since)
            self.assertIsNone(event["args"])
            keep_alive_calls = [e["method"] for e in app.events[since:]
                                if e.get("channel") == KEEP_ALIVE_CHANNEL]
            self.assertEqual(keep_alive_calls, ["systemWillSleep", "systemDidWake"])

    def test_sleep_waits_for_darts_answer(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            wait_until(lambda: len(delay_locks(logind)) == 1, message="delay lock at start")
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(len(delay_locks(logind)), 1)
            control(app, "listen", channel=KEEP_ALIVE_CHANNEL, reply="held")

            # Dart answers half a second after the signal: sleep waits for it.
            since = len(app.events)
            signalled = time.monotonic()
            logind.emit_prepare_for_sleep(True)
            call = app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemWillSleep", since=since)
            while time.monotonic() - signalled < 0.5:
                self.assertEqual(len(delay_locks(logind)), 1, "released before the answer")
                time.sleep(0.05)
            control(app, "respond", callId=call["callId"], response="success")
            wait_until(lambda: not delay_locks(logind), message="released after the answer")
            self.assertLess(time.monotonic() - signalled, SLEEP_WAIT_CAP - 0.5)
            self.assertEqual(len(shell_block_locks(logind)), 1)

            logind.emit_prepare_for_sleep(False)
            app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemDidWake", since=since)
            wait_until(lambda: len(delay_locks(logind)) == 1, message="taken again after wake")

            # No answer at all: sleep waits the cap, not longer.
            since = len(app.events)
            signalled = time.monotonic()
            logind.emit_prepare_for_sleep(True)
            app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemWillSleep", since=since)
            wait_until(lambda: not delay_locks(logind), 15, message="released at the cap")
            waited = time.monotonic() - signalled
            self.assertGreaterEqual(waited, SLEEP_WAIT_CAP - 0.1)
            self.assertLess(waited, SLEEP_WAIT_CAP + 5)

            logind.emit_prepare_for_sleep(False)
            wait_until(lambda: len(delay_locks(logind)) == 1, message="taken again after wake")


if __name__ == "__main__":
    unittest.main()
