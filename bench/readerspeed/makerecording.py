#!/usr/bin/env python3
"""Writes a recording of N frames of one format, one read of one frame every 0.1 s, with a ramp
weight: the input of bench/readerspeed.sh.  Usage: makerecording.py N FILE [FORMAT]
(FORMAT defaults to continuous)."""
import sys


def xor_hex(body):
    x = 0
    for byte in body:
        x ^= byte
    return b"%02X" % x


def continuous(i, w):
    body = b"%c%06d3" % (b"-"[0] if i % 7 == 0 else b"+"[0], i % 1000000)
    return b"\x02" + body + xor_hex(body) + b"\x03"


def command(i, w):
    body = b"AB%c%06d3" % (b"-"[0] if i % 7 == 0 else b"+"[0], i % 1000000)
    return b"\x02" + body + xor_hex(body) + b"\x03"


def shentong(i, w):
    return b"=" + (b"%06d" % (i % 1000000))[::-1] + b"0"


def toledo(i, w):
    frame = b"\x02" + b"40 " + b"%06d" % (i % 1000000) + b"000100\r"
    return frame + bytes([(0x80 - (sum(b & 0x7F for b in frame) & 0x7F)) & 0x7F])


FORMATS = {
    "continuous": continuous,
    "command": command,
    "shentong": shentong,
    "toledo": toledo,
    "sics": lambda i, w: b"S %c %10.2f kg\r\n" % (b"SD"[i % 2], w),
    "ad": lambda i, w: b"ST,GS,%+09.2fkg\r\n" % w,
    "sbi": lambda i, w: b"%c %8.2f kg \r\n" % (b"-"[0] if w < 0 else b"+"[0], abs(w)),
    "sma": lambda i, w: b"\n 1G  %10.2f kg\r" % w,
    "rice-lake": lambda i, w: b"\x02%c%7.2fKGM\r\n" % (b"-"[0] if w < 0 else b" "[0], abs(w)),
    "cardinal": lambda i, w: b"\r%c%6.2f  kg G  \x03" % (b"-"[0] if w < 0 else b" "[0], abs(w)),
    "weigh-tronix": lambda i, w: b" G%c%6.2f kg\r\n" % (b"-"[0] if w < 0 else b" "[0], abs(w)),
    "8217": lambda i, w: b"\x02%06.2f\r" % abs(w),
}

count, path = int(sys.argv[1]), sys.argv[2]
name = sys.argv[3] if len(sys.argv) > 3 else "continuous"
encode = FORMATS[name]
with open(path, "w") as out:
    out.write("# port=Com1 settings=9600,N,8,1 protocol=%s "
              "start=2026-12-07T12:00:00.000Z\n" % name)
    lines = []
    for i in range(count):
        weight = (i % 100000) / 100.0 * (-1 if i % 7 == 0 else 1)
        frame = encode(i, weight)
        micros = i * 100000
        lines.append("%d.%06d %s\n" % (micros // 1000000, micros % 1000000,
                                       " ".join("%02X" % b for b in frame)))
        if len(lines) == 100000:
            out.writelines(lines)
            lines = []
    out.writelines(lines)
