"""The built application when D-Bus lets it down: a system bus that goes away
and comes back while the app runs, and no session bus at all."""

import os
import shutil
import subprocess
import tempfile
import unittest
from unittest import mock

from harness import (App, KEEP_ALIVE_CHANNEL, LogindMock, wait_until,
                     window_mapped)

LOST_SYSTEM_BUS = "Lost the system bus connection for sleep inhibit and sleep signals: "
NOT_REGISTERED = ("Failed to register with the session bus, other launches "
                  "will start a new instance: ")
DEAD_BUS = "unix:path=/nonexistent/ferrow-bus-loss-e2e"


class RestartableSystemBus:
    """A dbus-daemon of this test's own standing in for the system bus, on a
    fixed socket path, so that it can be stopped and started again at the
    same address (the test desktop's own bus is not this test's to stop)."""

    def __init__(self):
        self._dir = tempfile.mkdtemp(prefix="ferrow-system-bus-")
        self._socket = os.path.join(self._dir, "system_bus_socket")
        self.address = "unix:path=" + self._socket
        self._config = os.path.join(self._dir, "system-bus.conf")
        with open(self._config, "w") as config:
            config.write("""<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
""" % self.address)
        self.proc = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        shutil.rmtree(self._dir, ignore_errors=True)
        return False

    def start(self):
        if os.path.exists(self._socket):
            os.unlink(self._socket)
        # The daemon prints its address once it listens.
        self.proc = subprocess.Popen(
            ["dbus-daemon", "--config-file=" + self._config, "--nofork",
             "--nopidfile", "--print-address=1"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        if not self.proc.stdout.readline().strip():
            raise RuntimeError("dbus-daemon did not start")

    def stop(self):
        if self.proc is None:
            return
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(10)
        self.proc.stdout.close()
        self.proc = None


class SystemBusRestartTest(unittest.TestCase):
    def test_app_survives_and_keep_alive_and_sleep_signals_come_back(self):
        with RestartableSystemBus() as bus, \
                mock.patch.dict(os.environ, {"DBUS_SYSTEM_BUS_ADDRESS": bus.address}):
            logind = LogindMock()
            logind.start()
            try:
                with App() as app:
                    logind = self.restart_bus_under(app, bus, logind)
            finally:
                logind.stop()

    def restart_bus_under(self, app, bus, logind):
        """Restarts the bus and logind under the running app; returns the
        new logind."""
        wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"], 30,
                   message="keep-alive channel")
        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
        self.assertEqual(len(logind.list_inhibitors()), 1)

        # An upgrade restarts the bus, and logind with it.
        logind.stop()
        bus.stop()
        app.wait_log(LOST_SYSTEM_BUS)
        self.assertTrue(app.running())
        # The inhibitor went with the bus.
        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), False)
        bus.start()
        logind = LogindMock()
        logind.start()

        # The shell subscribes again by itself: a wake reaches Dart before
        # Dart asks for anything.
        since = len(app.events)

        def woke():
            logind.emit_prepare_for_sleep(False)
            try:
                return app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemDidWake",
                                            timeout=1, since=since)
            except AssertionError:
                return None
        wait_until(woke, 30, message="systemDidWake after the restart")

        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
        self.assertEqual(len(logind.list_inhibitors()), 1)
        since = len(app.events)
        logind.emit_prepare_for_sleep(True)
        app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemWillSleep", since=since)

        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
        wait_until(lambda: not logind.list_inhibitors(), message="inhibitor released")
        lost = [line for line in app.log_lines if LOST_SYSTEM_BUS in line]
        self.assertEqual(len(lost), 1, lost)
        self.assertIn("WARNING", lost[0])
        self.assertEqual(app.gtk_warnings(), [])
        return logind


class WithoutSessionBusTest(unittest.TestCase):
    def test_runs_alone_and_says_so_once(self):
        no_dbus = {"DBUS_SESSION_BUS_ADDRESS": DEAD_BUS, "DBUS_SYSTEM_BUS_ADDRESS": DEAD_BUS}
        with App(env=no_dbus) as app:
            main = app.main_window()
            wait_until(lambda: window_mapped(main), message="main window mapped")
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), False)
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), False)

            # A later launch cannot reach this one; it starts an instance of
            # its own, which says the same once.
            with App(env=no_dbus) as later:
                wait_until(lambda: window_mapped(later.main_window()),
                           message="second main window mapped")
                later.wait_log(NOT_REGISTERED)
                self.assertTrue(app.running())

            lines = [line for line in app.log_lines if NOT_REGISTERED in line]
            self.assertEqual(len(lines), 1, app.log_lines)
            self.assertIn("WARNING", lines[0])
            self.assertNotEqual(lines[0].strip(), NOT_REGISTERED.strip())
            self.assertEqual(app.gtk_warnings(), [])


if __name__ == "__main__":
    unittest.main()
