"""Once the main window is gone, the application runs only while one of its
windows can be seen or is about to be: with every other window hidden it
ends by itself (status 0, inhibitor released), so that the next launch
starts afresh instead of forwarding to a process nobody can see."""

import subprocess
import unittest

from harness import (App, DEEP_LINK_CHANNEL, KEEP_ALIVE_CHANNEL,
                     WINDOW_CONTROL_CHANNEL, LogindMock, launch, wait_until,
                     window_mapped)


class UnseenSessionTest(unittest.TestCase):
    def start(self, logind):
        app = App()
        app.start()
        self.addCleanup(app.close)
        wait_until(lambda: KEEP_ALIVE_CHANNEL in app.state()["channels"], 30,
                   message="keep-alive channel")
        self.assertTrue(app.invoke_value(KEEP_ALIVE_CHANNEL, "startKeepAlive"))
        self.assertEqual(len(logind.list_inhibitors("block")), 1)
        main = app.main_window()
        wait_until(lambda: window_mapped(main), message="main window mapped")
        return app, main

    def open_child(self, app, **fields):
        child = app.open_view(**fields)
        wait_until(lambda: window_mapped(child["window"]), message="child mapped")
        return child

    def hide(self, app, method, child):
        app.invoke_value(WINDOW_CONTROL_CHANNEL, method,
                         {"targetViewId": child["viewId"]})
        wait_until(lambda: not window_mapped(child["window"]),
                   message="child hidden")

    def assert_ended(self, app, logind):
        self.assertEqual(app.wait_exit(20), 0)
        wait_until(lambda: not logind.list_inhibitors(),
                   message="inhibitor released")
        self.assertIsNone(app.sanitizer_report())

    def test_hidden_children_do_not_outlive_the_main_window(self):
        with LogindMock() as logind:
            app, main = self.start(logind)
            self.hide(app, "hideWindowByViewId", self.open_child(app))
            self.hide(app, "closeWindowByViewId", self.open_child(app))
            # As the window manager's close button does.
            subprocess.run(["xdotool", "windowclose", str(main)], check=True)
            self.assert_ended(app, logind)

    def test_a_child_about_to_be_seen_or_seen_keeps_it(self):
        with LogindMock() as logind:
            app, _ = self.start(logind)
            self.hide(app, "hideWindowByViewId", self.open_child(app))
            # Opened hidden and never drawing: shown by its reveal fallback.
            waiting = app.open_view(show=False, firstFrameDelayMs=-1)
            self.assertIsNotNone(waiting["window"])
            app.invoke_value(WINDOW_CONTROL_CHANNEL, "closeCurrentWindow")
            wait_until(lambda: 0 not in [v["viewId"] for v in app.state()["views"]],
                       message="main window gone")

            # Still there while the child waits and once it is shown: later
            # launches forward their links as before.
            self.assert_forwards(app, "ferrow-dadira:waiting")
            wait_until(lambda: window_mapped(waiting["window"]),
                       message="waiting child revealed")
            self.assert_forwards(app, "ferrow-dadira:shown")
            self.assertEqual(len(logind.list_inhibitors("block")), 1)

            self.hide(app, "closeWindowByViewId", waiting)
            self.assert_ended(app, logind)

    def assert_forwards(self, app, link):
        status, _, _ = launch([link])
        self.assertEqual(status, 0)
        wait_until(lambda: any(c["channel"] == DEEP_LINK_CHANNEL and c["args"] == link
                               for c in app.history()),
                   message="deep link forwarded")

if __name__ == "__main__":
    unittest.main()
