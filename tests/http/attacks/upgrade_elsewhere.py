#!/usr/bin/env python3
"""A WebSocket upgrade on a path other than the events one gets no records and ends its
connection; an events client that sends an unmasked frame is closed with 1002."""
import time

from harness import read_all, read_frame, run, websocket


def attack(port, seconds):
    failures = []
    end = time.time() + seconds
    rounds = 0
    while time.time() < end and rounds < 50:
        rounds += 1
        for path in ("/healthz", "/", "/api/v1/stations", "/api/v1/events/"):
            s, head = websocket(port, path)
            rest = read_all(s, 2)
            s.close()
            if b" 101 " in head.split(b"\r\n")[0] or b"record" in rest:
                failures.append(f"an upgrade on {path} was taken: {head[:40]!r}")
                return failures
    s, head = websocket(port)
    s.sendall(b"\x81\x05hello")  # text, unmasked
    s.settimeout(3)
    give_up = time.time() + 3
    while True:
        frame = read_frame(s)
        if frame is None or time.time() > give_up:
            failures.append("an unmasked frame did not get a close frame")
            break
        if frame[0] == 8:
            if frame[1][:2] != (1002).to_bytes(2, "big"):
                failures.append(f"an unmasked frame was closed with {frame[1]!r}")
            break
    s.close()
    # The honest client's rate is taken over the whole span: over the fraction of a second the
    # rounds take, one record more or less would swing it by a third.
    time.sleep(max(0.0, end - time.time()))
    return failures


if __name__ == "__main__":
    run("upgrade on another path", attack)
