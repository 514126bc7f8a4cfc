"""Child windows as the window manager sees them: the size Dart prepared, the
minimum size hint, no decoration, the shell's own resize border, and click
focus."""

import subprocess
import time
import unittest

from harness import (WINDOW_CONTROL_CHANNEL, App, active_window, decorated,
                     geometry, wait_until, window_mapped, wm_normal_hints)


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                   timeout=10, stdout=subprocess.DEVNULL)


class ChildWindowsTest(unittest.TestCase):
    def setUp(self):
        self.app = App()
        self.app.start()
        self.addCleanup(self.close_app)
        self.main = self.app.main_window()
        wait_until(lambda: window_mapped(self.main), message="main window mapped")

    def close_app(self):
        # A button left down would keep the window manager in its resize.
        subprocess.run(["xdotool", "mouseup", "1"], timeout=10)
        self.app.close()
        report = self.app.sanitizer_report()
        if report:
            self.fail("sanitizer report:\n" + report)

    def call(self, method, args=None):
        return self.app.invoke_value(WINDOW_CONTROL_CHANNEL, method, args)

    def open_child(self, title, width=200, height=150):
        xid = self.app.open_view(title=title, width=width, height=height)["window"]
        wait_until(lambda: window_mapped(xid), message="%s mapped" % title)
        return xid

    def wait_size(self, xid, width, height):
        def size():
            g = geometry(xid)
            return (g["width"], g["height"]) == (width, height) and g
        return wait_until(size, message="size %dx%d" % (width, height))

    def open_prepared_child(self):
        self.call("prepareNextWindowChrome",
                  {"preferredWidth": 640, "preferredHeight": 480,
                   "minWidth": 400, "minHeight": 300})
        xid = self.open_child("prepared")
        self.wait_size(xid, 640, 480)
        return xid

    def test_prepared_hints_serve_the_next_child_window_only(self):
        xid = self.open_prepared_child()
        self.assertEqual(wm_normal_hints(xid).get("min_size"), (400, 300))
        self.assertFalse(decorated(xid))

        unprepared = self.open_child("unprepared", width=500, height=350)
        self.wait_size(unprepared, 320, 96)
        self.assertEqual(wm_normal_hints(unprepared).get("min_size"), (320, 96))
        self.assertFalse(decorated(unprepared))

    def test_dragging_the_bottom_right_border_resizes(self):
        xid = self.open_prepared_child()
        start = geometry(xid)
        x = start["x"] + start["width"] - 3
        y = start["y"] + start["height"] - 3
        xdotool("mousemove", x, y)
        xdotool("mousedown", 1)
        # The window manager takes the drag over once the shell has asked it
        # to; keep moving until it resizes.
        deadline = time.monotonic() + 15
        while geometry(xid)["width"] < start["width"] + 20:
            self.assertLess(time.monotonic(), deadline, "no resize")
            x, y = x + 10, y + 8
            xdotool("mousemove", x, y)
            time.sleep(0.05)
        xdotool("mousemove", start["x"] + start["width"] + 100,
                start["y"] + start["height"] + 80)
        xdotool("mouseup", 1)
        end = self.wait_size(xid, start["width"] + 97, start["height"] + 77)
        self.assertEqual((end["x"], end["y"]), (start["x"], start["y"]))

    def test_click_inside_makes_child_active(self):
        xid = self.open_prepared_child()
        self.call("focusCurrentWindow")
        wait_until(lambda: active_window() == self.main,
                   message="main window active")
        g = geometry(xid)
        xdotool("mousemove", g["x"] + g["width"] // 2, g["y"] + g["height"] // 2)
        xdotool("click", 1)
        wait_until(lambda: active_window() == xid, message="child active")


if __name__ == "__main__":
    unittest.main()
