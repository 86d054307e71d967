#!/usr/bin/env python3
"""Writes a recording of N continuous frames, one read of one frame every 0.1 s, with a ramp
weight: the input of bench/readerspeed.sh.  Usage: makerecording.py N FILE"""
import sys

count, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w") as out:
    out.write("# port=Com1 settings=9600,N,8,1 protocol=continuous "
              "start=2026-12-07T12:00:00.000Z\n")
    lines = []
    for i in range(count):
        body = b"%c%06d3" % (b"-"[0] if i % 7 == 0 else b"+"[0], i % 1000000)
        x = 0
        for byte in body:
            x ^= byte
        frame = b"\x02" + body + b"%02X" % x + b"\x03"
        micros = i * 100000
        lines.append("%d.%06d %s\n" % (micros // 1000000, micros % 1000000,
                                       " ".join("%02X" % b for b in frame)))
        if len(lines) == 100000:
            out.writelines(lines)
            lines = []
    out.writelines(lines)
