"""Child windows as the window manager sees them: the size Dart prepared, the
minimum size hint, sizes bound by the work area, no decoration, the shell's own
resize border, and click focus."""

import subprocess
import time
import unittest

from harness import (WINDOW_CONTROL_CHANNEL, App, active_window, decorated,
                     geometry, net_wm_state, wait_until, work_area,
                     window_mapped, wm_normal_hints)

INT32_MAX = 2**31 - 1


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                   timeout=10, stdout=subprocess.DEVNULL)


class ChildWindowsTest(unittest.TestCase):
    def setUp(self):
        self.view_ids = {}
        self.app = App()
        self.app.start()
        self.addCleanup(self.close_app)
        self.main = self.app.main_window()
        wait_until(lambda: window_mapped(self.main), message="main window mapped")
        # The main window's reveal presents it again and again for a moment:
        # mutter lets that take the focus from a clicked child window and end
        # a resize in progress. Wait until it is over.
        wait_until(lambda: "_NET_WM_STATE_ABOVE" not in net_wm_state(self.main),
                   message="main window's reveal over")

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
        opened = self.app.open_view(title=title, width=width, height=height)
        xid = opened["window"]
        self.view_ids[xid] = opened["viewId"]
        wait_until(lambda: window_mapped(xid), message="%s mapped" % title)
        return xid

    def wait_size(self, xid, width, height):
        last = {}

        def size():
            last.update(geometry(xid))
            return (last["width"], last["height"]) == (width, height) and last
        try:
            return wait_until(size, message="size %dx%d" % (width, height))
        except AssertionError as error:
            raise AssertionError("%s; geometry %r, hints %r, decorated %r" % (
                error, last, wm_normal_hints(xid), decorated(xid))) from None

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

    def test_absurd_sizes_are_bound_by_the_work_area(self):
        _, _, area_width, area_height = work_area()
        limit = (area_width, area_height)

        def hints(side, **extra):
            return dict(extra, preferredWidth=side, preferredHeight=side,
                        minWidth=side, minHeight=side)

        self.call("prepareNextWindowChrome", hints(32767))
        xid = self.open_child("huge")
        self.wait_size(xid, *limit)
        self.assertEqual(wm_normal_hints(xid).get("min_size"), limit)

        view_id = self.view_ids[xid]
        self.call("configureWindowChromeByViewId",
                  hints(INT32_MAX, targetViewId=view_id))
        self.call("configureWindowChromeByViewId",
                  hints(INT32_MAX, targetViewId=0, showSystemTitleBar=True))
        for window in (xid, self.main):
            wait_until(lambda: wm_normal_hints(window).get("min_size") == limit,
                       message="minimum bound by the work area")
            g = geometry(window)
            self.assertLessEqual(g["width"], area_width)
            self.assertLessEqual(g["height"], area_height)
        # Whether a window as large as the work area counts as maximized is
        # the window manager's policy (kwin says it does), so it is not asked.

    def test_dragging_the_bottom_right_border_resizes(self):
        xid = self.open_prepared_child()
        # Put the child's bottom-right corner where the main window cannot
        # cover it, and far enough from the screen's edges that no window
        # manager snaps the resized window to them.
        screen_width, screen_height = (int(n) for n in subprocess.run(
            ["xdotool", "getdisplaygeometry"], check=True, timeout=10,
            capture_output=True, text=True).stdout.split())
        corner_x, corner_y = screen_width - 100, screen_height - 100
        main = geometry(self.main)
        self.assertFalse(main["x"] <= corner_x < main["x"] + main["width"]
                         and main["y"] <= corner_y < main["y"] + main["height"])
        left, top = corner_x - 640 + 3, corner_y - 480 + 3
        xdotool("windowmove", xid, left, top)
        wait_until(lambda: (geometry(xid)["x"], geometry(xid)["y"]) == (left, top),
                   message="child moved")

        xdotool("mousemove", corner_x, corner_y)
        xdotool("mousedown", 1)
        # The window manager takes the drag over once the shell has asked it
        # to; keep moving until it resizes.
        x, y = corner_x, corner_y
        deadline = time.monotonic() + 15
        while geometry(xid)["width"] == 640:
            self.assertLess(time.monotonic(), deadline, "no resize")
            x, y = min(x + 2, corner_x + 50), min(y + 2, corner_y + 40)
            xdotool("mousemove", x, y)
            time.sleep(0.05)
        xdotool("mousemove", corner_x + 50, corner_y + 40)
        xdotool("mouseup", 1)
        end = self.wait_size(xid, 640 + 50, 480 + 40)
        self.assertEqual((end["x"], end["y"]), (left, top))

    def test_click_inside_makes_child_active(self):
        xid = self.open_prepared_child()
        # A newer window takes the focus; click the child where that window
        # does not cover it (the main window, its reveal over, is below).
        other = self.open_child("other")
        wait_until(lambda: active_window() == other, message="other active")
        g = geometry(xid)
        o = geometry(other)

        def covered(x, y):
            return (o["x"] <= x < o["x"] + o["width"]
                    and o["y"] <= y < o["y"] + o["height"])
        candidates = [(g["x"] + dx, g["y"] + dy)
                      for dx in (40, g["width"] // 2, g["width"] - 160)
                      for dy in (60, g["height"] // 2, g["height"] - 40)]
        x, y = next(p for p in candidates if not covered(*p))
        xdotool("mousemove", x, y)
        # Under mutter a click made just after another window took the focus
        # now and then goes by without focusing anything: click again then.
        deadline = time.monotonic() + 10
        while True:
            xdotool("click", 1)
            try:
                wait_until(lambda: active_window() == xid, timeout=1)
                break
            except AssertionError:
                self.assertLess(time.monotonic(), deadline, "child not active")


if __name__ == "__main__":
    unittest.main()
