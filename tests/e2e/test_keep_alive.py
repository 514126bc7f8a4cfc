"""The keep-alive channel of the built application against real D-Bus mocks:
the logind inhibitor's lifetime, the warnings without a system bus, and the
sleep and wake notifications sent to Dart."""

import signal
import unittest

from harness import (App, KEEP_ALIVE_CHANNEL, LogindMock, ScreenSaverMock,
                     wait_until)

REASON = "Keep blueprint runtime active while TarnGlass is open."
INHIBITOR = ("sleep", "TarnGlass", REASON, "block")
DEAD_BUS = "unix:path=/nonexistent/ferrow-keep-alive-e2e"


def wait_for_keep_alive_channel(app):
    # Activation subscribes to the sleep signal right after installing the
    # channel's handler, in the same main-loop turn.
    wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"], 30,
               message="keep-alive channel")


def warning_lines(app, text):
    return [line for line in app.log_lines if text in line]


class LogindInhibitorTest(unittest.TestCase):
    def test_start_stop_and_normal_end(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual([i[:4] for i in logind.list_inhibitors()], [INHIBITOR])
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(len(logind.list_inhibitors()), 1)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), True)

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: not logind.list_inhibitors(), message="inhibitor released")
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), False)

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(len(logind.list_inhibitors()), 1)
            app.close_view(0)  # the last window: the application ends
            self.assertEqual(app.wait_exit(30), 0)
            wait_until(lambda: not logind.list_inhibitors(), message="inhibitor released")

    def test_sigkill_releases_the_inhibitor(self):
        with LogindMock() as logind, App() as app:
            wait_for_keep_alive_channel(app)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
            self.assertEqual(len(logind.list_inhibitors()), 1)
            app.proc.send_signal(signal.SIGKILL)
            app.wait_exit(30)
            wait_until(lambda: not logind.list_inhibitors(), message="inhibitor released")

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


if __name__ == "__main__":
    unittest.main()
