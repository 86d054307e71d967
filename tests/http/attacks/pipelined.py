#!/usr/bin/env python3
"""Pipelined requests whose answers are never read: the reader stops reading them once the
answers back up, instead of growing."""
import socket
import time

from harness import run


def attack(port, seconds):
    one = b"GET /board.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
    held = []
    for _ in range(8):
        s = socket.create_connection(("127.0.0.1", port))
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.setblocking(False)
        held.append(s)
    end = time.time() + seconds
    sent = 0
    while time.time() < end and sent < 60000:
        for s in held:
            try:
                s.send(one * 100)
                sent += 100
            except BlockingIOError:
                pass
        time.sleep(0.01)
    for s in held:
        s.close()
    return []


if __name__ == "__main__":
    run("pipelined requests never read", attack)
