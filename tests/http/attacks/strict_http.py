#!/usr/bin/env python3
"""Requests that a lenient server reads one way and a proxy another: each is refused with its
status and the connection ended; answers on one connection come in request order."""
import time

from harness import request, run, statuses

HOST = "Host: 127.0.0.1\r\n"
CASES = [
    (f"GET /healthz HTTP/1.1\r\n{HOST}Content-Length: abc\r\n\r\n", [400]),
    (f"POST /healthz HTTP/1.1\r\n{HOST}Transfer-Encoding: xchunked\r\n\r\n", [400]),
    (f"POST /healthz HTTP/1.1\r\n{HOST}Transfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
     "0\r\n\r\n", [400]),
    ("GET /healthz HTTP/1.1 junk\r\n\r\n", [400]),
    ("GARBAGE\r\n\r\n", [400]),
    (f"GET /healthz HTTP/1.1\r\n{HOST}X-Big: {'a' * 20000}\r\n\r\n", [431]),
    (f"GET /healthz HTTP/1.1\r\n{HOST}" + "".join(f"X-{i}: 1\r\n" for i in range(120)) + "\r\n",
     [431]),
    # HTTP/1.0 is answered and closed (request() returns at the close, not after 5 s).
    (f"GET /healthz HTTP/1.0\r\n{HOST}\r\n", [200]),
    # Not JSON: a page of another origin could send it without a preflight.
    (f"POST /api/v1/stations/gate/command HTTP/1.1\r\n{HOST}Connection: close\r\n"
     "Content-Type: text/plain\r\nContent-Length: 18\r\n\r\n{\"command\":\"zero\"}", [415]),
    # The wait's 504 before the later request's 200: a placement after one this reader never
    # made is waited for, and the fixed weight makes no new one.
    (f"GET /api/v1/stations/gate/stable?after=1000000&timeout=300 HTTP/1.1\r\n{HOST}\r\n"
     f"GET /healthz HTTP/1.1\r\n{HOST}Connection: close\r\n\r\n", [504, 200]),
]


def attack(port, seconds):
    failures = []
    request(port, f"GET /api/v1/stations/gate/stable HTTP/1.1\r\n{HOST}Connection: close\r\n\r\n")
    end = time.time() + seconds
    rounds = 0
    while time.time() < end and rounds < 20 and not failures:
        rounds += 1
        for text, expected in CASES:
            started = time.time()
            answer = request(port, text)
            if statuses(answer) != expected or time.time() - started > 4:
                failures.append(f"{text[:50]!r}: {answer[:80]!r}, {expected} expected")
    return failures


if __name__ == "__main__":
    run("strict HTTP", attack, reader_args=["--allow-commands"])
