#!/usr/bin/env python3
"""Idle connections past the file limit (the reader runs with 256 descriptors): the reader
turns the excess away without spinning, and serves again once they are gone. WebSocket clients
that come and go, more of them than one address may hold at once, give their connections back."""
import socket
import time

from harness import request, run, websocket


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
    if b" 200 " not in answer:
        return [f"not served once the idle clients went: {answer!r}"]
    for i in range(150):
        s, head = websocket(port)
        if i % 2:
            time.sleep(0.05)  # served a while; the others go before they are
        s.close()
        if b" 101 " not in head.split(b"\r\n")[0]:
            return [f"events client {i + 1} of a series, one at a time, was refused: {head[:60]!r}"]
        time.sleep(0.01)
    return []


if __name__ == "__main__":
    run("idle connections past the file limit", attack, file_limit=256)
