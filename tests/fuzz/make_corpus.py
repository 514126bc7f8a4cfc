#!/usr/bin/env python3
"""Writes the channel fuzzer's seed corpus (corpus/): one input per method and
argument shape, in the byte format channel_fuzzer.cc and fuzz_input.cc read.
Inputs the fuzzer found (crash files) are added to corpus/ by hand and kept;
this script only rewrites the files it names."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

METHODS = """focusCurrentWindow closeCurrentWindow closeWindowByViewId
hideWindowByViewId minimizeCurrentWindow minimizeWindowByViewId
maximizeCurrentWindow maximizeWindowByViewId unmaximizeCurrentWindow
unmaximizeWindowByViewId centerCurrentWindowRestoreBounds
centerWindowRestoreBoundsByViewId isCurrentWindowMaximized
isWindowMaximizedByViewId setCurrentWindowFullscreen
setWindowFullscreenByViewId isCurrentWindowFullscreen isWindowFullscreenByViewId
startCurrentWindowDrag startWindowDragByViewId startCurrentWindowResize
startWindowResizeByViewId updateCurrentWindowDrag updateWindowDragByViewId
endWindowDrag centerWindowOnCurrentScreen centerWindowOnParentByViewId
prepareNextWindowSpawnOnCurrentScreen prepareNextWindowSpawnOnParentByViewId
prepareNextWindowChrome activateWindowByViewId bindChildWindowToParentByViewId
configureWindowChromeByViewId FocusCurrentWindow""".split()
KEYS = """targetViewId parentViewId childViewId fullscreen globalX globalY edge
preferredWidth preferredHeight minWidth minHeight showSystemTitleBar""".split()
EDGES = ["northWest", "north", "northEast", "east", "southEast", "south",
         "southWest", "west", "North", ""]
KEEP_ALIVE = ["startKeepAlive", "stopKeepAlive", "isKeepAliveActive",
              "StartKeepAlive", "startKeepAlive, not waited for"]

# Values (fuzz_input.cc's tags).
NULL = bytes([0])
def boolean(v): return bytes([1, int(v)])
def small(v): return bytes([2, (v // 64) & 0xff])
def int64(v): return bytes([3]) + struct.pack("<q", v)
def extreme_int(i): return bytes([4, i])
def double(v): return bytes([5]) + struct.pack("<d", v)
def extreme_double(i): return bytes([6, i])
def string(s): return bytes([7, len(s)]) + s
def huge_string(steps): return bytes([8, steps - 1, ord("x")])
def int32_list_huge(steps): return bytes([10, 0, steps - 1, 7])
def float_list(*i): return bytes([12, len(i)]) + bytes(i)
def lst(*values): return bytes([14, len(values)]) + b"".join(values)
def huge_list(steps): return bytes([15, 1, steps - 1])
def edge(name): return bytes([16, EDGES.index(name)])
def view(i): return bytes([19, i])
NO_WINDOW = view(255)  # 255 % (windows + 1) == windows for 2 and 4 windows

def mapping(**entries):
    out = bytes([17, len(entries)])
    for key, value in entries.items():
        out += bytes([KEYS.index(key)]) + value
    return out

def odd_keys(*pairs):
    """A map with keys that are not the shell's strings."""
    out = bytes([17, len(pairs)])
    for key, value in pairs:
        out += bytes([0xe0]) + key + value
    return out

# Steps (channel_fuzzer.cc's Step).
def call(method, args=NULL): return bytes([0, METHODS.index(method)]) + args
def keep_alive(method, args=NULL):
    return bytes([3, KEEP_ALIVE.index(method)]) + args
def open_window(flags=0x04): return bytes([4, flags])
def destroy(i): return bytes([5, i << 2])
def close(i): return bytes([5, (i << 2) | 2])
def hide(i): return bytes([5, (i << 2) | 3])
def first_frame(i): return bytes([6, i])
def turn(ms): return bytes([7, ms // 8])
def sleep_signal(body): return bytes([8, body])
def lose_bus(which): return bytes([9, which])

# Header: the mocks' modes (logind, screen saver); a main window drawn and a
# shown child window drawn, so that windows 0 and 1 exist.
def header(logind=0, screen_saver=0): return bytes([logind, screen_saver])
READY = (first_frame(0) + open_window() + turn(16) + first_frame(1) + turn(16))

def target(i=1, **more): return mapping(targetViewId=view(i), **more)

INPUTS = {
    "empty": b"",
    "focus": READY + call("focusCurrentWindow") + turn(600),
    "close_current": READY + call("closeCurrentWindow") + turn(40),
    # Found by the fuzzer: GTK ran the first of two pending closes on the
    # freed window.
    "close_current_twice": call("closeCurrentWindow")
        + call("closeCurrentWindow") + turn(16) + turn(16),
    "close_by_id": READY + call("closeWindowByViewId", target()) + turn(16),
    "hide_then_destroy": READY + call("hideWindowByViewId", target())
        + destroy(1) + turn(16),
    "hide_main": READY + call("hideWindowByViewId", target(0)) + turn(16)
        + call("focusCurrentWindow") + turn(200),
    "minimize": READY + call("minimizeCurrentWindow") + call(
        "minimizeWindowByViewId", target()) + turn(40),
    "maximize": READY + call("maximizeCurrentWindow") + call(
        "maximizeWindowByViewId", target()) + turn(40)
        + call("isCurrentWindowMaximized") + call(
            "isWindowMaximizedByViewId", target()),
    "unmaximize": READY + call("unmaximizeCurrentWindow") + call(
        "unmaximizeWindowByViewId", target()) + turn(16),
    "restore_bounds": READY + call("centerCurrentWindowRestoreBounds")
        + call("centerWindowRestoreBoundsByViewId", target()) + turn(16),
    "fullscreen": READY + call("setCurrentWindowFullscreen", mapping(
        fullscreen=boolean(True))) + call("setWindowFullscreenByViewId",
        target(fullscreen=boolean(True))) + turn(40)
        + call("isCurrentWindowFullscreen")
        + call("isWindowFullscreenByViewId", target()),
    "fullscreen_wrong_types": READY + call("setWindowFullscreenByViewId",
        mapping(targetViewId=string(b"1"), fullscreen=small(64))),
    "drag": READY + call("startCurrentWindowDrag", mapping(
        globalX=small(128), globalY=double(10.5))) + turn(100),
    "drag_by_id_extreme": READY + call("startWindowDragByViewId", target(
        globalX=extreme_double(0), globalY=extreme_int(4))) + turn(100),
    "resize": READY + call("startCurrentWindowResize", mapping(
        edge=edge("southEast"), globalX=small(64), globalY=small(64)))
        + turn(40),
    "resize_by_id_bad_edge": READY + call("startWindowResizeByViewId", target(
        edge=edge("North"), globalX=extreme_double(1))),
    "drag_updates": READY + call("updateCurrentWindowDrag", huge_list(4))
        + call("updateWindowDragByViewId", huge_string(8))
        + call("endWindowDrag", int32_list_huge(2)),
    "center_current_screen": READY + call("centerWindowOnCurrentScreen",
        target()) + turn(16),
    "center_on_parent": READY + open_window() + turn(16) + call(
        "centerWindowOnParentByViewId", target(2, parentViewId=view(1)))
        + turn(16),
    "center_on_itself": READY + call("centerWindowOnParentByViewId",
        target(1, parentViewId=view(1))),
    "prepare_spawn": READY + call("prepareNextWindowSpawnOnCurrentScreen")
        + open_window(0x00) + turn(100)
        + call("prepareNextWindowSpawnOnParentByViewId", target())
        + open_window(0x05) + turn(1000),
    "prepare_chrome": call("prepareNextWindowChrome", mapping(
        preferredWidth=small(640), preferredHeight=small(480),
        minWidth=small(320), minHeight=small(128))) + open_window()
        + turn(40) + first_frame(1) + turn(16),
    "prepare_chrome_extreme": call("prepareNextWindowChrome", mapping(
        preferredWidth=extreme_int(4), preferredHeight=extreme_int(3),
        minWidth=extreme_int(8), minHeight=extreme_int(6))) + open_window()
        + turn(2000),
    "activate_before_first_frame": first_frame(0) + open_window() + call(
        "activateWindowByViewId", target()) + turn(1600),
    "bind_to_parent": READY + open_window() + call(
        "bindChildWindowToParentByViewId", mapping(childViewId=view(2),
        parentViewId=view(1))) + destroy(1) + turn(16),
    "configure_chrome_child": READY + call("configureWindowChromeByViewId",
        target(showSystemTitleBar=boolean(False), preferredWidth=small(900),
               minWidth=extreme_int(1))) + turn(1600),
    "configure_chrome_main": READY + call("configureWindowChromeByViewId",
        target(0, showSystemTitleBar=boolean(False))) + call(
        "configureWindowChromeByViewId", target(0)),
    "configure_chrome_all": READY + call("configureWindowChromeByViewId",
        mapping(targetViewId=NO_WINDOW, showSystemTitleBar=boolean(False))),
    "unknown_and_wrong_case": READY + call("FocusCurrentWindow", lst(NULL))
        + bytes([0, 0xf0, 3]) + b"foo" + NULL,
    "not_a_map": READY + call("hideWindowByViewId", lst(view(1)))
        + call("maximizeWindowByViewId", view(1))
        + call("setCurrentWindowFullscreen", float_list(0, 1, 2)),
    "odd_keys": READY + call("activateWindowByViewId", odd_keys(
        (small(0), view(1)), (NULL, view(1)), (boolean(True), NULL))),
    "nested": READY + call("configureWindowChromeByViewId", mapping(
        targetViewId=mapping(targetViewId=view(1)),
        preferredWidth=lst(lst(lst(small(64)))))),
    "huge_string_key_value": READY + call("hideWindowByViewId", mapping(
        targetViewId=huge_string(255))),
    "main_window_gone": READY + destroy(0) + turn(16) + call(
        "centerWindowOnCurrentScreen", target(0)) + call(
        "focusCurrentWindow") + call("isCurrentWindowMaximized") + turn(16),
    "unseen_session": READY + destroy(0) + hide(0) + turn(16),
    "child_closed_before_reveal": first_frame(0) + open_window(0x00)
        + close(1) + turn(1600),
    "keep_alive_logind": header(0, 0) + keep_alive("startKeepAlive")
        + keep_alive("isKeepAliveActive") + keep_alive("startKeepAlive")
        + keep_alive("stopKeepAlive"),
    "keep_alive_held_at_exit": header(0, 0) + keep_alive("startKeepAlive"),
    "keep_alive_screen_saver": header(1, 0) + keep_alive("startKeepAlive")
        + keep_alive("stopKeepAlive") + keep_alive("isKeepAliveActive"),
    "keep_alive_refused": header(2, 1) + keep_alive("startKeepAlive")
        + lose_bus(0x13) + keep_alive("startKeepAlive")
        + keep_alive("StartKeepAlive", mapping(edge=edge("west"))),
    "keep_alive_release_fails": header(4, 3) + keep_alive("startKeepAlive")
        + keep_alive("stopKeepAlive"),
    # Answers held by the mocks (bit 0x40): the start answers after each
    # deadline, the locks granted later are released; then a start still
    # pending meets a second start, a stop, and its late lock.
    "keep_alive_late": header(0x40, 0x40) + keep_alive("startKeepAlive")
        + turn(16) + keep_alive("startKeepAlive, not waited for")
        + keep_alive("startKeepAlive") + turn(16)
        + keep_alive("startKeepAlive, not waited for")
        + keep_alive("stopKeepAlive") + turn(16)
        + keep_alive("startKeepAlive, not waited for"),
    "sleep_and_wake": sleep_signal(0) + turn(0) + sleep_signal(1)
        + sleep_signal(2) + sleep_signal(3) + turn(16),
    "system_bus_lost": keep_alive("startKeepAlive") + lose_bus(0) + turn(16)
        + keep_alive("isKeepAliveActive") + turn(1100) + sleep_signal(0),
    "session_bus_lost": header(1, 0) + keep_alive("startKeepAlive")
        + lose_bus(1) + turn(16) + keep_alive("stopKeepAlive"),
}

def main():
    corpus = os.path.join(HERE, "corpus")
    os.makedirs(corpus, exist_ok=True)
    for name, steps in INPUTS.items():
        # Inputs without a header of their own use the default modes.
        data = steps if name.startswith("keep_alive") or name in (
            "session_bus_lost",) else header() + steps
        with open(os.path.join(corpus, name), "wb") as out:
            out.write(data)

if __name__ == "__main__":
    main()
