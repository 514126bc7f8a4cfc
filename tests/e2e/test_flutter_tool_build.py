"""The Flutter tool's build contract, played without the tool but as the tool
is: a temporary Flutter project whose linux/ folder is a copy of this tree, a
fake FLUTTER_ROOT whose tool_backend.sh unpacks the development engine as the
real one unpacks the embedder and builds a native asset, the tool's generated
config, plugin list and registrant, a plugin package written the way
published ones are beside the four stand-ins, then the tool's configure
(clang) and install. The bundle must hold everything, resolve every library
from itself, name nothing of the build, and start with all five plugins
registered; the plugin sees what the tool's app folders give plugins, and its
header is no concern of the shell's warnings; an embedder too old for the
shell stops the configure; a sysroot is where a cross build's libraries come
from, never its programs, and a compiler that does not build for the target
platform is refused."""

import os
import re
import shutil
import stat
import subprocess
import tempfile
import textwrap
import unittest
from pathlib import Path

from harness import APPLICATION_ID, REPO, App, wait_until, window_mapped

# The tool lists plugins alphabetically; glint_counter is the published-style
# one (tests/e2e/published_plugin/), with a library of its own.
PLUGINS = ["bitsdojo_window_linux", "file_selector_linux",
           "flutter_secure_storage_linux", "glint_counter", "tarn_glass_chart"]
PUBLISHED_PLUGIN = "glint_counter"
# Registrar name, registration function and header of each plugin.
REGISTRATIONS = {
    "bitsdojo_window_linux": ("BitsdojoWindowPlugin", "bitsdojo_window_plugin",
                              "bitsdojo_window_linux/bitsdojo_window_plugin.h"),
    "file_selector_linux": ("FileSelectorPlugin", "file_selector_plugin",
                            "file_selector_linux/file_selector_plugin.h"),
    "flutter_secure_storage_linux": (
        "FlutterSecureStorageLinuxPlugin", "flutter_secure_storage_linux_plugin",
        "flutter_secure_storage_linux/flutter_secure_storage_linux_plugin.h"),
    "glint_counter": ("GlintCounterPlugin", "glint_counter_plugin",
                      "glint_counter/glint_counter_plugin.h"),
    "tarn_glass_chart": ("TarnGlassChartPlugin", "tarn_glass_chart_plugin",
                         "tarn_glass_chart/tarn_glass_chart_plugin.h"),
}
# The tool compiles with clang.
TOOL_ENV = dict(os.environ, CC="clang", CXX="clang++")
MODE = "Profile"  # not Debug, so that libapp.so belongs in the bundle
PLATFORM = "linux-x64"

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
# A code asset, linked with a run path into the build as a build hook may.
assets="$PROJECT_DIR/build/native_assets/linux"
mkdir -p "$assets"
echo 'int glint_sum(int a, int b) { return a + b; }' >"$PROJECT_DIR/build/glint_sum.c"
"${CC:-cc}" -shared -fPIC -o "$assets/libglint_sum.so" "$PROJECT_DIR/build/glint_sum.c" \
  -Wl,-rpath,"$assets"
"""

REGISTRANT_H = """\
//
//  Generated file. Do not edit.
//

// clang-format off

#ifndef GENERATED_PLUGIN_REGISTRANT_
#define GENERATED_PLUGIN_REGISTRANT_

#include <flutter_linux/flutter_linux.h>

// Registers Flutter plugins.
void fl_register_plugins(FlPluginRegistry* registry);

#endif  // GENERATED_PLUGIN_REGISTRANT_
"""


def run(argv, cwd=None, timeout=600):
    result = subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE, env=TOOL_ENV,
                            stderr=subprocess.STDOUT, text=True, timeout=timeout)
    return result.returncode, result.stdout


def registrant_cc():
    """generated_plugin_registrant.cc as the tool writes it."""
    lines = ["//", "//  Generated file. Do not edit.", "//", "", "// clang-format off",
             "", '#include "generated_plugin_registrant.h"', ""]
    lines += ["#include <%s>" % REGISTRATIONS[p][2] for p in PLUGINS]
    lines += ["", "void fl_register_plugins(FlPluginRegistry* registry) {"]
    for plugin in PLUGINS:
        name, function, _ = REGISTRATIONS[plugin]
        lines += ["  g_autoptr(FlPluginRegistrar) %s_registrar =" % plugin,
                  '      fl_plugin_registry_get_registrar_for_plugin(registry, "%s");' % name,
                  "  %s_register_with_registrar(%s_registrar);" % (function, plugin)]
    return "\n".join(lines + ["}", ""])


def elf_files(folder):
    for path in sorted(folder.rglob("*")):
        if path.is_file() and path.read_bytes()[:4] == b"\x7fELF":
            yield path


def run_path(path):
    """The RUNPATH or RPATH entries of an ELF file."""
    _, dynamic = run(["readelf", "-d", "--wide", str(path)])
    match = re.search(r"Library (?:runpath|rpath): \[([^\]]*)\]", dynamic)
    return match.group(1).split(":") if match else []


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

        # The published plugin comes from the package cache, outside the project.
        published = self.tmp / "pub-cache" / (PUBLISHED_PLUGIN + "-1.0.0")
        shutil.copytree(REPO / "tests/e2e/published_plugin" / PUBLISHED_PLUGIN, published)
        ephemeral = self.linux / "flutter/ephemeral"
        (ephemeral / ".plugin_symlinks").mkdir(parents=True)
        for plugin in PLUGINS:
            (ephemeral / ".plugin_symlinks" / plugin).symlink_to(
                published if plugin == PUBLISHED_PLUGIN
                else self.linux / "plugin_stand_ins" / plugin)
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
        (self.linux / "flutter/generated_plugin_registrant.h").write_text(REGISTRANT_H)
        (self.linux / "flutter/generated_plugin_registrant.cc").write_text(registrant_cc())
        # A newest entry dated with a one-digit day, as dpkg allows.
        changelog = self.linux / "desktop/changelog"
        changelog.write_text("ferrow-dadira (9.9.9) unstable; urgency=medium\n\n"
                             "  * Test.\n\n -- Tester <t@example.org>  "
                             "Tue, 5 Jan 2027 12:00:00 +0000\n\n" + changelog.read_text())

    def configure(self, build, platform=PLATFORM, *options):
        return run(["cmake", "-G", "Ninja", "-DCMAKE_BUILD_TYPE=" + MODE,
                    "-DFLUTTER_TARGET_PLATFORM=" + platform, *options, str(self.linux)],
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
        libraries = ["libflutter_linux_gtk.so", "libglint_counter_core.so", "libglint_sum.so"]
        libraries += ["lib%s_plugin.so" % plugin for plugin in PLUGINS]
        expected = ["data/flutter_assets/AssetManifest.json", "data/icudtl.dat",
                    "ferrow_dadira", "lib/libapp.so"]
        expected += ["lib/" + name for name in libraries]
        # No desktop entry: it would name the executable in the build tree.
        expected += ["share/" + path % APPLICATION_ID for path in [
            "metainfo/%s.metainfo.xml", "icons/hicolor/scalable/apps/%s.svg",
            "icons/hicolor/256x256/apps/%s.png"]]
        self.assertEqual(files, sorted(expected))
        metainfo = (bundle / "share/metainfo" / (APPLICATION_ID + ".metainfo.xml")).read_text()
        self.assertIn('<release version="9.9.9" date="2027-01-05"/>', metainfo)

        # The bundle can be copied: nothing in it names the build or its source.
        for path in bundle.rglob("*"):
            if path.is_file():
                self.assertFalse(str(self.tmp).encode() in path.read_bytes(),
                                 "%s names %s" % (path, self.tmp))
        executable = bundle / "ferrow_dadira"
        self.assertEqual(run_path(executable), ["$ORIGIN/lib"])
        for path in elf_files(bundle):
            for entry in run_path(path):
                self.assertTrue(entry.startswith("$ORIGIN"), (path, entry))
            _, needed = run(["ldd", str(path)])
            self.assertNotIn("not found", needed, path)
            for name in libraries:
                if name + " =>" in needed:
                    self.assertIn("%s => %s" % (name, bundle / "lib" / name), needed)
        _, needed = run(["ldd", str(bundle / "lib/libglint_counter_plugin.so")])
        self.assertIn("libglint_counter_core.so => %s" % (bundle / "lib"), needed)

        # The published plugin is compiled with exactly what the app gives
        # plugins (its unused parameter would fail under -Wextra); the
        # shell's own code with -Wextra too.
        _, commands = run(["ninja", "-C", str(build), "-t", "commands"])
        def compile_flags(source):
            (line,) = [l for l in commands.splitlines() if " -c " in l and source in l]
            return line.split()
        flags = compile_flags("glint_counter_plugin.cc")
        for flag in ("-Wall", "-Werror", "-O3", "-DNDEBUG", "-std=c++17"):
            self.assertIn(flag, flags)
        self.assertNotIn("-Wextra", flags)
        self.assertIn("-Wextra", compile_flags("runner/activation.cc"))

        with App(executable=str(executable)) as app:
            xid = app.main_window(timeout=30)
            wait_until(lambda: window_mapped(xid), timeout=30,
                       message="main window revealed")
            state = app.state()
            self.assertEqual(state["registrars"],
                             [REGISTRATIONS[plugin][0] for plugin in PLUGINS])
            # Named with APPLICATION_ID and a header from PROJECT_BUILD_DIR.
            self.assertIn(APPLICATION_ID + "/glint_counter", state["channels"])

        # An SDK whose embedder lacks fl_view_get_id stops the configure.
        header = self.root / "bin/cache/artifacts/engine" / PLATFORM / "flutter_linux/fl_view.h"
        header.write_text(header.read_text().replace("fl_view_get_id", "fl_view_id"))
        status, output = self.configure(build)
        self.assertNotEqual(status, 0)
        self.assertIn("lacks fl_view_get_id (Flutter 3.27)", " ".join(output.split()))

    def test_cross_build_takes_libraries_from_the_sysroot(self):
        self.lay_out_project()
        sysroot = self.tmp / "sysroot"
        pkgconfig = sysroot / "usr/lib/aarch64-linux-gnu/pkgconfig"
        pkgconfig.mkdir(parents=True)
        # The target's programs, which the build machine cannot run.
        (sysroot / "usr/bin").mkdir()
        for program in ("pkg-config", "glib-compile-resources", "rsvg-convert"):
            (sysroot / "usr/bin" / program).write_text("#!/bin/sh\nexit 126\n")
            (sysroot / "usr/bin" / program).chmod(0o755)
        for module, include, library in [("gtk+-3.0", "gtk-3.0", "gtk-3"),
                                         ("glib-2.0", "glib-2.0", "glib-2.0"),
                                         ("gio-2.0", "glib-2.0", "gio-2.0"),
                                         ("gio-unix-2.0", "gio-unix-2.0", "gio-2.0")]:
            (pkgconfig / (module + ".pc")).write_text(textwrap.dedent("""\
                prefix=/usr
                libdir=${{prefix}}/lib/aarch64-linux-gnu
                includedir=${{prefix}}/include
                Name: {module}
                Description: fake
                Version: 3.24.0
                Libs: -L${{libdir}} -l{library}
                Cflags: -I${{includedir}}/{include}
                """).format(module=module, library=library, include=include))
            (sysroot / "usr/lib/aarch64-linux-gnu" / ("lib%s.so" % library)).touch()
            (sysroot / "usr/include" / include).mkdir(parents=True, exist_ok=True)
        build = self.project / "build/linux/arm64" / MODE.lower()
        build.mkdir(parents=True)
        # Without the target, clang builds for the host: refused.
        status, output = self.configure(build, "linux-arm64",
                                        "-DFLUTTER_TARGET_PLATFORM_SYSROOT=%s" % sysroot)
        self.assertNotEqual(status, 0)
        self.assertRegex(" ".join(output.split()),
                         r"FLUTTER_TARGET_PLATFORM is linux-arm64, but the C\+\+ "
                         r"compiler \(\S*clang\+\+\) does not build for it")
        shutil.rmtree(build)
        build.mkdir()
        # Nothing compiles against a fake sysroot: the compiler is only
        # given its target, and checks stop short of linking.
        status, output = self.configure(
            build, "linux-arm64", "-DFLUTTER_TARGET_PLATFORM_SYSROOT=%s" % sysroot,
            "-DCMAKE_C_COMPILER_TARGET=aarch64-linux-gnu",
            "-DCMAKE_CXX_COMPILER_TARGET=aarch64-linux-gnu",
            "-DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY")
        self.assertEqual(status, 0, output)
        cache = (build / "CMakeCache.txt").read_text()
        (includes,) = re.findall(r"^GTK_INCLUDE_DIRS:INTERNAL=(.*)$", cache, re.M)
        self.assertEqual(includes, str(sysroot / "usr/include/gtk-3.0"))
        rules = (build / "CMakeFiles/rules.ninja").read_text()
        self.assertTrue("--sysroot=%s " % sysroot in rules, "compiler not given the sysroot")
        # A plugin's own lookup finds the sysroot's library; GLib's flags
        # reach a plugin's library through the engine's target alone.
        self.assertIn("pkgcfg_lib_GLINT_GIO_UNIX_gio-2.0:FILEPATH=%s"
                      % (sysroot / "usr/lib/aarch64-linux-gnu/libgio-2.0.so"), cache)
        _, commands = run(["ninja", "-C", str(build), "-t", "commands"])
        (core,) = [l for l in commands.splitlines()
                   if " -c " in l and "glint_counter_core.cc" in l]
        self.assertIn(str(sysroot / "usr/include/glib-2.0"), core)

        # The steps run on the build machine work with its programs.
        icons = "desktop/window-icons"
        status, output = run(["ninja", "-C", str(build), icons + "/window_icons.c"])
        self.assertEqual(status, 0, output[-6000:])
        self.assertTrue(list((build / icons).glob("*.rgba")), "no window icons")


if __name__ == "__main__":
    unittest.main()
