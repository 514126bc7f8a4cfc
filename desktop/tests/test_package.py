"""The Debian package as cpack makes it from the build, and the desktop files:
the entry and metainfo validate, the entry names its executable right even on
an awkward path, the package holds the bundle under /opt with the command and
the desktop files under /usr, its dependencies come from the libraries, and
the bundle unpacked from it runs from its own libraries and shows the icon
without rendering the theme's SVG; the package installs; Debian's checker
finds no error in it."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import gi

gi.require_version("GLib", "2.0")
from gi.repository import GLib  # noqa: E402

from desktop_checks import APPLICATION_ID, shows_application_icon  # noqa: E402
from harness import App, executable_path, wait_until, window_mapped  # noqa: E402

PREFIX = "opt/ferrow-dadira"
SYSTEM_FILES = {
    "usr/share/applications/%s.desktop" % APPLICATION_ID,
    "usr/share/icons/hicolor/scalable/apps/%s.svg" % APPLICATION_ID,
    "usr/share/icons/hicolor/256x256/apps/%s.png" % APPLICATION_ID,
    "usr/share/metainfo/%s.metainfo.xml" % APPLICATION_ID,
    "usr/share/doc/ferrow-dadira/copyright",
    "usr/share/doc/ferrow-dadira/changelog.gz",
}


def run(argv, **kwargs):
    return subprocess.run(argv, check=True, capture_output=True, text=True,
                          timeout=300, **kwargs).stdout


def entry_exec(path):
    keyfile = GLib.KeyFile()
    keyfile.load_from_file(str(path), GLib.KeyFileFlags.NONE)
    return GLib.shell_parse_argv(keyfile.get_string("Desktop Entry", "Exec"))[1]


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = Path(tempfile.mkdtemp(prefix="ferrow-package-"))
        run(["cpack", "-G", "DEB", "--config", os.environ["FERROW_CPACK_CONFIG"],
             "-B", str(cls.tmp / "out")])
        (cls.deb,) = (cls.tmp / "out").glob("*.deb")
        cls.root = cls.tmp / "root"
        run(["dpkg", "-x", str(cls.deb), str(cls.root)])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_desktop_files_validate(self):
        built_entry = Path(os.environ["FERROW_BUILT_ENTRY"])
        package_entry = self.root / "usr/share/applications" / built_entry.name
        for entry in (built_entry, package_entry):
            run(["desktop-file-validate", str(entry)])
        self.assertEqual(entry_exec(built_entry), [executable_path(), "%u"])
        self.assertEqual(entry_exec(package_entry), ["/usr/bin/ferrow-dadira", "%u"])
        run(["appstreamcli", "validate", "--no-net", str(
            self.root / "usr/share/metainfo" / (APPLICATION_ID + ".metainfo.xml"))])

        # A path that needs quoting and escaping survives into the argument.
        awkward = "/tmp/my apps/a$b\"c\\d`e/ferrow_dadira"
        entry = self.tmp / "awkward.desktop"
        run(["cmake", "-DFERROW_DESKTOP_TEMPLATE=" + os.environ["FERROW_ENTRY_TEMPLATE"],
             "-DFERROW_DESKTOP_OUTPUT=%s" % entry,
             "-DFERROW_DESKTOP_EXECUTABLE=" + awkward,
             "-P", os.environ["FERROW_ENTRY_WRITER"]])
        run(["desktop-file-validate", str(entry)])
        self.assertEqual(entry_exec(entry), [awkward, "%u"])

    def test_contents_and_control_fields(self):
        listing = run(["dpkg-deb", "-c", str(self.deb)]).splitlines()
        paths = {line.split()[5].removeprefix("./").rstrip("/"): line
                 for line in listing}
        files = {path for path, line in paths.items() if not line.startswith("d")}

        bundle = Path(executable_path()).parent
        libraries = {"%s/lib/%s" % (PREFIX, lib.name) for lib in bundle.glob("lib/*.so")}
        self.assertTrue(libraries)
        expected = {PREFIX + "/ferrow_dadira", "usr/bin/ferrow-dadira"}
        self.assertLessEqual(expected | libraries | SYSTEM_FILES, files)
        # Nothing but the bundle, the command and the system's files; the
        # bundle's own copy of the desktop files stays out.
        for path in files:
            self.assertTrue(path.startswith(PREFIX + "/") or path in expected
                            or path in SYSTEM_FILES, path)
            self.assertFalse(path.startswith(PREFIX + "/share/"), path)
        self.assertIn("-> /%s/ferrow_dadira" % PREFIX, paths["usr/bin/ferrow-dadira"])

        fields = dict(line.split(": ", 1) for line in
                      run(["dpkg-deb", "-f", str(self.deb)]).splitlines()
                      if ": " in line and not line.startswith(" "))
        self.assertEqual(fields["Package"], "ferrow-dadira")
        self.assertEqual(fields["Architecture"],
                         run(["dpkg", "--print-architecture"]).strip())
        self.assertTrue(fields["Version"])
        self.assertTrue(fields["Maintainer"])
        depends = [d.split()[0] for d in fields["Depends"].split(", ")]
        for package in ("libc6", "libglib2.0-0", "libgtk-3-0"):
            self.assertIn(package, depends)
        # The bundle's own libraries are no dependency.
        self.assertFalse([d for d in depends if "flutter" in d or "plugin" in d], depends)

    def test_lintian_finds_no_error(self):
        # Vendors outside the archive install under /opt; the stand-in plugins
        # call nothing of the C library.
        accepted = ("dir-or-file-in-opt", "library-not-linked-against-libc")
        result = subprocess.run(["lintian", "--tag-display-limit", "0", str(self.deb)],
                                capture_output=True, text=True, timeout=300)
        errors = [line for line in result.stdout.splitlines()
                  if line.startswith("E:") and line.split()[2] not in accepted]
        self.assertEqual(errors, [], result.stdout + result.stderr)
        self.assertIn("dir-or-file-in-opt", result.stdout)  # it did check
        self.assertNotIn("extended-description-line-too-long", result.stdout)

    def test_unpacked_bundle_runs(self):
        executable = self.root / PREFIX / "ferrow_dadira"
        env = {"XDG_DATA_DIRS": "%s:/usr/share" % (self.root / "usr/share")}
        with App(executable=str(executable), env=env) as app:
            main = app.main_window()
            wait_until(lambda: window_mapped(main), message="main window mapped")
            wait_until(lambda: shows_application_icon(main),
                       message="application icon on the main window")
            with open("/proc/%d/maps" % app.proc.pid) as maps:
                mapped = {line.split()[-1] for line in maps}
            engines = {path for path in mapped if "libflutter_linux_gtk.so" in path}
            self.assertEqual(engines, {str(self.root / PREFIX / "lib/libflutter_linux_gtk.so")})
            # The icon theme here has the SVG; loading it costs start-up dearly.
            self.assertEqual([path for path in mapped if "librsvg" in path], [])
            self.assertEqual(app.gtk_warnings(), [])


if __name__ == "__main__":
    unittest.main()
