#!/usr/bin/env python3
"""Idle connections past the file limit (the reader runs with 256 descriptors): the reader
turns the excess away without spinning, and serves again once they are gone."""
import socket
import time

from harness import request, run


def attack(port, seconds):
    held = []
    end = time.time() + seconds
    while len(held) < 300 and time.time() < end:
        try:
            held.append(socket.create_connection(("127.0.0.1", port), timeout=2))
        except OSError:
            break
    time.sleep(max(0.0, end - time.time()))
    for s in held:
        s.close()
    time.sleep(0.5)
    answer = request(port, "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
    return [] if b" 200 " in answer else [f"not served once the idle clients went: {answer!r}"]


if __name__ == "__main__":
    run("idle connections past the file limit", attack, file_limit=256)
