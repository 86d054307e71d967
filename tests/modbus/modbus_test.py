#!/usr/bin/env python3
"""scale-read --modbus and --modbus-rtu against simulated stations, read by a real Modbus client
(pymodbus): the registers under each unit id, both word orders, the command handshake with and
without --allow-commands, refusals, garbage on the socket, the stale bit, and RTU on a
pseudo-terminal pair."""
import argparse
import math
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

from plant import Plant, wait_for

ARGS = None
VALID, STABLE, STALE, PORT_LOST = 1, 2, 0x80, 0x100


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def closed(s):
    """True when the reader closes the connection without an answer."""
    try:
        return s.recv(100) == b""
    except ConnectionResetError:
        return True


def value32(registers, at, kind, order="abcd"):
    pair = registers[at:at + 2] if order == "abcd" else registers[at:at + 2][::-1]
    return struct.unpack(">" + kind, struct.pack(">HH", *pair))[0]


class Served(unittest.TestCase):
    stations = ()
    extra = ()

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.plant = Plant(ARGS.reader, ARGS.simulator, cls.folder.name, cls.stations,
                          ("--modbus", "127.0.0.1:0", *cls.extra))
        cls.client = ModbusTcpClient("127.0.0.1", cls.plant.port, timeout=3)
        cls.client.connect()
        for unit in range(1, len(cls.stations) + 1):
            wait_for(lambda u=unit: cls.read(u, 10, 1)[0] & STABLE, f"unit {unit} stable")

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        status, notes = cls.plant.stop()
        cls.folder.cleanup()
        if status != 0 or "Sanitizer" in notes:
            raise AssertionError(f"the reader ended with {status}:\n{notes}")

    @classmethod
    def read(cls, unit, address, count, function=3):
        reading = (cls.client.read_holding_registers if function == 3
                   else cls.client.read_input_registers)(address, count, slave=unit)
        return reading.registers if not reading.isError() else ("exception", reading.exception_code)

    def command(self, unit, address, command, sequence):
        self.assertFalse(self.client.write_registers(address, [command, sequence],
                                                     slave=unit).isError())
        return wait_for(lambda: (lambda r: r if r[2] != 1 else None)(
            self.read(unit, address, 4)), "the command's result", 10)


class Tcp(Served):
    stations = (("gate", "continuous", "fixed:12.34"), ("bin", "sics", "fixed:5.5"))

    def test_every_register_under_every_unit_id(self):
        for unit, base, weight in ((1, 0, 12.34), (2, 0, 5.5), (0, 100, 5.5), (255, 0, 12.34)):
            asked = time.monotonic()
            first = self.read(unit, base, 24)
            time.sleep(0.3)
            holding, inputs = self.read(unit, base, 24), self.read(unit, base, 24, function=4)
            # The heartbeat counts the tenths of a second between the two reads, however slow.
            longest = time.monotonic() - asked
            self.assertEqual(holding[:11], inputs[:11])
            self.assertEqual(value32(holding, 0, "f"), f32(weight))
            self.assertTrue(math.isnan(value32(holding, 2, "f")))  # neither says gross ...
            self.assertTrue(math.isnan(value32(holding, 4, "f")))  # ... nor tare
            self.assertEqual(value32(holding, 6, "i") / 10 ** holding[8], weight)
            self.assertEqual(holding[9:11], [3, VALID | STABLE])  # kg
            self.assertGreater((holding[11] - first[11]) % 65536, 0)  # frames
            self.assertIn((holding[12] - first[12]) % 65536,
                          range(2, int(longest * 10) + 2))
            self.assertLess(holding[13], 1000)  # ms since the last frame
            self.assertEqual(holding[14:20], [0] * 6)

    def test_refusals(self):
        for unit, address, count, exception in ((1, 23, 2, 2), (255, 124, 1, 2), (0, 200, 1, 2),
                                                (3, 0, 1, 10), (1, 0, 126, 3)):
            self.assertEqual(self.read(unit, address, count), ("exception", exception))
        writes = ((lambda: self.client.write_register(20, 1, slave=1), 2),
                  (lambda: self.client.write_registers(0, [1, 1], slave=1), 2),
                  (lambda: self.client.write_registers(20, [9, 1], slave=1), 3),
                  (lambda: self.client.read_coils(0, 1, slave=1), 1))
        for write, exception in writes:
            self.assertEqual(write().exception_code, exception)

    def test_commands_need_allowing(self):
        self.assertEqual(self.command(2, 20, 1, 7), [1, 7, 6, 7])
        time.sleep(0.5)
        self.assertNotIn("request sics Z", self.plant.heard("bin"))

    def test_garbage_closes_only_its_connection(self):
        for garbage in (b"\x00\x01\x00\x00\x00\x00\x01\x03",  # a length of 0
                        b"\x00\x01\x00\x07\x00\x06\x01\x03\x00\x00\x00\x01",  # not protocol 0
                        bytes(range(256)) * 8):
            with socket.create_connection(("127.0.0.1", self.plant.port), timeout=5) as s:
                s.sendall(garbage)
                self.assertTrue(closed(s))
        with socket.create_connection(("127.0.0.1", self.plant.port), timeout=5) as s:
            s.sendall(b"\x00\x01\x00\x00\x00\x06\x01\x03\x00")  # half a request, then gone
        self.assertEqual(self.read(1, 9, 2), [3, VALID | STABLE])
        self.assertIsNone(self.plant.reader.poll())

    def test_z_stale_within_the_watchdog_once_frames_stop(self):
        self.plant.stop_simulator("bin")
        stopped = time.time()
        status = wait_for(lambda: (lambda r: r if r[10] & STALE else None)(self.read(2, 0, 14)),
                          "the stale bit", 5)
        self.assertLessEqual(time.time() - stopped, 3.0)  # the watchdog's 2 s and a slow poll
        self.assertTrue(math.isnan(value32(status, 0, "f")))
        self.assertEqual(status[10] & ~PORT_LOST, STALE)
        self.assertEqual(self.read(1, 10, 1), [VALID | STABLE])


class Commands(Served):
    stations = (("bin", "sics", "fixed:5.5"), ("gate", "continuous", "fixed:1"))
    extra = ("--allow-commands", "--modbus-word-order", "cdab")

    def test_handshake_and_low_word_first(self):
        registers = self.read(1, 0, 8)
        self.assertEqual(value32(registers, 0, "f", "cdab"), f32(5.5))
        self.assertEqual(value32(registers, 6, "i", "cdab"), 55)
        self.assertEqual(self.command(1, 20, 1, 1), [1, 1, 2, 1])  # zero: done
        wait_for(lambda: value32(self.read(1, 0, 2), 0, "f", "cdab") == 0.0, "the zero")
        # The same write again is the same command, not a second one.
        self.assertFalse(self.client.write_registers(20, [1, 1], slave=1).isError())
        self.assertEqual(self.command(255, 120, 1, 2), [1, 2, 5, 2])  # continuous: none
        time.sleep(0.5)
        self.assertEqual(self.plant.heard("bin").count("request sics Z"), 1)


class Alone(unittest.TestCase):
    """Readers of their own."""

    def test_clients_outside_modbus_allow_are_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            plant = Plant(ARGS.reader, ARGS.simulator, folder, (("gate", "continuous", "fixed:1"),),
                          ("--modbus", "127.0.0.1:0", "--modbus-allow", "10.0.0.0/8"))
            try:
                with socket.create_connection(("127.0.0.1", plant.port), timeout=5) as s:
                    s.sendall(b"\x00\x01\x00\x00\x00\x06\x01\x03\x00\x00\x00\x01")
                    self.assertTrue(closed(s))
                wait_for(lambda: "not in --modbus-allow" in plant.notes(), "the note")
            finally:
                status, notes = plant.stop()
            self.assertEqual(status, 0, notes)

    def test_registers_over_a_serial_line_that_goes_and_comes_back(self):
        with tempfile.TemporaryDirectory() as folder:
            ours, theirs = os.path.join(folder, "rtu"), os.path.join(folder, "plc")

            def line():
                pair = subprocess.Popen(["socat", f"pty,raw,echo=0,link={ours}",
                                         f"pty,raw,echo=0,link={theirs}"])
                wait_for(lambda: os.path.exists(ours) and os.path.exists(theirs), "socat")
                return pair

            def registers():
                client = ModbusSerialClient(theirs, baudrate=19200, timeout=1)
                client.connect()
                try:
                    wait_for(lambda: (lambda r: not r.isError() and r.registers[0] & STABLE)(
                        client.read_holding_registers(10, 1, slave=1)), "the RTU slave")
                    return (client.read_input_registers(0, 11, slave=1).registers,
                            client.read_holding_registers(24, 1, slave=1).exception_code)
                finally:
                    client.close()

            pair = line()
            plant = Plant(ARGS.reader, ARGS.simulator, folder,
                          (("gate", "continuous", "fixed:12.34"),),
                          ("--modbus-rtu", f"{ours},19200,N,8,1"))  # a pty takes no parity
            try:
                for attempt in range(2):
                    held, exception = registers()
                    self.assertEqual(value32(held, 0, "f"), f32(12.34))
                    self.assertEqual(held[8:11], [2, 3, VALID | STABLE])
                    self.assertEqual(exception, 2)
                    if attempt == 0:
                        # The PLC's end goes; the reader opens the line again once it is back.
                        pair.terminate()
                        pair.wait(10)
                        time.sleep(1)
                        pair = line()
            finally:
                status, notes = plant.stop()
                pair.terminate()
                pair.wait(10)
            self.assertEqual(status, 0, notes)
            self.assertEqual(notes.count("opening it again every 2 s"), 1, notes)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--reader", required=True)
    parser.add_argument("--simulator", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
