"""The executable as a user starts it: the first launch's arguments reach the
Dart entry point, later launches forward their first deep link and raise the
main window, the main window appears once its view has drawn, and the
process ends with status 0 when its last window closes."""

import unittest

from harness import (App, find_windows_by_title, launch, wait_until,
                     window_mapped, window_title)

DEEP_LINK_CHANNEL = "ferrow-dadira/deep_link"


def deep_links(app):
    return [call["args"] for call in app.history()
            if call["channel"] == DEEP_LINK_CHANNEL]


class SpineTest(unittest.TestCase):
    def start(self, args=(), env=None):
        app = App(args=args, env=env)
        app.start()
        self.addCleanup(self.stop, app)
        return app

    def stop(self, app):
        app.close()
        report = app.sanitizer_report()
        if report:
            self.fail("sanitizer report:\n" + report)
        self.assertEqual(app.gtk_warnings(), [])

    def test_first_launch_arguments_go_to_the_entry_point(self):
        args = ["--verbose", "ferrow-dadira:open/7", "--pid=12"]
        app = self.start(args)
        main = app.main_window()
        wait_until(lambda: window_mapped(main), message="main window mapped")
        self.assertEqual(window_title(main), "Ferrow Dadira")
        self.assertEqual(app.state()["entrypointArguments"], args)
        self.assertEqual(deep_links(app), [])

    def test_only_the_program_path_gives_an_empty_argument_list(self):
        app = self.start()
        self.assertEqual(app.state()["entrypointArguments"], [])

    def test_main_window_appears_only_after_its_first_frame(self):
        app = self.start(env={"FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS": "-1"})
        main = app.main_window()
        self.assertFalse(window_mapped(main))
        app.emit_first_frame(0)
        wait_until(lambda: window_mapped(main), message="main window mapped")

    def test_main_window_appears_when_the_view_has_no_first_frame_signal(self):
        app = App(env={"FL_DEV_ENGINE_NO_FIRST_FRAME_SIGNAL": "1"})
        app.start()
        self.addCleanup(app.close)
        main = app.main_window()
        wait_until(lambda: window_mapped(main), message="main window mapped")
        app.open_view(title="child")
        warnings = [line for line in app.log_lines
                    if "WARNING **" in line and "first frame" in line]
        self.assertEqual(len(warnings), 1, app.stderr_text)
        self.assertEqual(app.gtk_warnings(), [])

    def test_later_launches_forward_the_first_deep_link(self):
        app = self.start(["first"])
        main = app.main_window()
        wait_until(lambda: window_mapped(main))

        status, _, _ = launch(["plain", "--pid=31", "ferrow-dadira:next"])
        self.assertEqual(status, 0)
        wait_until(lambda: deep_links(app) == ["--pid=31"],
                   message="deep link forwarded")
        # The development engine's Dart side has no handler: the link is
        # reported lost by its prefix alone, never in full.
        lost = app.wait_log("Failed to deliver a --pid= deep link: ")
        self.assertNotIn("--pid=31", lost)

        status, _, _ = launch(["nothing", "Ferrow-Dadira:x"])
        self.assertEqual(status, 0)
        status, _, _ = launch(["ferrow-dadira:last"])
        self.assertEqual(status, 0)
        wait_until(lambda: deep_links(app) == ["--pid=31",
                                               "ferrow-dadira:last"])
        # Later launches open no window and keep the first arguments.
        self.assertEqual(find_windows_by_title("Ferrow Dadira"), [main])
        self.assertEqual(app.state()["entrypointArguments"], ["first"])

    def test_links_sent_before_dart_listens_all_reach_it_in_order(self):
        # As under the real engine: Dart sets its handler only after its own
        # start-up, and the engine holds the channel's messages until then.
        app = self.start(env={"FL_DEV_ENGINE_DART_LISTENS": "later"})
        links = ["ferrow-dadira:open/%d" % n for n in range(20)]
        for link in links:
            self.assertEqual(launch([link])[0], 0)
        self.assertEqual(deep_links(app), [])
        app.request("listen", channel=DEEP_LINK_CHANNEL)
        wait_until(lambda: len(deep_links(app)) >= len(links), message="links delivered")
        self.assertEqual(deep_links(app), links)
        self.assertEqual([e for e in app.events if e.get("event") == "dropped"], [])

    def test_option_like_words_pass_untouched(self):
        # Words GLib's own option parsing would take, drop or fail on.
        words = ["--gapplication-service", "--help", "-x",
                 "--gapplication-app-id=x", "a", "--", "b"]
        app = self.start(words)
        self.assertEqual(app.state()["entrypointArguments"], words)

        status, out, err = launch(words + ["ferrow-dadira:after-words"])
        self.assertEqual(status, 0, err)
        wait_until(lambda: deep_links(app) == ["ferrow-dadira:after-words"],
                   message="deep link forwarded")
        self.assertEqual(app.state()["entrypointArguments"], words)

    def test_process_ends_with_status_zero_when_its_last_window_closes(self):
        app = self.start()
        main = app.main_window()
        wait_until(lambda: window_mapped(main))
        app.close_view(0)
        self.assertEqual(app.wait_exit(timeout=20), 0)

    def test_later_launch_after_the_main_window_closed_opens_nothing(self):
        app = self.start()
        main = app.main_window()
        wait_until(lambda: window_mapped(main))
        child = app.open_view(title="child")
        app.close_view(0)
        wait_until(lambda: not window_mapped(main), message="main window gone")

        status, _, _ = launch(["--extension-id=abc"])
        self.assertEqual(status, 0)
        wait_until(lambda: deep_links(app) == ["--extension-id=abc"])
        self.assertEqual(find_windows_by_title("Ferrow Dadira"), [])
        self.assertEqual([v["viewId"] for v in app.state()["views"]],
                         [child["viewId"]])

        app.close_view(child["viewId"])
        self.assertEqual(app.wait_exit(timeout=20), 0)


if __name__ == "__main__":
    unittest.main()
