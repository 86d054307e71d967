"""What every attack on scale-read --http shares: a simulated station, the reader on a free
port, an honest WebSocket client that times every record, and the reader's CPU and memory.

Each attack script calls run(name, attack): `attack(port, seconds)` runs against the reader
while the honest client listens. The script asserts that the client kept receiving records at
the rate it had before, and that the reader's CPU and resident memory stayed bounded; with
--report it prints one table row instead (bench/attacks.sh), and with --no-check it asserts
nothing (to measure an older build).
"""
import argparse
import base64
import datetime
import os
import re
import resource
import socket
import subprocess
import sys
import tempfile
import threading
import time

TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def request(port, text, timeout=5.0):
    """Sends raw bytes; everything the reader answers until it closes or goes quiet."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(text if isinstance(text, bytes) else text.encode())
        return read_all(s, timeout)


def read_all(s, timeout):
    """What arrives until the connection ends, goes quiet for `timeout`, or 4 timeouts pass."""
    s.settimeout(timeout)
    data = b""
    give_up = time.time() + 4 * timeout
    try:
        while time.time() < give_up:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    except (socket.timeout, ConnectionResetError):
        pass
    return data


def statuses(answer):
    return [int(m) for m in re.findall(rb"HTTP/1\.1 (\d{3}) ", answer)]


def websocket(port, path="/api/v1/events", extra=""):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    key = base64.b64encode(os.urandom(16)).decode()
    s.sendall((f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
               f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
               f"Sec-WebSocket-Version: 13\r\n{extra}\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        chunk = s.recv(1)
        if not chunk:
            break
        head += chunk
    return s, head


def read_frame(s):
    """One server frame: (opcode, payload); None when the connection ended."""
    def exact(n):
        data = b""
        while len(data) < n:
            chunk = s.recv(n - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data
    try:
        b0, b1 = exact(2)
        length = b1 & 0x7F
        if length == 126:
            length = int.from_bytes(exact(2), "big")
        elif length == 127:
            length = int.from_bytes(exact(8), "big")
        return b0 & 0x0F, exact(length)
    except (EOFError, OSError):
        return None


class HonestClient(threading.Thread):
    """Logs the arrival of every record with its delay after the reader's time stamp."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.socket, head = websocket(port)
        assert b" 101 " in head.split(b"\r\n")[0], head
        self.arrivals = []  # (arrival, delay in seconds)
        self.closed = False

    def run(self):
        stamp = re.compile(rb'"type":"record","time":"([^"]+)"')
        while True:
            frame = read_frame(self.socket)
            if frame is None:
                self.closed = True
                return
            match = stamp.search(frame[1])
            if match:
                now = time.time()
                sent = datetime.datetime.fromisoformat(
                    match.group(1).decode().replace("Z", "+00:00")).timestamp()
                self.arrivals.append((now, now - sent))

    def between(self, start, end):
        delays = sorted(d for t, d in self.arrivals if start <= t < end)
        rate = len(delays) / (end - start)
        p99 = delays[min(len(delays) - 1, int(len(delays) * 0.99))] * 1000 if delays else float("inf")
        return rate, p99


class Reader:
    def __init__(self, reader, simulator, folder, file_limit=None, extra=(),
                 line=("--weight", "fixed:1")):
        link = os.path.join(folder, "gate")
        self.simulator = subprocess.Popen([simulator, "--link", link, *line],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists(link) and time.time() < deadline:
            time.sleep(0.05)
        self.port = free_port()

        def limit():
            if file_limit:
                resource.setrlimit(resource.RLIMIT_NOFILE, (file_limit, file_limit))
        self.errors = tempfile.TemporaryFile()
        # A sanitizer build keeps freed memory aside for a while; only a little of it, so that
        # the resident size measures what the reader holds.
        environment = dict(os.environ)
        environment["ASAN_OPTIONS"] = (environment.get("ASAN_OPTIONS", "") +
                                       ":quarantine_size_mb=4:thread_local_quarantine_size_kb=64")
        self.process = subprocess.Popen(
            [reader, "--station", f"gate={link},continuous", "--http", f"127.0.0.1:{self.port}",
             *extra], stdout=subprocess.DEVNULL, stderr=self.errors, preexec_fn=limit,
            env=environment)
        deadline = time.time() + 20
        while time.time() < deadline:
            try:
                if b" 200 " in request(self.port, "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                  "Connection: close\r\n\r\n", 2):
                    return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("the reader did not start")

    def cpu_seconds(self):
        with open(f"/proc/{self.process.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS

    def rss_mb(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
        return 0.0

    def notes(self):
        self.errors.seek(0)
        return self.errors.read().decode(errors="replace")

    def stop(self):
        for process in (self.process, self.simulator):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()


def run(name, attack, file_limit=None, reader_args=(), rss_growth_mb=60, cpu_share=0.9):
    parser = argparse.ArgumentParser()
    parser.add_argument("--reader", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--seconds", type=float, default=4)
    parser.add_argument("--report", action="store_true", help="print one table row")
    parser.add_argument("--no-check", action="store_true", help="measure only")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        reader = Reader(options.reader, options.simulator, folder, file_limit, reader_args)
        failures = []
        try:
            client = HonestClient(reader.port)
            client.start()
            time.sleep(2)
            base_start, base_end = time.time() - 1.5, time.time()
            rss_before = reader.rss_mb()
            cpu_before, start = reader.cpu_seconds(), time.time()
            peak = [rss_before]
            done = threading.Event()

            def sample():
                while not done.wait(0.2):
                    peak[0] = max(peak[0], reader.rss_mb())
            sampler = threading.Thread(target=sample, daemon=True)
            sampler.start()
            try:
                failures += attack(reader.port, options.seconds) or []
            except Exception as error:  # the attack's own connections failing is no verdict
                failures.append(f"attack failed: {error!r}")
            end = time.time()
            done.set()
            sampler.join()
            cpu = (reader.cpu_seconds() - cpu_before) / (end - start) * 100
            base_rate, _ = client.between(base_start, base_end)
            rate, p99 = client.between(start, end)
            alive = reader.process.poll() is None
            row = (f"{name} | {rate:.1f}/s (before {base_rate:.1f}/s), p99 {p99:.0f} ms | "
                   f"{cpu:.0f} % | {peak[0]:.0f} MB (from {rss_before:.0f})")
            if not alive:
                failures.append("the reader died")
            if rate < 0.8 * base_rate or client.closed:
                failures.append(f"the honest client got {rate:.1f} records/s, {base_rate:.1f} before")
            if cpu > cpu_share * 100:
                failures.append(f"the reader used {cpu:.0f} % CPU")
            if peak[0] - rss_before > rss_growth_mb:
                failures.append(f"the reader grew from {rss_before:.0f} to {peak[0]:.0f} MB")
            if options.report:
                print(f"{row} | {'; '.join(failures) or 'held'}" if alive
                      else f"{name} | the reader died | - | - | {'; '.join(failures)}")
            else:
                print(row)
        finally:
            reader.stop()
        if failures and not options.no_check and not options.report:
            print("\n".join(failures), file=sys.stderr)
            print(reader.notes(), file=sys.stderr)
            sys.exit(1)
