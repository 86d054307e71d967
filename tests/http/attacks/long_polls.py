#!/usr/bin/env python3
"""Ten thousand waits for a stable weight at once: each is answered (200, 503 past the cap, or
504 at its deadline) in order, and the records keep flowing."""
import socket
import threading
import time

from harness import read_all, run, statuses


def attack(port, seconds):
    connections, each = 100, 100
    # A placement this reader never made: every request waits, none is answered at once.
    one = (b"GET /api/v1/stations/gate/stable?after=1000000&timeout=500 HTTP/1.1\r\n"
           b"Host: 127.0.0.1\r\n\r\n")
    answers = [b""] * connections

    def client(index):
        with socket.create_connection(("127.0.0.1", port)) as s:
            s.sendall(one * each)
            answers[index] = read_all(s, 5)
    threads = [threading.Thread(target=client, args=(i,)) for i in range(connections)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(seconds + 30)
    counts = [len(statuses(answer)) for answer in answers]
    if sum(counts) != connections * each:
        return [f"{sum(counts)} of {connections * each} waits answered"]
    kinds = set(s for answer in answers for s in statuses(answer))
    return [] if kinds <= {200, 503, 504} else [f"answers {sorted(kinds)}"]


if __name__ == "__main__":
    run("10,000 long polls", attack)
