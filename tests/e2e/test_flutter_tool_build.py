"""The Flutter tool's build contract, played without the tool: a temporary
Flutter project whose linux/ folder is a copy of this tree, a fake
FLUTTER_ROOT whose tool_backend.sh unpacks the development engine as the real
one unpacks the embedder, the tool's generated config and plugin list, then
the tool's configure and install. The bundle must hold everything the real
engine needs and start on the test desktop; an embedder too old for the shell
stops the configure."""

import os
import shutil
import stat
import subprocess
import tempfile
import textwrap
import unittest
from pathlib import Path

from harness import REPO, App, wait_until, window_mapped

PLUGINS = ["bitsdojo_window_linux", "file_selector_linux",
           "flutter_secure_storage_linux", "tarn_glass_chart"]
MODE = "Profile"  # not Debug, so that libapp.so belongs in the bundle
PLATFORM = "linux-x64"
APP_ID = "dev.ferrow.FerrowDadira"

# Unpacks the engine artifacts of FLUTTER_ROOT into the ephemeral folder and
# writes the Dart side's output, as the real script does through the tool.
TOOL_BACKEND = """\
#!/bin/sh
set -eu
echo "$1 $2" >>"$PROJECT_DIR/tool_backend.log"
engine="$FLUTTER_ROOT/bin/cache/artifacts/engine/$1"
ephemeral="$PROJECT_DIR/linux/flutter/ephemeral"
cp "$engine/libflutter_linux_gtk.so" "$engine/icudtl.dat" "$ephemeral/"
rm -rf "$ephemeral/flutter_linux"
cp -r "$engine/flutter_linux" "$ephemeral/"
mkdir -p "$PROJECT_DIR/build/flutter_assets"
echo '{}' >"$PROJECT_DIR/build/flutter_assets/AssetManifest.json"
if [ "$2" != Debug ]; then
  mkdir -p "$PROJECT_DIR/build/lib"
  echo 'AOT snapshot' >"$PROJECT_DIR/build/lib/libapp.so"
fi
"""


def run(argv, cwd=None, timeout=600):
    result = subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, timeout=timeout)
    return result.returncode, result.stdout


class FlutterToolBuildTest(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="ferrow-flutter-tool-"))
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.project = self.tmp / "app"
        self.root = self.tmp / "flutter"
        self.linux = self.project / "linux"

    def lay_out_project(self):
        def ignore(folder, names):
            if Path(folder) == REPO:
                return [n for n in names
                        if n.startswith("build") or n in (".git", "out", ".cache")]
            return [n for n in names if n in ("ephemeral", "__pycache__")]
        shutil.copytree(REPO, self.linux, ignore=ignore, symlinks=True)

        engine = self.root / "bin/cache/artifacts/engine" / PLATFORM
        engine.mkdir(parents=True)
        bundle = Path(os.environ["FERROW_BUNDLE"])
        shutil.copy(bundle / "lib/libflutter_linux_gtk.so", engine)
        (engine / "icudtl.dat").write_text("ICU data\n")
        # Only the public headers: the real embedder has no fl_dev_engine.h.
        shutil.copytree(REPO / "dev_engine/include/flutter_linux",
                        engine / "flutter_linux",
                        ignore=shutil.ignore_patterns("fl_dev_engine.h"))
        backend = self.root / "packages/flutter_tools/bin/tool_backend.sh"
        backend.parent.mkdir(parents=True)
        backend.write_text(TOOL_BACKEND)
        backend.chmod(backend.stat().st_mode | stat.S_IXUSR)

        ephemeral = self.linux / "flutter/ephemeral"
        (ephemeral / ".plugin_symlinks").mkdir(parents=True)
        for plugin in PLUGINS:
            (ephemeral / ".plugin_symlinks" / plugin).symlink_to(
                self.linux / "plugin_stand_ins" / plugin)
        (ephemeral / "generated_config.cmake").write_text(textwrap.dedent("""\
            file(TO_CMAKE_PATH "{root}" FLUTTER_ROOT)
            file(TO_CMAKE_PATH "{project}" PROJECT_DIR)
            set(FLUTTER_VERSION "1.2.3+4" PARENT_SCOPE)
            set(FLUTTER_VERSION_MAJOR 1 PARENT_SCOPE)
            set(FLUTTER_VERSION_MINOR 2 PARENT_SCOPE)
            set(FLUTTER_VERSION_PATCH 3 PARENT_SCOPE)
            set(FLUTTER_VERSION_BUILD 4 PARENT_SCOPE)
            list(APPEND FLUTTER_TOOL_ENVIRONMENT
              "FLUTTER_ROOT={root}"
              "PROJECT_DIR={project}"
              "TRACK_WIDGET_CREATION=true"
            )
            """).format(root=self.root, project=self.project))
        (self.linux / "flutter/generated_plugins.cmake").write_text(
            textwrap.dedent("""\
            list(APPEND FLUTTER_PLUGIN_LIST {plugins})
            set(PLUGIN_BUNDLED_LIBRARIES)
            foreach(plugin ${{FLUTTER_PLUGIN_LIST}})
              add_subdirectory(flutter/ephemeral/.plugin_symlinks/${{plugin}}/linux plugins/${{plugin}})
              target_link_libraries(${{BINARY_NAME}} PRIVATE ${{plugin}}_plugin)
              list(APPEND PLUGIN_BUNDLED_LIBRARIES $<TARGET_FILE:${{plugin}}_plugin>)
              list(APPEND PLUGIN_BUNDLED_LIBRARIES ${{${{plugin}}_bundled_libraries}})
            endforeach(plugin)
            """).format(plugins=" ".join(PLUGINS)))

    def configure(self, build):
        return run(["cmake", "-G", "Ninja", "-DCMAKE_BUILD_TYPE=" + MODE,
                    "-DFLUTTER_TARGET_PLATFORM=" + PLATFORM, str(self.linux)],
                   cwd=build, timeout=300)

    def test_tool_build_gives_a_bundle_that_starts(self):
        self.lay_out_project()
        build = self.project / "build/linux/x64" / MODE.lower()
        build.mkdir(parents=True)
        status, output = self.configure(build)
        self.assertEqual(status, 0, output)
        bundle = build / "bundle"
        (bundle / "lib").mkdir(parents=True)
        (bundle / "lib/stale.so").write_text("left over\n")
        status, output = run(["ninja", "-C", str(build), "-j2", "install"],
                             timeout=1200)
        self.assertEqual(status, 0, output[-6000:])

        self.assertEqual((self.project / "tool_backend.log").read_text().split("\n")[0],
                         "%s %s" % (PLATFORM, MODE))
        files = sorted(str(p.relative_to(bundle)) for p in bundle.rglob("*")
                       if not p.is_dir())
        expected = ["data/flutter_assets/AssetManifest.json", "data/icudtl.dat",
                    "ferrow_dadira", "lib/libapp.so", "lib/libflutter_linux_gtk.so"]
        expected += ["lib/lib%s_plugin.so" % plugin for plugin in PLUGINS]
        expected += ["share/" + path % APP_ID for path in [
            "applications/%s.desktop", "metainfo/%s.metainfo.xml",
            "icons/hicolor/scalable/apps/%s.svg",
            "icons/hicolor/256x256/apps/%s.png"]]
        self.assertEqual(files, sorted(expected))

        executable = bundle / "ferrow_dadira"
        _, dynamic = run(["readelf", "-d", str(executable)])
        self.assertIn("Library runpath: [$ORIGIN/lib]", dynamic)
        _, libraries = run(["ldd", str(executable)])
        self.assertNotIn("not found", libraries)
        for name in ["libflutter_linux_gtk.so"] + ["lib%s_plugin.so" % p for p in PLUGINS]:
            self.assertIn("%s => %s" % (name, bundle / "lib" / name), libraries)

        with App(executable=str(executable)) as app:
            xid = app.main_window(timeout=30)
            wait_until(lambda: window_mapped(xid), timeout=30,
                       message="main window revealed")

        # An SDK whose embedder lacks fl_view_get_id stops the configure.
        header = self.root / "bin/cache/artifacts/engine" / PLATFORM / "flutter_linux/fl_view.h"
        header.write_text(header.read_text().replace("fl_view_get_id", "fl_view_id"))
        status, output = self.configure(build)
        self.assertNotEqual(status, 0)
        self.assertIn("lacks fl_view_get_id (Flutter 3.27)", " ".join(output.split()))


if __name__ == "__main__":
    unittest.main()
