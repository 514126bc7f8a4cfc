"""The desktop entry as the handler of ferrow-dadira: links, the way a browser
or a user's terminal reaches the app: with the entry the build put beside the
executable registered in a private XDG_DATA_HOME (and XDG_CONFIG_HOME for the
default handler), gio open and xdg-open hand a link to a running app as
"openUrl", and start a stopped app with the link as its entry argument. The
app's windows show its icon."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from desktop_checks import APPLICATION_ID, shows_application_icon
from harness import (DEEP_LINK_CHANNEL, App, LaunchedApp, executable_path,
                     wait_until, window_mapped)

SCHEME = "x-scheme-handler/ferrow-dadira"
OPENERS = {"gio": ["gio", "open"], "xdg-open": ["xdg-open"]}
# Without these, xdg-open knows no desktop environment and takes its generic
# path (the default handler from mimeapps.list), as on the test desktop.
DESKTOP_VARIABLES = ("XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP",
                     "DESKTOP_SESSION", "KDE_FULL_SESSION",
                     "GNOME_DESKTOP_SESSION_ID", "BROWSER")


def deep_links(app):
    return [call["args"] for call in app.history()
            if call["channel"] == DEEP_LINK_CHANNEL and call["method"] == "openUrl"]


class UrlHandlerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.home = Path(tempfile.mkdtemp(prefix="ferrow-desktop-"))
        applications = cls.home / "data" / "applications"
        applications.mkdir(parents=True)
        (cls.home / "config").mkdir()
        entry = Path(os.environ["FERROW_BUILT_ENTRY"])
        shutil.copy(entry, applications)

        cls.env = {key: None for key in DESKTOP_VARIABLES}
        cls.env.update(XDG_DATA_HOME=cls.home / "data",
                       XDG_CONFIG_HOME=cls.home / "config",
                       FL_DEV_ENGINE_SOCKET=None)
        cls.run_tool(["update-desktop-database", str(applications)])
        cls.run_tool(["xdg-mime", "default", APPLICATION_ID + ".desktop", SCHEME])
        default = cls.run_tool(["xdg-mime", "query", "default", SCHEME])
        assert default.strip() == APPLICATION_ID + ".desktop", default

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.home, ignore_errors=True)

    @classmethod
    def tool_env(cls, extra=None):
        env = dict(os.environ)
        for key, value in dict(cls.env, **(extra or {})).items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = str(value)
        return env

    @classmethod
    def run_tool(cls, argv):
        return subprocess.run(argv, env=cls.tool_env(), check=True, timeout=30,
                              capture_output=True, text=True).stdout

    def open_link(self, opener, link, extra_env=None, log=None):
        """Starts the opener on the link with its output in a file (the app
        it starts inherits that, not a pipe this test would wait on)."""
        log = log or self.home / ("%s.log" % opener)
        with open(log, "ab") as out:
            return subprocess.Popen(OPENERS[opener] + [link],
                                    env=self.tool_env(extra_env),
                                    stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT)

    def finish(self, process, timeout=30):
        try:
            self.assertEqual(process.wait(timeout), 0)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise

    def assert_shows_icon(self, xid):
        wait_until(lambda: shows_application_icon(xid),
                   message="application icon on window %#x" % xid)

    def test_links_reach_the_running_app(self):
        with App(env=self.env) as app:
            main = app.main_window()
            wait_until(lambda: window_mapped(main), message="main window mapped")
            self.assert_shows_icon(main)
            self.assert_shows_icon(app.open_view(title="child")["window"])

            links = []
            for opener in OPENERS:
                link = "ferrow-dadira://open/item?id=7&via=%s" % opener
                self.finish(self.open_link(opener, link))
                links.append(link)
                wait_until(lambda: deep_links(app) == links,
                           message="links delivered by %s" % opener)
            self.assertEqual(app.state()["entrypointArguments"], [])
            self.assertEqual(app.gtk_warnings(), [])

    def test_a_link_starts_the_stopped_app(self):
        for opener in OPENERS:
            with self.subTest(opener=opener):
                link = "ferrow-dadira:test/%s" % opener
                socket_path = self.home / ("%s.sock" % opener)
                log = self.home / ("%s-start.log" % opener)
                # gio returns at once; xdg-open's generic path waits for the
                # app it started to end.
                process = self.open_link(opener, link,
                                         {"FL_DEV_ENGINE_SOCKET": socket_path},
                                         log)
                try:
                    with LaunchedApp(socket_path, log) as app:
                        self.assertEqual(app.state()["entrypointArguments"], [link])
                        main = app.main_window()
                        wait_until(lambda: window_mapped(main),
                                   message="main window mapped")
                        self.assertEqual(deep_links(app), [])
                        app.close_view(0)
                        app.wait_exit(timeout=20)
                        self.assertEqual(app.gtk_warnings(), [])
                finally:
                    self.finish(process)


if __name__ == "__main__":
    unittest.main()
