"""Checks of the end-to-end harness itself, so that a failing end-to-end test
points at the shell and not at the tools that observe it: the X11 readers
against a plain GTK window, the D-Bus mocks, and the GVariant text parser."""

import subprocess
import threading
import unittest

from harness import (SYSTEM_PYTHON, LogindMock, ScreenSaverMock, active_window,
                     decorated, find_windows_by_title, frame_extents, gdbus_call,
                     geometry, gv, parse_gvariant, transient_for, wait_until,
                     window_mapped, window_title, wm_normal_hints)

# A decorated-off window with size hints at a set place, and a dialog
# transient for it; prints both XIDs once they are mapped.
PROBE = r"""
import gi
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk

main = Gtk.Window(title="Harness Probe")
main.set_default_size(300, 200)
hints = Gdk.Geometry()
hints.min_width, hints.min_height = 200, 100
hints.max_width, hints.max_height = 800, 600
main.set_geometry_hints(None, hints,
                        Gdk.WindowHints.MIN_SIZE | Gdk.WindowHints.MAX_SIZE)
main.set_decorated(False)
main.move(100, 120)
main.show_all()
dialog = Gtk.Window(title="Harness Probe Dialog")
dialog.set_transient_for(main)
dialog.show_all()

def report():
    print(main.get_window().get_xid(), dialog.get_window().get_xid(), flush=True)
GLib.idle_add(report)
Gtk.main()
"""


class X11HelpersTest(unittest.TestCase):
    def setUp(self):
        self.probe = subprocess.Popen([SYSTEM_PYTHON, "-c", PROBE],
                                      stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.probe.stdout.close)
        self.addCleanup(self.probe.wait, 10)
        self.addCleanup(self.probe.terminate)
        self.main, self.dialog = (int(x) for x in self.probe.stdout.readline().split())
        wait_until(lambda: window_mapped(self.main) and window_mapped(self.dialog),
                   message="probe windows mapped")

    def test_reads_what_gtk_set(self):
        self.assertEqual(window_title(self.main), "Harness Probe")
        self.assertEqual(find_windows_by_title("Harness Probe"), [self.main])
        self.assertEqual(transient_for(self.dialog), self.main)
        self.assertIsNone(transient_for(self.main))

        hints = wm_normal_hints(self.main)
        self.assertEqual(hints["min_size"], (200, 100))
        self.assertEqual(hints["max_size"], (800, 600))

        self.assertFalse(decorated(self.main))
        self.assertTrue(decorated(self.dialog))
        # openbox frames the decorated dialog only.
        wait_until(lambda: frame_extents(self.dialog), message="dialog frame")
        self.assertTrue(any(frame_extents(self.dialog)))

        self.assertEqual(geometry(self.main),
                         {"x": 100, "y": 120, "width": 300, "height": 200})
        wait_until(lambda: active_window() in (self.main, self.dialog),
                   message="a probe window active")


class DBusMocksTest(unittest.TestCase):
    def test_logind_inhibitor_lives_while_its_descriptor_is_open(self):
        # gdbus drops the descriptor when it exits, so the mock's list empties.
        with LogindMock() as logind:
            self.assertEqual(logind.list_inhibitors(), [])
            (handle,) = gdbus_call("system", logind.name, logind.path,
                                   logind.interface + ".Inhibit", gv("sleep"),
                                   gv("who"), gv("why"), gv("block"))
            self.assertIsInstance(handle, int)
            wait_until(lambda: logind.list_inhibitors() == [], message="dropped")

            logind.fail_inhibit("not allowed")
            with self.assertRaisesRegex(RuntimeError, "AccessDenied: not allowed"):
                gdbus_call("system", logind.name, logind.path,
                           logind.interface + ".Inhibit", gv("sleep"), gv("w"),
                           gv("w"), gv("block"))

    def test_prepare_for_sleep_reaches_a_subscriber(self):
        with LogindMock() as logind:
            monitor = subprocess.Popen(
                ["gdbus", "monitor", "--system", "--dest", logind.name,
                 "--object-path", logind.path],
                stdout=subprocess.PIPE, text=True)
            self.addCleanup(monitor.stdout.close)
            self.addCleanup(monitor.wait, 10)
            self.addCleanup(monitor.terminate)
            lines = []
            reader = threading.Thread(
                target=lambda: lines.extend(iter(monitor.stdout.readline, "")),
                daemon=True)
            reader.start()
            # The monitor has subscribed once it has looked up the name's owner.
            wait_until(lambda: any("is owned by" in l for l in lines),
                       message="monitor ready")
            logind.emit_prepare_for_sleep(True)
            wait_until(lambda: any(
                "org.freedesktop.login1.Manager.PrepareForSleep (true,)" in l
                for l in lines), message="signal seen")

    def test_screen_saver_answers_as_configured_and_logs_calls(self):
        with ScreenSaverMock(cookie=42, uninhibit_error="unknown cookie") as saver:
            method = saver.interface + ".Inhibit"
            self.assertEqual(saver.call(method, gv("App"), gv("why")), (42,))
            with self.assertRaisesRegex(RuntimeError, "unknown cookie"):
                saver.call(saver.interface + ".UnInhibit", "uint32 42")
            self.assertEqual(saver.calls(), [("Inhibit", ["App", "why"]),
                                             ("UnInhibit", [42])])
            saver.clear_calls()
            saver.set_cookie(0)
            saver.set_uninhibit_error(None)
            self.assertEqual(saver.call(method, gv("App"), gv("why")), (0,))
            saver.call(saver.interface + ".UnInhibit", "uint32 0")
            self.assertEqual(len(saver.calls()), 2)


class GVariantTextTest(unittest.TestCase):
    def test_parses_what_gdbus_prints(self):
        text = ("([(uint64 1, 'Inhibit', [<'Tarn\\'Glass'>, <uint32 5>]), "
                "(2, \"x'y\", @av [])], {'a': <1.5>}, objectpath '/o', true, "
                "@mu nothing, -3)")
        self.assertEqual(parse_gvariant(text),
                         ([(1, "Inhibit", ["Tarn'Glass", 5]), (2, "x'y", [])],
                          {"a": 1.5}, "/o", True, None, -3))
        self.assertEqual(parse_gvariant(gv(["a'b\\c", True, 7])),
                         ["a'b\\c", True, 7])


if __name__ == "__main__":
    unittest.main()
