#!/usr/bin/env python3
"""Events clients that come and go at once, six at a time, for SECONDS, while a station reads at
full rate: each is deleted in the clients' thread, and nothing else may still hold its socket
then. Exits 1 when the reader died meanwhile or did not end cleanly when asked (a leak the
sanitizer found, for one).
Usage: clients_churn.py READER SIMULATOR SECONDS"""
import os
import socket
import struct
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "attacks"))
from harness import Reader, websocket  # noqa: E402


def churn(port, end, taken):
    while time.time() < end:
        try:
            s, head = websocket(port)
        except OSError:
            time.sleep(0.01)  # at the per-address cap for a moment
            continue
        time.sleep(0.02)
        # Reset rather than closed: the reader learns it at once, mid-batch.
        s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        s.close()
        taken.append(b" 101 " in head.split(b"\r\n")[0])


def main(reader, simulator, seconds):
    with tempfile.TemporaryDirectory() as folder:
        served = Reader(reader, simulator, folder, extra=["--output", os.devnull],
                        line=["--baud", "230400", "--rate", "1900", "--weight", "fixed:8"])
        try:
            taken, end = [], time.time() + seconds
            threads = [threading.Thread(target=churn, args=(served.port, end, taken))
                       for _ in range(6)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            alive = served.process.poll() is None
        finally:
            served.stop()
        status = served.process.returncode
        print(f"clients: {sum(taken)}; reader {'alive' if alive else 'died'}, exit status {status}")
        if not alive or status != 0:
            sys.stderr.write(served.notes()[-4000:])
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], float(sys.argv[3])))
