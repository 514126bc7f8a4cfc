"""The window control channel as the window manager sees its effects: window
states, hiding versus closing, centring, binding a child window to the main
window, and the title-bar choice."""

import unittest

from harness import (WINDOW_CONTROL_CHANNEL, App, decorated, geometry,
                     net_wm_state, transient_for, wait_until, work_area,
                     window_mapped)

MAXIMIZED = {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}
FULLSCREEN = "_NET_WM_STATE_FULLSCREEN"


class WindowControlTest(unittest.TestCase):
    def setUp(self):
        self.app = App()
        self.app.start()
        self.addCleanup(self.close_app)
        self.main = self.app.main_window()
        wait_until(lambda: window_mapped(self.main), message="main window mapped")

    def close_app(self):
        self.app.close()
        report = self.app.sanitizer_report()
        if report:
            self.fail("sanitizer report:\n" + report)

    def call(self, method, args=None):
        return self.app.invoke_value(WINDOW_CONTROL_CHANNEL, method, args)

    def open_child(self, width=400, height=300):
        opened = self.app.open_view(title="child", width=width, height=height)
        xid = opened["window"]
        wait_until(lambda: window_mapped(xid), message="child window mapped")
        return opened["viewId"], xid

    def wait_state(self, xid, wanted, present=True):
        def reached():
            states = set(net_wm_state(xid))
            return wanted <= states if present else not (wanted & states)
        wait_until(reached, message="%s %s" % (sorted(wanted),
                                               "set" if present else "cleared"))

    def test_window_states_as_the_window_manager_reports_them(self):
        self.call("maximizeCurrentWindow")
        self.wait_state(self.main, MAXIMIZED)
        self.assertIs(self.call("isCurrentWindowMaximized"), True)
        self.call("unmaximizeCurrentWindow")
        self.wait_state(self.main, MAXIMIZED, present=False)
        self.assertIs(self.call("isCurrentWindowMaximized"), False)

        self.call("setCurrentWindowFullscreen", {"fullscreen": True})
        self.wait_state(self.main, {FULLSCREEN})
        self.assertIs(self.call("isCurrentWindowFullscreen"), True)
        self.call("setCurrentWindowFullscreen", {})
        self.wait_state(self.main, {FULLSCREEN}, present=False)

        view_id, child = self.open_child()
        target = {"targetViewId": view_id}
        self.call("maximizeWindowByViewId", target)
        self.wait_state(child, MAXIMIZED)
        self.assertIs(self.call("isWindowMaximizedByViewId", target), True)
        self.assertIs(self.call("isCurrentWindowMaximized"), False)
        self.call("setWindowFullscreenByViewId", dict(target, fullscreen=True))
        self.wait_state(child, {FULLSCREEN})
        self.assertIs(self.call("isWindowFullscreenByViewId", target), True)
        self.assertIs(self.call("isWindowFullscreenByViewId", {"targetViewId": 99}),
                      False)

    def test_hide_keeps_the_window_and_close_destroys_it(self):
        view_id, child = self.open_child()
        target = {"targetViewId": view_id}
        self.call("closeWindowByViewId", target)
        wait_until(lambda: not window_mapped(child), message="child hidden")
        self.assertIsNotNone(self.app.view(view_id))
        self.call("activateWindowByViewId", target)
        wait_until(lambda: window_mapped(child), message="child shown again")

        self.call("hideWindowByViewId", {"targetViewId": 0})
        wait_until(lambda: not window_mapped(self.main), message="main hidden")
        self.call("focusCurrentWindow")
        wait_until(lambda: window_mapped(self.main), message="main shown again")

        # Closing the main window destroys it; its rows then do nothing.
        self.call("closeCurrentWindow")
        wait_until(lambda: self.app.view(0) is None, message="main view gone")
        self.assertTrue(self.app.running())
        self.assertIs(self.call("isCurrentWindowMaximized"), False)
        for method in ("focusCurrentWindow", "maximizeCurrentWindow",
                       "centerCurrentWindowRestoreBounds", "startCurrentWindowDrag"):
            self.assertIsNone(self.call(method))
        self.call("centerWindowOnCurrentScreen", target)
        self.assertTrue(window_mapped(child))

    def test_centring_on_the_work_area_and_over_the_main_window(self):
        view_id, child = self.open_child(400, 300)
        self.call("centerWindowOnCurrentScreen", {"targetViewId": view_id})
        area_x, area_y, area_width, area_height = work_area()

        def centred_in(x, y, width, height):
            def check():
                box = geometry(child)
                return (box["x"] == x + (width - box["width"]) // 2 and
                        box["y"] == y + (height - box["height"]) // 2)
            return check
        wait_until(centred_in(area_x, area_y, area_width, area_height),
                   message="centred on the work area")

        self.call("centerWindowOnParentByViewId",
                  {"targetViewId": view_id, "parentViewId": 0})
        main = geometry(self.main)
        wait_until(centred_in(main["x"], main["y"], main["width"], main["height"]),
                   message="centred over the main window")

    def test_child_larger_than_its_parent_lands_over_it_in_one_call(self):
        # Nearly as wide as the work area, so that a window manager keeping
        # windows on screen would clamp a move made at the child's old size;
        # too small in area for mutter to maximize it when it is first shown.
        main = geometry(self.main)
        _, _, area_width, _ = work_area()
        width, height = area_width - 40, main["height"] + 40
        self.assertGreater(main["x"] + width, area_width)
        self.call("prepareNextWindowChrome",
                  {"preferredWidth": width, "preferredHeight": height})
        view_id, child = self.open_child(width, height)
        wait_until(lambda: geometry(child)["width"] == width,
                   message="child at its prepared size")

        self.call("centerWindowOnParentByViewId",
                  {"targetViewId": view_id, "parentViewId": 0})
        last = {}

        def over_main():
            last.update(geometry(child))
            return last == main
        try:
            wait_until(over_main, message="child laid over the main window")
        except AssertionError as error:
            raise AssertionError("%s; child %r, main %r" % (error, last, main)) \
                from None

    def test_binding_a_child_window_to_the_main_window(self):
        view_id, child = self.open_child()
        self.call("bindChildWindowToParentByViewId",
                  {"childViewId": view_id, "parentViewId": view_id})
        self.assertIsNone(transient_for(child))
        self.call("bindChildWindowToParentByViewId",
                  {"childViewId": view_id, "parentViewId": 0})
        wait_until(lambda: transient_for(child) == self.main,
                   message="WM_TRANSIENT_FOR names the main window")

    def test_title_bar_choice(self):
        self.assertFalse(decorated(self.main))
        self.call("configureWindowChromeByViewId",
                  {"targetViewId": 0, "showSystemTitleBar": True})
        wait_until(lambda: decorated(self.main), message="main window decorated")
        self.call("configureWindowChromeByViewId",
                  {"targetViewId": 0, "showSystemTitleBar": False})
        wait_until(lambda: not decorated(self.main),
                   message="main window frame taken over")

        view_id, child = self.open_child()
        self.call("configureWindowChromeByViewId",
                  {"targetViewId": view_id, "showSystemTitleBar": True})
        self.assertFalse(decorated(child))


if __name__ == "__main__":
    unittest.main()
