#!/usr/bin/env python3
"""CLIENTS Modbus TCP clients, each reading all 24 registers of every station (one request per
station under its unit id, sent together) every 100 ms for SECONDS. Prints one line: the polls
made and due, the answers, those with an exception or missing, and the age register's p50, p99
and max in ms over every station at every poll.
Usage: pollers.py PORT STATIONS CLIENTS SECONDS"""
import socket
import struct
import sys
import threading
import time

port, stations, clients, seconds = (int(a) for a in sys.argv[1:5])
PERIOD = 0.1
ages, counts, lock = [], {"polls": 0, "answers": 0, "refused": 0}, threading.Lock()


def poll(index):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    requests = b"".join(struct.pack(">HHHBBHH", unit, 0, 6, unit, 3, 0, 24)
                        for unit in range(1, stations + 1))
    answer_size = 7 + 2 + 48
    mine, polls, answers, refused = [], 0, 0, 0
    start = time.monotonic() + index * PERIOD / clients  # spread over the period
    end = start + seconds
    at = start
    while at < end:
        time.sleep(max(0.0, at - time.monotonic()))
        s.sendall(requests)
        polls += 1
        data = b""
        while len(data) < stations * answer_size:
            chunk = s.recv(65536)
            if not chunk:
                raise SystemExit("the reader closed a client's connection")
            data += chunk
            if len(data) >= 9 and data[7] & 0x80:
                break
        for offset in range(0, len(data) - answer_size + 1, answer_size):
            if data[offset + 7] != 3:
                refused += 1
                continue
            answers += 1
            mine.append(struct.unpack_from(">H", data, offset + 9 + 2 * 13)[0])
        at += PERIOD
    s.close()
    with lock:
        ages.extend(mine)
        counts["polls"] += polls
        counts["answers"] += answers
        counts["refused"] += refused


threads = [threading.Thread(target=poll, args=(i,)) for i in range(clients)]
for t in threads:
    t.start()
for t in threads:
    t.join()
ages.sort()


def pick(share):
    return ages[min(len(ages) - 1, int(share * len(ages)))] if ages else -1


due = clients * int(seconds / PERIOD)
print(f"{counts['polls']} {due} {counts['answers']} "
      f"{counts['polls'] * stations - counts['answers']} {pick(0.5)} {pick(0.99)} "
      f"{ages[-1] if ages else -1}")
