#!/usr/bin/env python3
"""A real browser on the web view of a headless station.

Starts quorvel headless on the Test Signal with the web view on, opens its page
in headless Chromium (driven through the DevTools protocol over a pipe, so
nothing but Python and the system's chromium is needed), waits a few seconds,
checks that the spectrogram canvas is not blank and that the page shows
"Fails 0", saves a screenshot, presses Stop on the page and checks that the run
stopped. Exits 77 (skipped) with a message when chromium cannot start.

Usage: web_view_browser.py QUORVEL_EXE [SCREENSHOT.png]
"""
import base64
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SKIP = 77
TOKEN = "browser-test-token-0001"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class DevTools:
    """Chromium's DevTools protocol over --remote-debugging-pipe: JSON messages
    separated by NUL bytes, commands written to fd 3, answers read from fd 4."""

    def __init__(self, chromium, user_data, log):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def child_fds():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        args = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + user_data, "--remote-debugging-pipe", "--window-size=1280,1000",
                "--hide-scrollbars", "about:blank"]
        # Not close_fds: it would close 3 and 4 after they were set up.
        # Python's own descriptors are not inherited anyway.
        self.log = log
        with open(log, "wb") as err:
            self.proc = subprocess.Popen(args, preexec_fn=child_fds, close_fds=False,
                                         stdout=subprocess.DEVNULL, stderr=err)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buf = b""
        self.next_id = 0
        self.session = None

    def send(self, method, params=None, timeout=20, session=True):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            msg["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(msg).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            reply = self.read(deadline)
            if reply is None:
                raise TimeoutError(method + ": no answer")
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(method + ": " + json.dumps(reply["error"]))
                return reply.get("result", {})

    def read(self, deadline):
        while b"\0" not in self.buf:
            left = deadline - time.time()
            if left <= 0 or self.proc.poll() is not None:
                return None
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if ready:
                chunk = os.read(self.from_browser, 65536)
                if not chunk:
                    return None
                self.buf += chunk
        msg, self.buf = self.buf.split(b"\0", 1)
        return json.loads(msg)

    def evaluate(self, expression):
        r = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True})
        return r.get("result", {}).get("value")

    def close(self):
        try:
            self.send("Browser.close", session=False, timeout=5)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def station_get(port, path):
    req = urllib.request.Request(f"http://127.0.0.1:{port}{path}", headers={"Authorization": "Bearer " + TOKEN})
    with urllib.request.urlopen(req, timeout=5) as r:
        return r.read()


def station_status(port):
    return json.loads(station_get(port, "/api/status"))


def wait_running(port, want, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if station_status(port)["running"] == want:
            return True
        time.sleep(0.2)
    return False


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="quorvel-browser-")
    shot = sys.argv[2] if len(sys.argv) > 2 else os.path.join(work, "web_view.png")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("SKIP: no chromium on this machine (scripts/deps installs it)")
        return SKIP

    home = os.path.join(work, "home") + "/"
    os.makedirs(home)
    port = free_port()
    args = [exe, "--headless", "--home", home, "--set", f"OPTIONS0.WebPort={port}",
            "--set", "OPTIONS0.WebToken=" + TOKEN, "--set", "OPTIONS0.chkWebView=1",
            "--set", "OPTIONS0.FileRecPathField=" + home, "--set", "FORM1.Combo12=4 Mbytes",
            "--task", "1", "--start"]
    station = subprocess.Popen(args, env=dict(os.environ, QUORVEL_NO_SOUND_CARD="1"),
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    browser = None
    try:
        # The start line says where the page is.
        deadline = time.time() + 30
        url = None
        while time.time() < deadline and url is None:
            line = station.stdout.readline()
            if not line:
                break
            m = re.search(r"web view (http://\S+)", line)
            if m:
                url = m.group(1)
        check(url == f"http://127.0.0.1:{port}/?token={TOKEN}", f"start line names the page ({url})")
        if url is None:
            return 1
        deadline = time.time() + 10
        while time.time() < deadline and not station_status(port)["running"]:
            time.sleep(0.1)

        browser = DevTools(chromium, os.path.join(work, "profile"), os.path.join(work, "chromium.log"))
        try:
            targets = browser.send("Target.getTargets", session=False, timeout=30)
        except (TimeoutError, OSError, RuntimeError) as e:
            with open(browser.log, encoding="utf-8", errors="replace") as f:
                tail = f.read()[-600:]
            print(f"SKIP: chromium could not start here ({e})\n{tail}")
            return SKIP
        page = next(t for t in targets["targetInfos"] if t["type"] == "page")
        browser.session = browser.send("Target.attachToTarget", {"targetId": page["targetId"], "flatten": True},
                                       session=False)["sessionId"]
        browser.send("Page.enable")
        browser.send("Runtime.enable")
        browser.send("Page.navigate", {"url": url})
        time.sleep(5)

        check(browser.evaluate("location.pathname + location.search") == "/",
              "the token left the address bar for the cookie")
        check(browser.evaluate("document.cookie") == "", "the page's scripts cannot read the token cookie")
        colours = browser.evaluate("""(() => {
            const c = document.getElementById('spectrogram');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            const seen = new Set();
            for (let i = 0; i < d.length; i += 4 * 7) seen.add(d[i] << 16 | d[i + 1] << 8 | d[i + 2]);
            return seen.size;
        })()""")
        check(isinstance(colours, int) and colours > 8, f"the spectrogram canvas is not blank ({colours} colours)")
        text = browser.evaluate("document.body.innerText")
        check("Fails 0" in text, "the page shows Fails 0")
        check("running" in text, "the page shows the run going")
        png = browser.send("Page.captureScreenshot", {"format": "png"})["data"]
        with open(shot, "wb") as f:
            f.write(base64.b64decode(png))
        print("screenshot: " + shot, flush=True)

        # Save Buffer, pressed on the page, writes the buffer file; the list
        # offers it and it downloads as a WAV.
        browser.evaluate("document.getElementById('btnSaveBuffer').click()")
        saved = []
        deadline = time.time() + 10
        while time.time() < deadline and not saved:
            time.sleep(0.3)
            saved = [f for f in json.loads(station_get(port, "/api/files"))
                     if f["kind"] == "rec" and f["name"].startswith("buffer end at ")]
        check(len(saved) == 1, "Save Buffer on the page wrote the buffer file")
        if saved:
            wav = station_get(port, "/files/rec/" + urllib.parse.quote(saved[0]["name"]))
            check(wav[:4] == b"RIFF" and len(wav) == saved[0]["size"], f"the buffer file downloads whole ({len(wav)} bytes)")
            time.sleep(2)
            check(saved[0]["name"] in browser.evaluate("document.getElementById('fileRows').innerText"),
                  "the page lists the buffer file")

        # Stop, pressed on the page, ends the run; Start starts it again.
        browser.evaluate("document.getElementById('btnStop').click()")
        check(wait_running(port, False), "Stop on the page stopped the run")
        time.sleep(1.5)
        text = browser.evaluate("document.body.innerText")
        check("stopped" in text and "Stop: sent" in text, "the page shows the run stopped")
        browser.evaluate("document.getElementById('btnStart').click()")
        check(wait_running(port, True), "Start on the page started the run again")
        check(browser.evaluate("fetch('/api/status').then(r => r.status)") == 200, "the page is answered while the run goes")
        browser.evaluate("document.getElementById('btnStop').click()")
        check(wait_running(port, False), "and Stop stopped it again")
        log = open(home + "RecLog.Log", encoding="latin-1").read() if os.path.exists(home + "RecLog.Log") else ""
        check("STOP" in log and "START" in log and "SAVEBUFFER" in log,
              "the commands were logged as for the UDP commands")
    finally:
        if browser:
            browser.close()
        station.send_signal(signal.SIGTERM)
        try:
            station.wait(timeout=15)
        except subprocess.TimeoutExpired:
            station.kill()
            station.wait()
        # The browser profile and the station's folder go; the screenshot stays.
        shutil.rmtree(os.path.join(work, "profile"), ignore_errors=True)
        shutil.rmtree(home, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
