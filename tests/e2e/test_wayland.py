"""The Wayland lane: the app on a headless weston with no X server, run inside
`scripts/test-desktop --wayland` (private buses, FERROW_LINUX_ENABLE_WAYLAND=1).

What the compositor cannot show, and so what this lane does not check:
- windows have no X11 id and no window-manager properties; whether a window is
  shown is read from GTK through the engine's state ("mapped");
- a Wayland client never learns its position, so centring is only called;
- xdg-shell reports no minimized state, so minimizing is only called;
- the headless weston has no seat at all (no pointer, no keyboard): nothing
  gets keyboard focus, so activation and focusing are only called, and GTK
  logs criticals of its own about the missing seat. Those are not the
  project's; tests/e2e/log_origin.c marks the ones project code logged or
  caused, and those fail the test.
Maximized and fullscreen states travel in xdg-shell's configure events, so
those are checked.
"""

import os
import unittest

from harness import (App, DEEP_LINK_CHANNEL, KEEP_ALIVE_CHANNEL,
                     WINDOW_CONTROL_CHANNEL, LogindMock, launch, wait_until)

WINDOW_CONTROL_METHODS = [
    "focusCurrentWindow", "minimizeCurrentWindow", "minimizeWindowByViewId",
    "maximizeCurrentWindow", "maximizeWindowByViewId",
    "unmaximizeCurrentWindow", "unmaximizeWindowByViewId",
    "centerCurrentWindowRestoreBounds", "centerWindowRestoreBoundsByViewId",
    "isCurrentWindowMaximized", "isWindowMaximizedByViewId",
    "setCurrentWindowFullscreen", "setWindowFullscreenByViewId",
    "isCurrentWindowFullscreen", "isWindowFullscreenByViewId",
    "startCurrentWindowDrag", "startWindowDragByViewId",
    "startCurrentWindowResize", "startWindowResizeByViewId",
    "updateCurrentWindowDrag", "updateWindowDragByViewId", "endWindowDrag",
    "centerWindowOnCurrentScreen", "centerWindowOnParentByViewId",
    "prepareNextWindowSpawnOnCurrentScreen",
    "prepareNextWindowSpawnOnParentByViewId", "prepareNextWindowChrome",
    "activateWindowByViewId", "bindChildWindowToParentByViewId",
    "configureWindowChromeByViewId",
    # These three hide or close windows, so they come last.
    "hideWindowByViewId", "closeWindowByViewId", "closeCurrentWindow",
]


class WaylandLaneTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.environ.get("GDK_BACKEND") != "wayland" or os.environ.get("DISPLAY"):
            raise AssertionError("run inside scripts/test-desktop --wayland")
        cls.log_origin = os.environ.get("FERROW_LOG_ORIGIN")
        if not cls.log_origin or not os.path.exists(cls.log_origin):
            raise AssertionError("FERROW_LOG_ORIGIN names no library: %r"
                                 % cls.log_origin)

    def setUp(self):
        # As on a desktop: logind is there, and the shell takes its sleep
        # delay lock at activation without a warning.
        self.logind = LogindMock()
        self.logind.start()
        self.addCleanup(self.logind.stop)

    def start(self, args=()):
        # The preloaded library comes before the sanitizer's runtime.
        asan = os.environ.get("ASAN_OPTIONS", "")
        app = App(args=args, env={
            "LD_PRELOAD": self.log_origin,
            "ASAN_OPTIONS": asan + ":verify_asan_link_order=0"})
        app.start()
        self.addCleanup(self.stop, app)
        return app

    def stop(self, app):
        app.close()
        report = app.sanitizer_report()
        if report:
            self.fail("sanitizer report:\n" + report)
        text = app.stderr_text
        self.assertNotIn("log-origin: project code", text, text)

    def view(self, app, view_id):
        for view in app.state()["views"]:
            if view["viewId"] == view_id:
                return view
        return None

    def wait_shown(self, app, view_id, shown=True):
        wait_until(lambda: (self.view(app, view_id) or {}).get("mapped") == shown,
                   message="view %d %s" % (view_id, "shown" if shown else "hidden"))

    def call(self, app, method, args=None):
        reply = app.invoke(WINDOW_CONTROL_CHANNEL, method, args)
        self.assertEqual(reply.get("response"), "success", (method, args, reply))
        return reply.get("value")

    def test_revealed_main_window_and_forwarded_link(self):
        app = self.start(["first"])
        wait_until(lambda: self.view(app, 0) and self.view(app, 0)["firstFrame"],
                   message="first frame")
        self.wait_shown(app, 0)
        self.assertTrue(self.view(app, 0)["realized"])
        self.assertIn("on wayland display", "\n".join(app.log_lines))

        # Dart's handler takes the link: nothing is reported lost.
        app.request("listen", channel=DEEP_LINK_CHANNEL, reply="success")
        status, _, err = launch(["plain", "ferrow-dadira:wayland"])
        self.assertEqual(status, 0, err)
        wait_until(lambda: [c["args"] for c in app.history()
                            if c["channel"] == DEEP_LINK_CHANNEL]
                   == ["ferrow-dadira:wayland"], message="deep link forwarded")
        self.assertEqual([v["viewId"] for v in app.state()["views"]], [0])
        self.assertEqual(app.state()["entrypointArguments"], ["first"])

    def test_every_window_control_method_and_child_windows(self):
        app = self.start()
        self.wait_shown(app, 0)
        child = app.open_view(title="child", width=400, height=300)["viewId"]
        self.wait_shown(app, child)

        # The states the compositor does report. They come first: a window
        # weston has minimized gets no configure events until the user
        # restores it, which needs a seat.
        # Weston drops a request that undoes a state the window has been
        # told of but not yet drawn in, so each request is repeated until
        # the state is reported.
        def reach(request, query, wanted, args):
            def reached():
                self.call(app, request, args)
                return self.call(app, query, args) == wanted
            wait_until(reached, message="%s %r" % (request, args))

        for target in ({"targetViewId": child}, {"targetViewId": 0}):
            reach("maximizeWindowByViewId", "isWindowMaximizedByViewId",
                  True, target)
            reach("unmaximizeWindowByViewId", "isWindowMaximizedByViewId",
                  False, target)
            reach("setWindowFullscreenByViewId", "isWindowFullscreenByViewId",
                  True, dict(target, fullscreen=True))
            reach("setWindowFullscreenByViewId", "isWindowFullscreenByViewId",
                  False, dict(target, fullscreen=False))

        # This weston has no seat: drag and resize requests, with a start
        # point or without, find no pointer and do nothing.
        by_id = {"targetViewId": child, "childViewId": child,
                 "parentViewId": 0, "globalX": 10.0, "globalY": 10.0,
                 "edge": "south"}
        for method in WINDOW_CONTROL_METHODS[:-3]:
            self.call(app, method)
            self.call(app, method, by_id)
        self.assertTrue(app.running())

        # Both hide the window and keep its view; closing the view destroys
        # it.
        for method in ("hideWindowByViewId", "closeWindowByViewId"):
            self.call(app, method)
            self.call(app, method, by_id)
            self.wait_shown(app, child, False)
            app.close_view(child)
            self.assertIsNone(self.view(app, child))
            child = app.open_view(title="next")["viewId"]
            self.wait_shown(app, child)
            by_id = dict(by_id, targetViewId=child, childViewId=child)
        app.close_view(child)

        self.call(app, "closeCurrentWindow", by_id)
        self.assertEqual(app.wait_exit(30), 0)

    def test_keep_alive(self):
        logind = self.logind
        app = self.start()
        wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"],
                   message="keep-alive channel")
        self.assertIs(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"), True)
        self.assertEqual(len(logind.list_inhibitors("block")), 1)
        self.assertIs(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), True)
        logind.emit_prepare_for_sleep(True)
        app.wait_method_call(KEEP_ALIVE_CHANNEL, "systemWillSleep")
        app.invoke_value(KEEP_ALIVE_CHANNEL, "stopKeepAlive")
        wait_until(lambda: not logind.list_inhibitors("block"), message="inhibitor released")
        self.assertIs(app.invoke_value(KEEP_ALIVE_CHANNEL, "isKeepAliveActive"), False)
        app.close()


if __name__ == "__main__":
    unittest.main()
