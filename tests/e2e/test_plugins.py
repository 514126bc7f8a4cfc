"""The plugin libraries in the running application: all four are registered
in order before the shell's own channels, each answers on its own channel,
and the window-frame plugin has taken the title bar off the main window."""

import unittest

from harness import WINDOW_CONTROL_CHANNEL, App, decorated, wait_until, window_mapped

PLUGINS = [
    ("BitsdojoWindowPlugin", "bitsdojo/window"),
    ("FileSelectorPlugin", "plugins.flutter.io/file_selector"),
    ("FlutterSecureStorageLinuxPlugin", "plugins.it_nomads.com/flutter_secure_storage"),
    ("TarnGlassChartPlugin", "tarn_glass/chart"),
]


class PluginsTest(unittest.TestCase):
    def test_plugins_registered_before_the_shell_channels(self):
        with App() as app:
            state = wait_until(
                lambda: (lambda s: s if WINDOW_CONTROL_CHANNEL in s["channels"] else None)(
                    app.state()),
                message="shell channels open")
            self.assertEqual(state["registrars"], [name for name, _ in PLUGINS])
            channels = state["channels"]
            for _, channel in PLUGINS:
                self.assertIn(channel, channels)
                self.assertLess(channels.index(channel),
                                channels.index(WINDOW_CONTROL_CHANNEL))
                self.assertEqual(app.invoke(channel, "anything")["response"],
                                 "notImplemented")

    def test_main_window_has_no_system_title_bar(self):
        with App() as app:
            xid = app.main_window()
            wait_until(lambda: window_mapped(xid), message="main window mapped")
            self.assertFalse(decorated(xid))


if __name__ == "__main__":
    unittest.main()
