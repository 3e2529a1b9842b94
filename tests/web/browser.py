#!/usr/bin/env python3
"""Opens a page in headless Chromium and waits, in real time, until a
JavaScript expression gives a value other than null, "" or false, then
prints that value (as JSON). Talks to the browser over its DevTools pipe
(--remote-debugging-pipe), so the page's workers run on the real clock,
which a --dump-dom with a virtual time budget does not wait for.
Before waiting it can give the page a file as a person would: chosen in a
file input (--pick SELECTOR FILE) or dropped on the page (--drop FILE).
Usage: browser.py URL EXPRESSION [--timeout SECONDS] [--screenshot FILE.png]
                  [--pick SELECTOR FILE] [--drop FILE]"""
import argparse
import base64
import fcntl
import json
import os
import subprocess
import sys
import tempfile
import time


class Browser:
    def __init__(self, binary, profile):
        # The browser reads commands on its fd 3 and answers on its fd 4.
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        self.process = subprocess.Popen(
            [binary, "--headless=new", "--no-sandbox", "--disable-gpu-sandbox",
             "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
             "--remote-debugging-pipe", f"--user-data-dir={profile}",
             "--window-size=1000,800", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=lambda: self.child(to_browser_r, from_browser_w))
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.next_id = 0
        self.buffer = b""

    @staticmethod
    def child(reads, writes):
        # Out of the way first, in case either already is 3 or 4.
        reads, writes = (fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (reads, writes))
        os.dup2(reads, 3)
        os.dup2(writes, 4)

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})

    def receive(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("the browser closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def wait_until(b, session, expression, timeout):
    """The expression's first value other than null, "" or false (or the
    last one when the time is up)."""
    deadline = time.monotonic() + timeout
    value = None
    while time.monotonic() < deadline:
        try:
            r = b.send("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                       session)
        except RuntimeError:
            # The page was between documents (the blank one it starts with).
            time.sleep(0.2)
            continue
        value = r.get("result", {}).get("value")
        if value not in (None, "", False):
            break
        time.sleep(0.2)
    return value


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("url")
    p.add_argument("expression")
    p.add_argument("--timeout", type=float, default=120)
    p.add_argument("--screenshot")
    p.add_argument("--browser", default="chromium")
    p.add_argument("--pick", nargs=2, metavar=("SELECTOR", "FILE"))
    p.add_argument("--drop", metavar="FILE")
    a = p.parse_args()
    with tempfile.TemporaryDirectory() as profile:
        b = Browser(a.browser, profile)
        try:
            target = b.send("Target.createTarget", {"url": a.url})["targetId"]
            session = b.send("Target.attachToTarget",
                             {"targetId": target, "flatten": True})["sessionId"]
            if a.pick or a.drop:
                wait_until(b, session, f"location.href === {json.dumps(a.url)} && "
                           "document.readyState === 'complete'", a.timeout)
                # Drops land where the page has been laid out and drawn.
                b.send("Runtime.evaluate", {
                    "expression": "new Promise((r) => requestAnimationFrame(() => "
                                  "requestAnimationFrame(() => r(true))))",
                    "awaitPromise": True}, session)
            if a.pick:
                root = b.send("DOM.getDocument", {}, session)["root"]["nodeId"]
                node = b.send("DOM.querySelector", {"nodeId": root, "selector": a.pick[0]},
                              session)["nodeId"]
                b.send("DOM.setFileInputFiles",
                       {"nodeId": node, "files": [os.path.abspath(a.pick[1])]}, session)
            if a.drop:
                b.send("Input.setInterceptDrags", {"enabled": False}, session)
                data = {"items": [], "files": [os.path.abspath(a.drop)], "dragOperationsMask": 1}
                for kind in ("dragEnter", "dragOver", "drop"):
                    b.send("Input.dispatchDragEvent",
                           {"type": kind, "x": 400, "y": 300, "data": data}, session)
            value = wait_until(b, session, a.expression, a.timeout)
            if a.screenshot:
                shot = b.send("Page.captureScreenshot", {"format": "png"}, session)
                with open(a.screenshot, "wb") as f:
                    f.write(base64.b64decode(shot["data"]))
            if value in (None, "", False):
                sys.exit(f"browser.py: {a.expression} gave nothing within {a.timeout} s")
            print(json.dumps(value))
        finally:
            b.close()


if __name__ == "__main__":
    main()
