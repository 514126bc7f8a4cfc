#!/usr/bin/python3
"""Drives the development engine's control socket from another process.

Starts dev_engine_test_host (path in DEV_ENGINE_TEST_HOST) on the current
display with FL_DEV_ENGINE_SOCKET set and plays the Dart side through two
clients at once: once listening on every channel from the start, once
(FL_DEV_ENGINE_DART_LISTENS=later) only on the channels it names.
"""

import json
import os
import select
import socket
import subprocess
import tempfile
import time
import unittest

DEADLINE = 20.0


class Client:
    """One connection: requests with ids, replies and events kept apart."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            self.sock.connect(path)
        except OSError:
            self.sock.close()
            raise
        self.buffer = b""
        self.replies = {}
        self.events = []
        self.next_id = 1

    def close(self):
        self.sock.close()

    def send_raw(self, data):
        self.sock.sendall(data)

    def _read_messages(self, timeout):
        ready, _, _ = select.select([self.sock], [], [], timeout)
        if not ready:
            return
        chunk = self.sock.recv(1 << 20)
        if not chunk:
            raise ConnectionError("engine closed the connection")
        self.buffer += chunk
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            message = json.loads(line.decode("utf-8"))
            if "event" in message:
                self.events.append(message)
            else:
                self.replies.setdefault(message.get("id"), []).append(message)

    def wait_for(self, condition, what):
        deadline = time.monotonic() + DEADLINE
        while True:
            result = condition()
            if result:
                return result
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("timed out waiting for " + what)
            self._read_messages(min(remaining, 0.2))

    def reply(self, request_id):
        replies = self.wait_for(lambda: self.replies.get(request_id),
                                "reply %r" % (request_id,))
        return replies.pop(0)

    def request(self, op, **fields):
        request_id = self.next_id
        self.next_id += 1
        fields.update({"id": request_id, "op": op})
        self.send_raw((json.dumps(fields) + "\n").encode("utf-8"))
        return self.reply(request_id)

    def event(self, predicate, what):
        def find():
            for event in self.events:
                if predicate(event):
                    return event
            return None
        return self.wait_for(find, what)


class HostTestCase(unittest.TestCase):
    """One host process for the whole class."""

    extra_env = {}

    @classmethod
    def setUpClass(cls):
        host = os.environ.get("DEV_ENGINE_TEST_HOST")
        if not host:
            raise unittest.SkipTest("DEV_ENGINE_TEST_HOST is not set")
        cls.tmp = tempfile.TemporaryDirectory()
        cls.path = os.path.join(cls.tmp.name, "engine.sock")
        # A stale file must not stop the engine from listening.
        with open(cls.path, "w") as stale:
            stale.write("stale")
        env = dict(os.environ, FL_DEV_ENGINE_SOCKET=cls.path, NO_AT_BRIDGE="1",
                   GDK_BACKEND="x11")
        env.pop("FL_DEV_ENGINE_FIRST_FRAME_DELAY_MS", None)
        env.pop("FL_DEV_ENGINE_DART_LISTENS", None)
        env.update(cls.extra_env)
        cls.stderr_path = os.path.join(cls.tmp.name, "stderr")
        with open(cls.stderr_path, "wb") as stderr:
            cls.host = subprocess.Popen([host, "alpha", "beta"], env=env,
                                        stderr=stderr)
        deadline = time.monotonic() + DEADLINE
        while True:
            try:
                cls.a = Client(cls.path)
                break
            except OSError:
                if (time.monotonic() > deadline or
                        cls.host.poll() is not None):
                    cls.host.kill()
                    raise
                time.sleep(0.05)
        cls.b = Client(cls.path)
        # Events reach a client once the engine has accepted it; a round
        # trip makes sure of that.
        for client in (cls.a, cls.b):
            client.request("state")

    @classmethod
    def tearDownClass(cls):
        cls.a.close()
        cls.b.close()
        cls.host.terminate()
        cls.host.wait(timeout=DEADLINE * 3)
        text = cls.stderr()
        cls.tmp.cleanup()
        # A clean exit: no criticals or warnings, and (under ASan) no leaks.
        if (cls.host.returncode != 0 or "CRITICAL" in text or
                "-WARNING" in text):
            raise AssertionError("host ended with %d:\n%s" %
                                 (cls.host.returncode, text))

    @classmethod
    def stderr(cls):
        with open(cls.stderr_path, "rb") as stderr:
            return stderr.read().decode("utf-8", "replace")

    def state(self):
        return self.a.request("state")["result"]

    def view(self, view_id):
        for view in self.state()["views"]:
            if view["viewId"] == view_id:
                return view
        return None

    def history(self):
        return self.a.request("history")["result"]

    def host_call(self, host_method, **args):
        reply = self.a.request("invoke", channel="test/echo",
                               method=host_method, args=args)
        self.assertEqual(reply["response"], "success", reply)

    def send(self, channel, method, reply=False, args=None):
        """Makes the host send a call to Dart."""
        self.host_call("send", channel=channel, method=method, args=args,
                       reply=reply)

    def replied(self, method):
        """The host's report of Dart's answer to its call `method`."""
        return self.a.event(lambda e: e.get("method") == "replied" and
                            e["args"]["method"] == method,
                            "answer to " + method)["args"]


class ControlSocketTest(HostTestCase):

    def test_state_of_the_main_view(self):
        state = self.state()
        self.assertEqual(state["entrypointArguments"], ["alpha", "beta"])
        self.assertEqual(state["registrars"], ["AlphaPlugin", "BetaPlugin"])
        self.assertEqual(state["channels"], ["test/echo"])
        self.a.wait_for(lambda: self.view(0)["firstFrame"], "first frame")
        main = self.view(0)
        self.assertTrue(main["realized"])
        self.assertTrue(main["mapped"])
        self.assertIsInstance(main["window"], int)

    def test_replies_of_each_kind(self):
        args = {"i": 1, "f": 1.0, "l": [1, 2.5, {"x": None}], "s": "t",
                "b": True}
        reply = self.a.request("invoke", channel="test/echo", method="echo",
                               args=args)
        self.assertEqual(reply["response"], "success")
        self.assertEqual(reply["value"], args)
        self.assertIs(type(reply["value"]["i"]), int)
        self.assertIs(type(reply["value"]["f"]), float)
        self.assertIs(type(reply["value"]["l"][1]), float)

        reply = self.a.request("invoke", channel="test/echo",
                               method="unknown")
        self.assertEqual(reply, {"id": reply["id"],
                                 "response": "notImplemented"})
        reply = self.a.request("invoke", channel="test/echo", method="fail",
                               args=[3])
        self.assertEqual((reply["response"], reply["code"], reply["message"],
                          reply["details"]), ("error", "E1", "failed", [3]))
        reply = self.a.request("invoke", channel="test/echo", method="drop")
        self.assertEqual(reply["failure"], "no response")
        reply = self.a.request("invoke", channel="test/echo", method="later")
        self.assertEqual(reply["value"], "late")

    def test_missing_or_null_args_arrive_as_null(self):
        for extra in ({}, {"args": None}):
            reply = self.a.request("invoke", channel="test/echo",
                                   method="argType", **extra)
            self.assertEqual(reply["value"], "null")
        reply = self.a.request("invoke", channel="test/echo",
                               method="argType", args=2.0)
        self.assertEqual(reply["value"], "float")

    def test_second_response_is_refused(self):
        reply = self.a.request("invoke", channel="test/echo", method="twice")
        self.assertEqual(reply["value"], 1)
        report = self.a.wait_for(
            lambda: [c for c in self.history()
                     if c["method"] == "secondResponse"], "report")[-1]
        self.assertEqual(report["args"], {"accepted": False, "error": True})
        # Nothing more arrives for that request.
        self.a.request("state")
        self.assertFalse(self.a.replies.get(reply["id"]))

    def test_calls_to_dart_reach_every_client_and_history(self):
        reply = self.a.request("invoke", channel="test/echo", method="ping",
                               args={"n": 7, "x": 0.5})
        self.assertEqual(reply["value"], None)
        for client in (self.a, self.b):
            event = client.event(lambda e: e.get("method") == "pong",
                                 "pong event")
            self.assertIsInstance(event["callId"], int)
            self.assertEqual(event, {"event": "methodCall",
                                     "channel": "test/echo", "method": "pong",
                                     "args": {"n": 7, "x": 0.5},
                                     "callId": event["callId"]})
        self.assertIn({"channel": "test/echo", "method": "pong",
                       "args": {"n": 7, "x": 0.5}, "callId": event["callId"]},
                      self.history())

    def test_every_channel_listens_from_the_start(self):
        # Even a buffer of none holds nothing back while Dart listens.
        self.host_call("resize", channel="test/now", size=0)
        self.send("test/now", "first", reply=True)
        self.assertEqual(self.replied("first")["response"], "notImplemented")
        self.assertIn("first", [c["method"] for c in self.history()])
        self.assertFalse([e for e in self.a.events
                          if e.get("event") == "dropped"])

    def test_open_emit_and_close_views(self):
        reply = self.b.request("openView", title="Second", width=320,
                               height=200)
        view_id = reply["result"]["viewId"]
        self.assertGreater(view_id, 0)
        self.assertIsInstance(reply["result"]["window"], int)
        for client in (self.a, self.b):
            client.event(lambda e: e == {"event": "firstFrame",
                                         "viewId": view_id},
                         "first frame of the new view")
        # "window-added" saw the window already holding its view.
        self.a.wait_for(lambda: [c for c in self.history()
                                 if c["channel"] == "test/events" and
                                 c["method"] == "windowAdded" and
                                 c["args"] == {"viewId": view_id}],
                        "windowAdded")

        hidden = self.b.request("openView", firstFrameDelayMs=-1,
                                show=False)["result"]
        self.assertIsNone(hidden["window"])
        hidden_id = hidden["viewId"]
        self.assertEqual(hidden_id, view_id + 1)
        self.assertFalse(self.view(hidden_id)["firstFrame"])
        self.assertFalse(self.view(hidden_id)["mapped"])
        self.assertEqual(self.b.request("emitFirstFrame",
                                        viewId=hidden_id)["result"], None)
        self.b.event(lambda e: e == {"event": "firstFrame",
                                     "viewId": hidden_id},
                     "emitted first frame")
        self.assertTrue(self.view(hidden_id)["firstFrame"])

        for closed in (view_id, hidden_id):
            reply = self.a.request("closeView", viewId=closed)
            self.assertIn("result", reply)
            self.assertIsNone(reply["result"])
            self.assertIsNone(self.view(closed))
        self.assertIn("failure", self.a.request("closeView", viewId=view_id))
        self.assertIsNotNone(self.view(0))

    def test_requests_that_cannot_be_carried_out(self):
        self.a.send_raw(b"{this is not json\n")
        self.assertIn("failure", self.a.reply(None))
        self.a.send_raw(b"[1, 2]\n")
        self.assertIn("failure", self.a.reply(None))
        for op, fields in (("launch", {}),
                           ("invoke", {"method": "echo"}),
                           ("invoke", {"channel": "no/such", "method": "x"}),
                           ("emitFirstFrame", {}),
                           ("emitFirstFrame", {"viewId": 999}),
                           ("openView", {"width": "wide"})):
            reply = self.a.request(op, **fields)
            self.assertIsInstance(reply.get("failure"), str, (op, fields))
        # The connection still serves requests.
        self.assertIn("result", self.a.request("state"))

    def test_nesting_beyond_the_limit_is_refused(self):
        # 64 levels in all, the request object included.
        def nested(depth):
            return json.loads("[" * depth + "]" * depth)
        reply = self.a.request("invoke", channel="test/echo", method="echo",
                               args=nested(63))
        self.assertEqual(reply["value"], nested(63))
        for depth in (64, 100000):
            self.a.send_raw(b'{"id": 1, "op": "invoke", "channel": "test/echo",'
                            b' "method": "echo", "args": ' +
                            b"[" * depth + b"]" * depth + b"}\n")
            self.assertEqual(self.a.reply(None),
                             {"id": None, "failure": "nesting too deep"})
        # Brackets inside strings are text, not nesting.
        text = '["\\"{' * 100000
        reply = self.a.request("invoke", channel="test/echo", method="echo",
                               args=[text])
        self.assertEqual(reply["value"], [text])
        self.assertIsNone(self.host.poll())

    def test_huge_line_and_departed_client(self):
        text = "x" * (2 << 20)
        reply = self.a.request("invoke", channel="test/echo", method="echo",
                               args=text)
        self.assertEqual(reply["value"], text)

        leaving = Client(self.path)
        leaving.send_raw(b'{"id": 1, "op": "invoke", "channel": "test/echo",'
                         b' "method": "later"}\n'
                         b'{"id": 2, "op": "state"}\n')
        leaving.close()
        # The engine keeps serving the others.
        self.assertIn("result", self.b.request("state"))
        reply = self.a.request("invoke", channel="test/echo", method="later")
        self.assertEqual(reply["value"], "late")
        self.assertIsNone(self.host.poll())


class DartListensLaterTest(HostTestCase):
    """Calls wait in their channel's buffer until Dart listens."""

    extra_env = {"FL_DEV_ENGINE_DART_LISTENS": "later"}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # The host reports Dart's answers on this channel.
        cls.a.request("listen", channel="test/events")

    def events_on(self, channel, kind="methodCall"):
        return [e for e in self.a.events
                if e.get("event") == kind and e["channel"] == channel]

    def test_overflow_drops_the_oldest(self):
        self.send("late/a", "a1", reply=True, args={"n": 1})
        self.send("late/a", "a2")
        self.assertEqual(self.replied("a1")["response"], "notImplemented")
        for client in (self.a, self.b):
            client.event(lambda e: e == {"event": "dropped",
                                         "channel": "late/a", "method": "a1",
                                         "args": {"n": 1}}, "a1 dropped")
        self.assertFalse([c for c in self.history()
                          if c["channel"] == "late/a"])
        self.assertIn("late/a channel", self.stderr())

        self.host_call("warns", channel="late/b", warns=False)
        self.send("late/b", "b1")
        self.send("late/b", "b2")
        self.a.event(lambda e: e.get("event") == "dropped" and
                     e["method"] == "b1", "b1 dropped")
        self.assertNotIn("late/b", self.stderr())

        self.a.request("listen", channel="late/a")
        self.assertEqual([e["method"] for e in self.events_on("late/a")],
                         ["a2"])

    def test_resize_and_listen_deliver_in_order(self):
        self.host_call("resize", channel="late/c", size=3)
        for method in ("c1", "c2", "c3"):
            self.send("late/c", method, reply=True)
        self.host_call("resize", channel="late/c", size=2)
        self.assertEqual(self.replied("c1")["response"], "notImplemented")
        self.assertEqual([e["method"]
                          for e in self.events_on("late/c", "dropped")],
                         ["c1"])
        self.assertFalse(self.events_on("late/c"))

        self.a.request("listen", channel="late/c", reply="success")
        delivered = self.events_on("late/c")
        self.assertEqual([e["method"] for e in delivered], ["c2", "c3"])
        self.assertLess(delivered[0]["callId"], delivered[1]["callId"])
        self.assertEqual(self.replied("c3"), {"method": "c3",
                                              "response": "success",
                                              "value": None})
        self.send("late/c", "c4")
        self.assertEqual(self.events_on("late/c")[-1]["method"], "c4")

        self.host_call("resize", channel="late/d", size=0)
        self.send("late/d", "d1")
        self.a.event(lambda e: e.get("event") == "dropped" and
                     e["method"] == "d1", "d1 dropped")

    def test_held_calls_wait_for_respond(self):
        self.a.request("listen", channel="late/e", reply="held")
        for method, reply in (("e1", True), ("e2", True), ("e3", False),
                              ("e4", True)):
            self.send("late/e", method, reply=reply)
        ids = {e["method"]: e["callId"] for e in self.events_on("late/e")}
        self.assertEqual(set(ids), {"e1", "e2", "e3", "e4"})
        self.host_call("argType")  # a round trip: nothing answered meanwhile
        self.assertFalse([e for e in self.a.events
                          if e.get("method") == "replied" and
                          e["args"]["method"].startswith("e")])

        def respond(call_id, **fields):
            return self.b.request("respond", callId=call_id, **fields)
        self.assertIsNone(respond(ids["e1"], response="success",
                                  value={"ok": True})["result"])
        self.assertIsNone(respond(ids["e2"], response="error", code="E9",
                                  message="no")["result"])
        self.assertIsNone(respond(ids["e4"],
                                  response="notImplemented")["result"])
        self.assertEqual(self.replied("e1")["value"], {"ok": True})
        self.assertEqual(self.replied("e2")["value"], "E9")
        self.assertEqual(self.replied("e4")["response"], "notImplemented")
        for call_id in (ids["e1"], ids["e3"], 1 << 40):
            self.assertEqual(respond(call_id, response="success"),
                             {"id": self.b.next_id - 1,
                              "failure": "unknown call"})

        self.a.request("listen", channel="late/e")
        self.send("late/e", "e5", reply=True)
        self.assertEqual(self.replied("e5")["response"], "notImplemented")


if __name__ == "__main__":
    unittest.main()
