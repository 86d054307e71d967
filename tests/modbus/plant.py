"""Simulated stations read by scale-read serving Modbus: what the Modbus tests and
bench/modbus.sh share."""
import os
import re
import signal
import subprocess
import time


class Plant:
    """`stations`: (name, protocol, weight) each; the reader's Modbus TCP port is `port`."""

    def __init__(self, reader, simulator, folder, stations, extra=(), simulator_args=()):
        self.simulators = {}
        self.logs = {}
        arguments = []
        for name, protocol, weight in stations:
            link = os.path.join(folder, name)
            self.logs[name] = open(os.path.join(folder, name + ".log"), "w+b")
            self.simulators[name] = subprocess.Popen(
                [simulator, "--link", link, "--protocol", protocol, "--weight", weight,
                 "--verbose", *simulator_args], stdout=self.logs[name],
                stderr=subprocess.DEVNULL)
            arguments += ["--station", f"{name}={link},{protocol}"]
        for name, _, _ in stations:
            wait_for(lambda n=name: os.path.exists(os.path.join(folder, n)), f"simulator {name}")
        self.errors = open(os.path.join(folder, "reader.log"), "w+b")
        self.reader = subprocess.Popen([reader, *arguments, *extra],
                                       stdout=subprocess.DEVNULL, stderr=self.errors)
        self.port = None
        if "--modbus" in extra:
            found = wait_for(lambda: re.search(r"Modbus TCP on [0-9.]+:(\d+)", self.notes()),
                             "the Modbus port")
            self.port = int(found.group(1))

    def notes(self):
        self.errors.seek(0)
        return self.errors.read().decode(errors="replace")

    def heard(self, name):
        """What the simulator `name` received, as its --verbose lines."""
        self.logs[name].seek(0)
        return self.logs[name].read().decode(errors="replace")

    def stop_simulator(self, name):
        process = self.simulators.pop(name)
        process.send_signal(signal.SIGTERM)
        process.wait(10)

    def stop(self):
        """The reader's exit status and its notes."""
        for process in [self.reader, *self.simulators.values()]:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
        notes = self.notes()
        for log in [self.errors, *self.logs.values()]:
            log.close()
        return self.reader.returncode, notes


def wait_for(condition, what, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.05)
    raise AssertionError(f"{what}: not within {seconds} s")
