"""The built application when D-Bus lets it down: its system bus connection
cut while the bus runs on, a bus socket that accepts and never answers, no
session bus at all, and a session bus that refuses the application's name. Finding the bus again is the in-process reconnect
test's."""

import os
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from harness import (APPLICATION_ID, App, BusProxy, DEEP_LINK_CHANNEL, KEEP_ALIVE_CHANNEL,
                     LogindMock, launch, wait_until, window_mapped)

LOST_SYSTEM_BUS = "Lost the system bus connection for sleep inhibit and sleep signals: "
CONNECT_FAILED = "Failed to connect system bus for sleep inhibit: "
NOT_REGISTERED = ("Failed to register with the session bus, other launches "
                  "will start a new instance: ")
NAME_REFUSED = ("Failed to own the application name, other launches will "
                "start a new instance: ")
DEAD_BUS = "unix:path=/nonexistent/ferrow-bus-loss-e2e"


class SilentSocket:
    """Listens where the bus was, accepts and never answers: a socket whose
    daemon is restarting. Counts the connections."""

    def __init__(self, path):
        self.path = path
        self.accepted = []
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(path)
        self._listener.listen(16)
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self):
        while True:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            self.accepted.append(connection)

    def close(self):
        self._listener.shutdown(socket.SHUT_RDWR)
        self._listener.close()
        self._thread.join(5)
        for connection in self.accepted:
            connection.close()
        os.unlink(self.path)


class SystemBusLossTest(unittest.TestCase):
    def test_lock_kept_and_app_answering_while_the_bus_is_away(self):
        with LogindMock() as logind, \
                tempfile.TemporaryDirectory(prefix="ferrow-bus-loss-") as tmp:
            # The app reaches the bus through a proxy of this test's own, so
            # that only its connection is cut.
            path = os.path.join(tmp, "system_bus_socket")
            proxy = BusProxy(os.environ["DBUS_SYSTEM_BUS_ADDRESS"], path)
            proxy.start()
            try:
                with App(env={"DBUS_SYSTEM_BUS_ADDRESS": proxy.address}) as app:
                    self.cut_and_hang(app, logind, proxy)
            finally:
                proxy.stop()

    def cut_and_hang(self, app, logind, proxy):
        """Cuts the app's connection, then hangs its bus socket."""
        wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"], 30,
                   message="keep-alive channel")
        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
        self.assertEqual(len(logind.list_inhibitors("block")), 1)

        proxy.stop()
        app.wait_log(LOST_SYSTEM_BUS)
        # logind holds the lock while the app holds its descriptor.
        self.assertEqual(len(logind.list_inhibitors("block")), 1)
        self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), True)

        silent = SilentSocket(proxy.socket_path)
        try:
            # The app seeks the bus in the background: the control socket
            # answers within a second throughout two attempts that hang.
            while len(silent.accepted) < 2:
                app.request("state", timeout=1)
                time.sleep(0.1)
            status, _, _ = launch(["ferrow-dadira:during-hang"])
            self.assertEqual(status, 0)
            wait_until(lambda: any(c["channel"] == DEEP_LINK_CHANNEL
                                   and c["args"] == "ferrow-dadira:during-hang"
                                   for c in app.history()),
                       message="link forwarded")

            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive"), False)
            wait_until(lambda: not logind.list_inhibitors("block"), message="lock released")
            # A start must connect: it gives up after two seconds and falls
            # back (to nothing here).
            started = time.monotonic()
            self.assertEqual(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), False)
            self.assertLess(time.monotonic() - started, 5)
            self.assertIn("did not answer", app.wait_log(CONNECT_FAILED))
        finally:
            silent.close()

        # Finding the bus again, and the sleep signals with it, is the
        # in-process reconnect test's.
        lost = [line for line in app.log_lines if LOST_SYSTEM_BUS in line]
        self.assertEqual(len(lost), 1, lost)
        self.assertEqual(app.gtk_warnings(), [])


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


class NameRefusedTest(unittest.TestCase):
    """A session bus whose policy denies the application's name, as strict
    confinement does to a name the package was not granted."""

    def start_bus(self, folder):
        config = os.path.join(folder, "bus.conf")
        with open(config, "w") as out:
            out.write("""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    <deny own="%s"/>
  </policy>
</busconfig>
""" % (folder, APPLICATION_ID))
        bus = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork",
                                "--nopidfile", "--print-address"],
                               stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        self.addCleanup(bus.stdout.close)
        self.addCleanup(bus.wait, 10)
        self.addCleanup(bus.terminate)
        return bus.stdout.readline().decode().strip()

    def test_starts_as_an_instance_of_its_own(self):
        with tempfile.TemporaryDirectory() as folder:
            address = self.start_bus(folder)
            self.assertTrue(address)
            # logind is there, as on a desktop: its sleep delay lock logs nothing.
            with LogindMock(), App(args=["ferrow-dadira:first"],
                                   env={"DBUS_SESSION_BUS_ADDRESS": address}) as app:
                main = app.main_window()
                wait_until(lambda: window_mapped(main), message="main window mapped")
                self.assertEqual(app.state()["entrypointArguments"], ["ferrow-dadira:first"])
                self.assertIn("AccessDenied", app.wait_log(NAME_REFUSED))
                app.close_view(0)
                self.assertEqual(app.wait_exit(timeout=20), 0)
            lines = [line for line in app.log_lines if "WARNING" in line]
            self.assertEqual(len(lines), 1, app.log_lines)


if __name__ == "__main__":
    unittest.main()
