#!/usr/bin/env python3
"""CPU cost of the web view: a headless station on the Test Signal, stereo, at
48000 and at 192000 Hz, with the web view on and two viewers reading every
column, against the same station with the web view on and no viewer, in the
same run.

Measured as the station process's own CPU time (the sum over its threads of
the time on a CPU, from /proc/PID/task/*/schedstat) over a fixed stretch of
wall time after a warm-up. The cost
being measured is spread over the event loop, Qt's WebSocket framing and the
kernel's socket sends of a process paced by its audio clock, which a
micro-benchmark of one function would not see; the viewers run in this
script's process, so their own work is not counted. The station with viewers
and the one without run at the same time, so whatever else the machine does
falls on both alike; the pair is repeated and the figure is the median of the
pairs' ratios.

Usage: web_view_cpu.py QUORVEL_EXE [SECONDS_PER_RUN] [PAIRS] [RATE,RATE...]
"""
import base64
import os
import shutil
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TOKEN = "bench-web-view-token-01"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    p = s.getsockname()[1]
    s.close()
    return p


def cpu_seconds(pid):
    """CPU time of every thread of the process, in nanoseconds' precision
    (schedstat), rather than the clock ticks of /proc/PID/stat."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that just ended
    return total / 1e9


class Viewer(threading.Thread):
    """A WebSocket client that reads and counts every message."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port, self.columns, self.messages, self.stop = port, 0, 0, False
        self.sock = socket.create_connection(("127.0.0.1", port))
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /ws HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: {key}\r\n"
                           f"Origin: http://127.0.0.1:{port}\r\nCookie: qv_token={TOKEN}\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.sock.recv(1)
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise RuntimeError("viewer refused: " + head.decode(errors="replace"))
        self.sock.settimeout(1.0)

    def recv(self, n):
        b = b""
        while len(b) < n and not self.stop:
            try:
                chunk = self.sock.recv(n - len(b))
            except socket.timeout:
                continue
            if not chunk:
                raise EOFError
            b += chunk
        return b

    def run(self):
        try:
            while not self.stop:
                h = self.recv(2)
                if len(h) < 2:
                    return
                n = h[1] & 127
                if n == 126:
                    n = int.from_bytes(self.recv(2), "big")
                elif n == 127:
                    n = int.from_bytes(self.recv(8), "big")
                payload = self.recv(n)
                self.messages += 1
                if payload[:1] == b"C":
                    self.columns += payload[4] | payload[5] << 8
        except (EOFError, OSError):
            return


def start_station(exe, rate):
    home = tempfile.mkdtemp(prefix="quorvel-bench-web-") + "/"
    port = free_port()
    args = [exe, "--headless", "--home", home, "--set", f"OPTIONS0.WebPort={port}",
            "--set", "OPTIONS0.WebToken=" + TOKEN, "--set", "OPTIONS0.chkWebView=1",
            "--set", "OPTIONS0.NchanCombo=2 - stereo", "--set", f"FORM1.Combo2={rate}",
            "--task", "1", "--start"]
    p = subprocess.Popen(args, env=dict(os.environ, QUORVEL_NO_SOUND_CARD="1", QT_QPA_PLATFORM="offscreen"),
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    while True:
        line = p.stdout.readline()
        if not line:
            raise RuntimeError("station ended before its start line")
        if re.search(r"web view http://", line):
            return p, port, home


def stop_station(p, home):
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(timeout=15)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    shutil.rmtree(home, ignore_errors=True)


def measure_pair(exe, rate, seconds):
    """Two stations at once, one watched by two viewers and one not, so that
    whatever else the machine does falls on both alike."""
    plain, _, home_a = start_station(exe, rate)
    watched, port, home_b = start_station(exe, rate)
    clients = []
    try:
        clients = [Viewer(port) for _ in range(2)]
        for c in clients:
            c.start()
        time.sleep(3)  # warm-up: both runs going, the viewers fed
        a0, b0, t0 = cpu_seconds(plain.pid), cpu_seconds(watched.pid), time.monotonic()
        time.sleep(seconds)
        a1, b1, t1 = cpu_seconds(plain.pid), cpu_seconds(watched.pid), time.monotonic()
        return (a1 - a0) / (t1 - t0), (b1 - b0) / (t1 - t0), sum(c.columns for c in clients)
    finally:
        for c in clients:
            c.stop = True
        stop_station(plain, home_a)
        stop_station(watched, home_b)


def main():
    exe = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 15
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    rates = [int(r) for r in sys.argv[4].split(",")] if len(sys.argv) > 4 else [48000, 192000]
    print(f"station CPU share (CPU seconds per wall second), {seconds:g} s per run, {pairs} pairs")
    for rate in rates:
        base, view, cols = [], [], []
        for _ in range(pairs):
            b, v, c = measure_pair(exe, rate, seconds)
            base.append(b)
            view.append(v)
            cols.append(c)
        ratios = [v / b for b, v in zip(base, view)]
        print(f"{rate} Hz stereo: no viewer {statistics.median(base) * 100:6.2f} %   two viewers "
              f"{statistics.median(view) * 100:6.2f} %   ratio (median of pairs) {statistics.median(ratios):5.3f}   "
              f"(columns received by the viewers per pair: {min(cols)}..{max(cols)})")
        print(f"  pairs (without / with, % of a core): "
              + "  ".join(f"{b * 100:.2f}/{v * 100:.2f}" for b, v in zip(base, view)))


if __name__ == "__main__":
    main()
