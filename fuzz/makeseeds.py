#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/TARGET/ (run from anywhere)."""

import pathlib

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
STX, ETX = b"\x02", b"\x03"


def sealed(body: bytes) -> bytes:
    x = 0
    for b in body:
        x ^= b
    return STX + body + b"%02X" % x + ETX


def continuous(sign: str, digits: int, decimals: int) -> bytes:
    return sealed(f"{sign}{digits:06d}{decimals}".encode())


def reading(negative: bool, digits: int, decimals: int) -> bytes:
    return bytes([decimals << 1 | negative]) + digits.to_bytes(4, "big")


def chunks(*parts: bytes) -> bytes:
    return b"".join(bytes([len(p)]) + p for p in parts)


ZERO_FRAME = bytes(31)

SEEDS = {
    "continuous_fuzz": {
        "frame": reading(False, 12345, 3) + ZERO_FRAME + chunks(continuous("+", 12345, 3)),
        "repeat-junk": reading(True, 50, 2) + ZERO_FRAME
        + chunks(b"\x00\xff" + continuous("-", 50, 2), continuous("-", 50, 2) + b"\x02+00"),
        "cut-bad": reading(False, 999999, 0) + ZERO_FRAME
        + chunks(continuous("+", 7, 1)[:5], continuous("+", 7, 1)[5:], b"\x02+0000014FF\x03"),
        "runaway": reading(False, 0, 4) + ZERO_FRAME + chunks(b"\x02" + b"0" * 40),
    },
    "commandreply_fuzz": {
        "frame": reading(False, 12345, 3) + b"AB" + ZERO_FRAME
        + chunks(sealed(b"AB+0123453")),
        "stale": reading(True, 1, 1) + b"\x02\x7f" + continuous("+", 1, 0)[:31].ljust(31, b"\0")
        + chunks(sealed(b"AB-0000011"), b"\x02AB\x03"),
    },
    "shentong_fuzz": {
        "frame": reading(False, 1234, 2) + ZERO_FRAME + chunks(b"=43.2100"),
        "negative-repeat": reading(True, 5, 1) + ZERO_FRAME + chunks(b"x=5.0000-0", b"=5.0000-0"),
        "cut": reading(False, 999999, 0) + ZERO_FRAME + chunks(b"=9999", b"990="),
    },
    "numbertext_fuzz": {
        "plain": b"12.345",
        "spaced": b" - 0 .5kg\x03",
        "exponent": b"1e5",
        "huge": b"9" * 320,
        "tiny": b"0.00001234567890123456",
    },
    "recording_fuzz": {
        "session": b"# port=/dev/serial/by-id/usb%20FTDI settings=9600,N,8,1 protocol=continuous"
        b" start=2026-12-07T12:00:00.123Z by=scale-read\n"
        b"0.000000 02 2B 30 30 31 32 33 34 33 31 43 03\n# a comment\n\n"
        b"0.100231 3d 35 2e 32\r\n12.500000 00 FF",
        "bad": b"#  port=%2\n0.00000 02\n1.0000000 0G\n-1.000000 02 \n9999999999999.000000 02",
    },
    "settings_fuzz": {
        "default": b"0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n",
        "fields": b' "3",2.5,-1\n3.5\r\n',
        "short": b"4\r\n1",
        "wide": b"70000\r\n",
    },
    "linesettings_fuzz": {
        "plain": b"2400,N,8,1",
        "spaced": b" 9600 , e ,7, 1.5 ",
        "space-parity": b"115200,S,5,2",
        "bad": b"+300,M,4,3",
    },
    "requestscanner_fuzz": {
        "one": b"\x00" + b"\x02AB03\x03",
        "split": b"\x03\x01\x04\x00" + b"\x02\x02AB03\x03AB03\x03\x02AB03\x03\x02A",
        "formats": b"\x02\x03\x05" + b"SI\r\n\x1bP\nW\rQ\r\nWZ\r\nTAC\r\nXX\r\n\x1b\x1bV",
    },
    "options_fuzz": {
        "walk": b"--link\0/tmp/ports/Com1\0--protocol\0command\0--weight\0walk:3\0--verbose",
        "device": b"--device\0/dev/ttyUSB1\0--settings\09600,N,8,1\0--bad-checksum\0"
        b"0.1\0--cut\0.5\0--cut-pause\0" b"40",
        "ramp": b"--link\0x\0--weight=ramp:-5:50:0.25\0--rate\0" b"4\0--duration\0" b"2000",
        "shentong": b"--link=x\0--protocol=shentong\0--weight=fixed:-12.34\0--silence\0"
        b"2000:300\0--seed\0" b"7",
        "sics": b"--link\0x\0--protocol\0sics\0--refuse\0zero\0--refuse\0clear-tare\0"
        b"--capacity\0" b"150.5\0--stream\0--answer-delay\0" b"900",
        "toledo": b"--link\0x\0--protocol\0toledo\0--toledo-checksum\0off\0--weight\0"
        b"ramp:-99:99:0.5",
    },
}

for target, seeds in SEEDS.items():
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)
