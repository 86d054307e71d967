#!/usr/bin/env python3
"""COUNT WebSocket clients of one reader's /api/v1/events, each keeping the weight of every
record it receives. Touches READY once all are connected; on SIGTERM writes client i's weights,
one a line, to PREFIX.i and ends.
Usage: wsclients.py PORT COUNT READY PREFIX"""
import base64
import os
import re
import selectors
import signal
import socket
import struct
import sys

WEIGHT = re.compile(rb'"weight":(-?[0-9.]+)')


def connect(port):
    sock = socket.create_connection(("127.0.0.1", port))
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall((f"GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
                  "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                  f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        more = sock.recv(4096)
        if not more:
            sys.exit("wsclients: the reader closed the connection during the handshake")
        head += more
    status = head.split(b"\r\n", 1)[0]
    if b" 101 " not in status:
        sys.exit(f"wsclients: no upgrade: {status.decode(errors='replace')}")
    return sock, head.split(b"\r\n\r\n", 1)[1]


class Client:
    def __init__(self, port):
        self.sock, self.buffer = connect(port)
        self.message = b""
        self.weights = []
        self.chunks = []

    def keep(self, data):
        # Parsed only at the end, so that the clients take as little as they can of the CPU
        # the reader is measured on. The reader sends no pings to answer meanwhile.
        self.chunks.append(data)

    def parse(self):
        data, at = self.buffer + b"".join(self.chunks), 0
        while len(data) - at >= 2:
            opcode, length, start = data[at] & 0x0F, data[at + 1] & 0x7F, at + 2
            if length == 126:
                length, start = struct.unpack_from("!H", data, at + 2)[0], at + 4
            elif length == 127:
                length, start = struct.unpack_from("!Q", data, at + 2)[0], at + 10
            if len(data) < start + length:
                break
            final = data[at] & 0x80
            payload = data[start:start + length]
            at = start + length
            if opcode in (0, 1):
                self.message += payload
                if final:
                    if self.message.startswith(b'{"type":"record"'):
                        found = WEIGHT.search(self.message)
                        if found:
                            self.weights.append(found.group(1))
                    self.message = b""


def main():
    port, count, ready, prefix = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
    clients = [Client(port) for _ in range(count)]
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))
    selector = selectors.DefaultSelector()
    for client in clients:
        selector.register(client.sock, selectors.EVENT_READ, client)
    open(ready, "w").close()
    while not stop:
        for key, _ in selector.select(0.2):
            data = key.fileobj.recv(1 << 16)
            if not data:
                sys.exit("wsclients: the reader closed a connection")
            key.data.keep(data)
    for i, client in enumerate(clients):
        client.parse()
        with open(f"{prefix}.{i}", "wb") as out:
            out.write(b"".join(w + b"\n" for w in client.weights))


main()
