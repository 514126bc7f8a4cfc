"""The benchmark behind scripts/bench, run inside scripts/test-desktop: the
start, the memory and a later launch's hand-off of the built executable, each
side by side with a bare program doing the same (bare_gtk.c, bare_gio.c), in
interleaved runs; and the longest stall of the main loop while a keep-alive
start waits for a logind that never answers. Prints the medians, their ratio
and the goal, one line per figure, and exits 1 when a goal is missed (2 when
it cannot measure). With --against, a second build starts in the same rounds,
and the difference of the two is printed from the pairs of starts."""

import argparse
import json
import os
import select
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

START_GOAL = 1.12
STALL_GOAL_MS = 50
KEEP_ALIVE_CHANNEL = "tarn_glass/system_keep_alive"
SYSTEM_PYTHON = "/usr/bin/python3"
RSS_GOAL = 1.18
HANDOFF_GOAL = 1.25
DEEP_LINK_CHANNEL = "ferrow-dadira/deep_link"
# Lets the primary's own work after a launch (raising its window) settle.
LAUNCH_GAP_S = 0.3
TIMEOUT_S = 30


class BenchError(Exception):
    pass


def base_env():
    env = dict(os.environ)
    env.pop("FL_DEV_ENGINE_SOCKET", None)
    return env


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d CPUs" % (model, os.cpu_count())


def load_average():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])


def watch_start(watcher, program):
    """(milliseconds to the shown window, peak RSS in KiB, librsvg mapped,
    CPU milliseconds until shown)."""
    result = subprocess.run([watcher, program], env=base_env(), text=True,
                            capture_output=True, timeout=60)
    if result.returncode != 0:
        raise BenchError("starting %s: %s" % (program, result.stderr.strip()[-2000:]))
    ms, kib, librsvg, cpu = result.stdout.split()
    return float(ms), int(kib), librsvg == "1", float(cpu)


def measure_starts(watcher, programs, pairs):
    """Interleaved starts, (milliseconds, KiB, CPU milliseconds) per program
    and round, the order rotating and turning; the first round warms the
    caches and is not counted."""
    samples = {name: [] for name in programs}
    librsvg = False
    names = list(programs)
    for round_index in range(-1, pairs):
        shift = round_index % len(names)
        order = names[shift:] + names[:shift]
        for name in order if round_index % 2 == 0 else order[::-1]:
            ms, kib, mapped, cpu = watch_start(watcher, programs[name])
            if round_index >= 0:
                samples[name].append((ms, kib, cpu))
            librsvg = librsvg or (name == "app" and mapped)
    return samples, librsvg


class Lines:
    """Lines read without blocking from a file descriptor select() found
    ready."""

    def __init__(self, fd):
        self.fd = fd
        self.pending = b""

    def read(self):
        data = os.read(self.fd, 65536)
        if not data:
            raise BenchError("the primary instance closed its output")
        self.pending += data
        *lines, self.pending = self.pending.split(b"\n")
        return [line.decode() for line in lines]

    def wait_for(self, predicate, timeout=TIMEOUT_S):
        """The first line for which predicate holds; later lines read with
        it are dropped."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                raise BenchError("the primary instance did not answer in time")
            for line in self.read():
                if predicate(line):
                    return line


def is_open_url(line, link):
    try:
        event = json.loads(line)
    except ValueError:
        return False
    return (event.get("event") == "methodCall" and event.get("channel") == DEEP_LINK_CHANNEL
            and event.get("method") == "openUrl" and event.get("args") == link)


def first_frame_drawn(sock, lines):
    sock.sendall(b'{"id": 1, "op": "state"}\n')
    reply = json.loads(lines.wait_for(lambda line: json.loads(line).get("id") == 1))
    views = reply.get("result", {}).get("views", [])
    return bool(views) and views[0].get("firstFrame")


class Primary:
    """A running primary instance and how to see that a later launch's
    argument reached it."""

    def __init__(self, argv, env, lines, delivered, process, closing=()):
        self.argv, self.env, self.lines = argv, env, lines
        self.delivered, self.process, self.closing = delivered, process, closing

    def launch(self, link):
        """(milliseconds until the link reached the primary, milliseconds
        the later launch ran)."""
        quiet = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, os.O_WRONLY, 0) for fd in (1, 2)]
        start = time.monotonic_ns()
        pid = os.posix_spawn(self.argv[0], self.argv + [link], self.env, file_actions=quiet)
        pidfd = os.pidfd_open(pid)
        handoff = run = None
        deadline = time.monotonic() + TIMEOUT_S
        try:
            while handoff is None or run is None:
                waiting = ([self.lines.fd] if handoff is None else []) + \
                          ([pidfd] if run is None else [])
                ready = select.select(waiting, [], [], max(0, deadline - time.monotonic()))[0]
                now = time.monotonic_ns()
                if not ready:
                    raise BenchError("%s %s: no hand-off in time" % (self.argv[0], link))
                if pidfd in ready:
                    status = os.waitpid(pid, 0)[1]
                    run = (now - start) / 1e6
                    if os.waitstatus_to_exitcode(status) != 0:
                        raise BenchError("%s %s exited with %d" % (
                            self.argv[0], link, os.waitstatus_to_exitcode(status)))
                if self.lines.fd in ready and any(
                        self.delivered(line, link) for line in self.lines.read()):
                    handoff = (now - start) / 1e6
        finally:
            os.close(pidfd)
        return handoff, run

    def stop(self):
        for closable in self.closing:
            closable.close()
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def start_bare_primary(program):
    process = subprocess.Popen([program, "ready"], env=base_env(), stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    lines = Lines(process.stdout.fileno())
    primary = Primary([program], base_env(), lines, lambda line, link: line == link,
                      process, [process.stdout])
    try:
        lines.wait_for(lambda line: line == "ready")
    except BenchError:
        primary.stop()
        raise
    return primary


def start_app_primary(executable, directory):
    path = os.path.join(directory, "engine.sock")
    env = dict(base_env(), FL_DEV_ENGINE_SOCKET=path)
    log = open(os.path.join(directory, "primary.log"), "wb")
    process = subprocess.Popen([executable], env=env, stdout=log, stderr=log)
    sock = socket.socket(socket.AF_UNIX)
    primary = Primary([executable], base_env(), Lines(sock.fileno()), is_open_url, process,
                      [sock, log])
    deadline = time.monotonic() + TIMEOUT_S
    try:
        while True:
            try:
                sock.connect(path)
                break
            except OSError:
                if process.poll() is not None or time.monotonic() > deadline:
                    raise BenchError("the app's control socket did not open")
                time.sleep(0.02)
        # The main window shown is the state a later launch meets.
        while not first_frame_drawn(sock, primary.lines):
            if time.monotonic() > deadline:
                raise BenchError("the app's main window did not draw")
            time.sleep(0.02)
        time.sleep(LAUNCH_GAP_S)
    except BenchError:
        primary.stop()
        raise
    return primary


def measure_handoffs(primaries, launches):
    samples = {name: [] for name in primaries}
    names = list(primaries)
    for round_index in range(-1, launches):
        # Rotates the order, so that none is always first.
        shift = round_index % len(names)
        for name in names[shift:] + names[:shift]:
            link = "ferrow-dadira:bench/%s/%d" % (name, round_index)
            result = primaries[name].launch(link)
            if round_index >= 0:
                samples[name].append(result)
            time.sleep(LAUNCH_GAP_S)
    return samples


def median(samples, index):
    return statistics.median(sample[index] for sample in samples)


def paired_difference(first, second, index):
    """The median of the differences of the rounds' pairs, and the interval
    that holds the true median with about 95 % confidence (the sign test's,
    from the order statistics)."""
    differences = sorted(a[index] - b[index] for a, b in zip(first, second))
    n = len(differences)
    k = max(0, int(n / 2 - 0.98 * n ** 0.5))
    return statistics.median(differences), differences[k], differences[n - 1 - k]


def difference(label, samples, index, unit):
    value, low, high = paired_difference(samples["app"], samples["against"], index)
    print("%-40s %+7.1f %-4s  95%% interval %+.1f to %+.1f %s" % (
        label, value, unit, low, high, unit))


def figure(label, value, unit, against, base, goal=None):
    ratio = value / base
    verdict = ""
    if goal is not None:
        verdict = "goal <= %.2fx  %s" % (goal, "ok" if ratio <= goal else "MISSED")
    print("%-40s %7.1f %-4s  %-24s %7.1f %-4s %5.2fx  %s" % (
        label, value, unit, against, base, unit, ratio, verdict))
    return goal is None or ratio <= goal


def gdbus(bus, *args):
    return subprocess.run(["gdbus", "call", "--" + bus] + list(args), text=True,
                          capture_output=True, timeout=TIMEOUT_S).stdout


def start_hung_logind():
    """python3-dbusmock's logind on the system bus whose Inhibit blocks it for
    a minute: it owns its name and answers nobody."""
    mock = subprocess.Popen([SYSTEM_PYTHON, "-m", "dbusmock", "--system", "--template",
                             "logind"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + TIMEOUT_S
    while "true" not in gdbus("system", "--dest", "org.freedesktop.DBus", "--object-path",
                              "/org/freedesktop/DBus", "--method",
                              "org.freedesktop.DBus.NameHasOwner", "org.freedesktop.login1"):
        if mock.poll() is not None or time.monotonic() > deadline:
            mock.kill()
            raise BenchError("the logind mock did not start")
        time.sleep(0.05)
    gdbus("system", "--dest", "org.freedesktop.login1", "--object-path",
          "/org/freedesktop/login1", "--method", "org.freedesktop.DBus.Mock.AddMethod",
          "org.freedesktop.login1.Manager", "Inhibit", "ssss", "h", "time.sleep(60)")
    return mock


def measure_keep_alive_stall(executable, directory):
    """(longest control-socket round trip in ms while "startKeepAlive" waits
    for a hung logind, ms until it was answered). Requests go out back to
    back, so the longest round trip bounds the longest stall."""
    mock = start_hung_logind()
    primary = None
    try:
        primary = start_app_primary(executable, directory)
        sock, lines = primary.closing[0], primary.lines
        sock.sendall(b'{"id": 2, "op": "invoke", "channel": "%s", "method": "startKeepAlive"}\n'
                     % KEEP_ALIVE_CHANNEL.encode())
        started = time.monotonic()
        answered = None
        longest = 0.0
        request_id = 3
        while answered is None:
            if time.monotonic() - started > TIMEOUT_S:
                raise BenchError("\"startKeepAlive\" was not answered")
            sent = time.monotonic()
            sock.sendall(b'{"id": %d, "op": "state"}\n' % request_id)
            replied = False
            while not replied:
                if not select.select([lines.fd], [], [], TIMEOUT_S)[0]:
                    raise BenchError("the app did not answer")
                for line in lines.read():
                    reply_id = json.loads(line).get("id")
                    if reply_id == 2:
                        answered = (time.monotonic() - started) * 1000
                    replied = replied or reply_id == request_id
            longest = max(longest, (time.monotonic() - sent) * 1000)
            request_id += 1
        return longest, answered
    finally:
        if primary is not None:
            primary.stop()
        mock.terminate()
        mock.wait(10)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--app", required=True, help="the executable to measure")
    parser.add_argument("--tools", required=True,
                        help="folder of watch_start, bare_gtk and bare_gio")
    parser.add_argument("--against", help="a second build's executable, started in the same "
                        "rounds to be compared with the first")
    parser.add_argument("--pairs", type=int, default=160, help="starts of each program")
    parser.add_argument("--launches", type=int, default=30,
                        help="later launches of each program")
    parser.add_argument("--stall-only", action="store_true",
                        help="measure only the stall during a keep-alive start")
    args = parser.parse_args()
    tools = Path(args.tools)
    began = time.monotonic()

    print("machine: %s; load average before: %s" % (machine(), load_average()))
    with tempfile.TemporaryDirectory(prefix="ferrow-bench-") as directory:
        stall, answered = measure_keep_alive_stall(args.app, directory)
    stall_met = stall < STALL_GOAL_MS
    print("%-40s %7.1f ms    goal < %d ms  %s" % (
        "longest stall, keep-alive start (hung)", stall, STALL_GOAL_MS,
        "ok" if stall_met else "MISSED"))
    print("%-40s %7.1f ms    (deadline 2000 ms)" % ("  \"startKeepAlive\" answered after",
                                                    answered))
    if args.stall_only:
        return 0 if stall_met else 1
    print("%s: %d interleaved starts and %d later launches each; medians" % (
        args.app, args.pairs, args.launches))
    programs = {"app": args.app, "bare": str(tools / "bare_gtk")}
    if args.against:
        print("against %s: %d starts in the same rounds" % (args.against, args.pairs))
        programs["against"] = args.against
    starts, librsvg = measure_starts(str(tools / "watch_start"), programs, args.pairs)

    with tempfile.TemporaryDirectory(prefix="ferrow-bench-") as directory:
        primaries = {}
        try:
            primaries["app"] = start_app_primary(args.app, directory)
            primaries["gtk"] = start_bare_primary(str(tools / "bare_gtk"))
            primaries["gio"] = start_bare_primary(str(tools / "bare_gio"))
            handoffs = measure_handoffs(primaries, args.launches)
        finally:
            for primary in primaries.values():
                primary.stop()

    met = figure("start -> main window mapped and opaque", median(starts["app"], 0), "ms",
                 "bare GTK window", median(starts["bare"], 0), START_GOAL)
    figure("CPU until the main window is mapped", median(starts["app"], 2), "ms",
           "bare GTK window", median(starts["bare"], 2))
    met &= figure("peak RSS with the main window shown", median(starts["app"], 1) / 1024,
                  "MiB", "bare GTK window", median(starts["bare"], 1) / 1024, RSS_GOAL)
    print("%-40s %s  goal: no  %s" % ("librsvg mapped after start", "yes" if librsvg else "no",
                                      "MISSED" if librsvg else "ok"))
    met &= not librsvg
    met &= figure("later launch -> \"openUrl\" at the engine", median(handoffs["app"], 0),
                  "ms", "bare GtkApplication", median(handoffs["gtk"], 0), HANDOFF_GOAL)
    figure("  limit", median(handoffs["app"], 0), "ms", "bare GApplication (GIO)",
           median(handoffs["gio"], 0))
    figure("later launch's own run time", median(handoffs["app"], 1), "ms",
           "bare GtkApplication", median(handoffs["gtk"], 1))
    figure("", median(handoffs["app"], 1), "ms", "bare GApplication (GIO)",
           median(handoffs["gio"], 1))
    if args.against:
        print("against:")
        figure("start -> main window mapped and opaque", median(starts["against"], 0), "ms",
               "bare GTK window", median(starts["bare"], 0), START_GOAL)
        figure("CPU until the main window is mapped", median(starts["against"], 2), "ms",
               "bare GTK window", median(starts["bare"], 2))
        figure("peak RSS with the main window shown", median(starts["against"], 1) / 1024,
               "MiB", "bare GTK window", median(starts["bare"], 1) / 1024, RSS_GOAL)
        print("app - against, the median of the pairs' differences:")
        difference("start -> main window mapped and opaque", starts, 0, "ms")
        difference("CPU until the main window is mapped", starts, 2, "ms")
        difference("peak RSS with the main window shown", starts, 1, "KiB")
    print("load average after: %s; %.0f s" % (load_average(), time.monotonic() - began))
    return 0 if met and stall_met else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (BenchError, subprocess.TimeoutExpired) as error:
        print("bench: %s" % error, file=sys.stderr)
        sys.exit(2)
