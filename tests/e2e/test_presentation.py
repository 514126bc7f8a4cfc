"""Window presentation as the window manager sees it: a later launch brings a
hidden or iconified main window back and holds it above others for a moment,
and a child window stays transparent until its first frame or the fallback."""

import time
import unittest

from harness import (WINDOW_CONTROL_CHANNEL, App, launch, net_wm_state,
                     opacity, wait_until, window_mapped)

ABOVE = "_NET_WM_STATE_ABOVE"
HIDDEN = "_NET_WM_STATE_HIDDEN"


def above(xid):
    return ABOVE in net_wm_state(xid)


def transparent(xid):
    return opacity(xid) == 0


def opaque(xid):
    value = opacity(xid)
    return value is None or value == 1


class PresentationTest(unittest.TestCase):
    def setUp(self):
        self.app = App()
        self.app.start()
        self.addCleanup(self.close_app)
        self.main = self.app.main_window()
        wait_until(lambda: window_mapped(self.main), message="main window mapped")
        # The reveal's own keep-above ends 700 ms after the first frame.
        wait_until(lambda: not above(self.main), message="reveal keep-above over")

    def close_app(self):
        self.app.close()
        report = self.app.sanitizer_report()
        if report:
            self.fail("sanitizer report:\n" + report)

    def assert_later_launch_raises_and_holds_above(self):
        start = time.monotonic()
        status, _, _ = launch()
        self.assertEqual(status, 0)
        wait_until(lambda: window_mapped(self.main) and
                   HIDDEN not in net_wm_state(self.main),
                   message="main window back")
        wait_until(lambda: above(self.main), timeout=5,
                   message="main window kept above")
        wait_until(lambda: not above(self.main), timeout=10,
                   message="keep-above released")
        # Released about 700 ms after the present, which the launch preceded.
        self.assertGreaterEqual(time.monotonic() - start, 0.7)
        self.assertTrue(opaque(self.main))

    def test_later_launch_raises_an_iconified_main_window(self):
        self.app.invoke_value(WINDOW_CONTROL_CHANNEL, "minimizeCurrentWindow")
        wait_until(lambda: HIDDEN in net_wm_state(self.main),
                   message="main window iconified")
        self.assert_later_launch_raises_and_holds_above()

    def test_later_launch_raises_a_hidden_main_window(self):
        self.app.invoke_value(WINDOW_CONTROL_CHANNEL, "hideWindowByViewId",
                              {"targetViewId": 0})
        wait_until(lambda: not window_mapped(self.main),
                   message="main window hidden")
        self.assert_later_launch_raises_and_holds_above()

    def test_child_window_transparent_until_its_first_frame(self):
        opened = self.app.open_view(title="child", width=400, height=300,
                                    firstFrameDelayMs=-1)
        xid = opened["window"]
        # Made transparent while it was added, before it was first shown.
        self.assertTrue(transparent(xid), "opacity %r" % opacity(xid))
        wait_until(lambda: window_mapped(xid), message="child window mapped")
        self.assertTrue(transparent(xid))
        since = len(self.app.events)
        self.app.emit_first_frame(opened["viewId"])
        self.app.wait_event(lambda e: e.get("event") == "firstFrame" and
                            e.get("viewId") == opened["viewId"], since=since)
        wait_until(lambda: opaque(xid), message="child window revealed")
        self.assertTrue(window_mapped(xid))

    def test_child_window_without_first_frame_revealed_at_1500ms(self):
        start = time.monotonic()
        opened = self.app.open_view(title="child", width=400, height=300,
                                    firstFrameDelayMs=-1)
        xid = opened["window"]
        self.assertTrue(transparent(xid), "opacity %r" % opacity(xid))
        wait_until(lambda: window_mapped(xid), message="child window mapped")
        wait_until(lambda: opaque(xid), timeout=10,
                   message="child window revealed by the fallback")
        self.assertGreaterEqual(time.monotonic() - start, 1.5)
        self.assertTrue(window_mapped(xid))


if __name__ == "__main__":
    unittest.main()
