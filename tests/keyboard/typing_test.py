#!/usr/bin/env python3
"""scale-read --type through a real X server: each case starts its own Xvfb on a free display,
a recording window of our own (type-target), and an indicator of its own on a pseudo-terminal
sending SICS frames that place and take off loads once the reader reads. Usage:
typing_test.py CASE SCALE_READ TYPE_TARGET PRESS_KEY FAKE_PORTAL SCALE_WEDGE"""

import os
import re
import shutil
import signal
import socket
import subprocess
import urllib.request
import sys
import tempfile
import threading
import time
import tty

CASE, READER, TARGET, PRESS, PORTAL, WEDGE = sys.argv[1:7]
RATE = 10  # frames a second


def sics_frame(weight, stable):
    return ("S %s %10.3f kg\r\n" % ("S" if stable else "D", weight)).encode()


class Line:
    """The indicator's end of a pseudo-terminal, sending SICS frames at RATE a second."""

    def __init__(self):
        self.master, slave = os.openpty()
        tty.setraw(slave)
        self.path = os.ttyname(slave)
        self.slave = slave

    def play(self, phases):
        """phases: (weight, stable, seconds) in turn."""
        for weight, stable, seconds in phases:
            for _ in range(int(seconds * RATE)):
                os.write(self.master, sics_frame(weight, stable))
                time.sleep(1.0 / RATE)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class Desktop:
    """An Xvfb of this test's own, its display number chosen by the server (-displayfd)."""

    def __init__(self, folder):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0", "640x480x24"],
            pass_fds=(write,), stderr=open(os.path.join(folder, "xvfb.log"), "w"))
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(), QT_QPA_PLATFORM="xcb")
        self.records = os.path.join(folder, "records.jsonl")
        self.env.pop("WAYLAND_DISPLAY", None)

    def close(self):
        self.server.terminate()
        self.server.wait()


class Window:
    """A type-target window recording into FOLDER/TITLE.txt."""

    def __init__(self, desktop, folder, title):
        self.path = os.path.join(folder, title + ".txt")
        self.process = subprocess.Popen([TARGET, self.path, title], env=desktop.env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self.wait_focus()

    def wait_focus(self):
        line = self.process.stdout.readline()
        if not line.startswith("focused"):
            raise SystemExit("the target window never had the focus")

    def focus(self):
        self.process.stdin.write("focus\n")
        self.process.stdin.flush()
        self.wait_focus()

    def text(self):
        with open(self.path, encoding="utf-8") as received:
            return received.read()

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


def start_reader(desktop, phases, options):
    """The reader typing from a line of our own; once it reads, the line plays `phases` in the
    background (the placements start only when the reader is there to see them). Returns the
    reader's process, with the notes it gave before reading in `reader.notes`."""
    line = Line()
    reader = subprocess.Popen([READER, "--port", line.path, "--protocol", "sics", "--output",
                               desktop.records] + options,
                              env=desktop.env, stderr=subprocess.PIPE, text=True)
    reader.notes = []
    while not reader.notes or not reader.notes[-1].startswith("scale-read: reading "):
        note = reader.stderr.readline()
        if not note:
            raise SystemExit("the reader ended before reading: %r" % reader.notes)
        reader.notes.append(note.rstrip("\n"))
    reader.line = line
    reader.player = threading.Thread(target=line.play, args=(phases,))
    reader.player.start()
    return reader


def finish(reader):
    """Waits for the phases to play out, then ends the reader as an operator would."""
    reader.player.join()
    time.sleep(0.5)
    reader.send_signal(signal.SIGTERM)
    _, errors = reader.communicate(timeout=30)
    reader.line.close()
    return reader.returncode, "\n".join(reader.notes) + "\n" + errors


def check(name, got, expected):
    if got != expected:
        raise SystemExit("%s: expected %r, got %r" % (name, expected, got))
    print("%s: %r" % (name, got))


OFF, PLACED, MOVING = (0.0, True), (12.345, True), (12.345, False)


def typed_values(folder):
    with open(os.path.join(folder, "records.jsonl")) as records:
        return [line for line in records if '"typed"' in line]


class SessionBus:
    """A dbus-daemon of this test's own, listening in FOLDER, with a fake portal on it."""

    def __init__(self, folder, portal_args):
        config = os.path.join(folder, "bus.conf")
        with open(config, "w") as out:
            out.write('<busconfig><type>session</type><listen>unix:dir=%s</listen>'
                      '<policy context="default"><allow send_destination="*" eavesdrop="true"/>'
                      '<allow eavesdrop="true"/><allow receive_sender="*"/><allow own="*"/>'
                      '</policy></busconfig>' % folder)
        self.daemon = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork",
                                        "--print-address"], stdout=subprocess.PIPE, text=True)
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env.update(DBUS_SESSION_BUS_ADDRESS=self.daemon.stdout.readline().strip(),
                        WAYLAND_DISPLAY="wayland-test")
        self.records = os.path.join(folder, "records.jsonl")
        self.log = os.path.join(folder, "portal.log")
        self.portal = None
        try:
            self.portal = subprocess.Popen([PORTAL, self.log] + portal_args, env=self.env,
                                           stdout=subprocess.PIPE, text=True)
            if self.portal.stdout.readline().strip() != "ready":
                raise SystemExit("the fake portal did not start")
        except BaseException:
            self.close()
            raise

    def calls(self):
        with open(self.log) as log:
            return log.read().splitlines()

    def close(self):
        for process in (self.portal, self.daemon):
            if process:
                process.terminate()
                process.wait()


SETTLED_KEYS = []
for _keysym in [ord(c) for c in "12.345 kg"] + [0xFF0D]:  # "{weight} {unit}{Enter}"
    SETTLED_KEYS += ["key %x 1" % _keysym, "key %x 0" % _keysym]
HOTKEY_REFUSED = ("scale-read: --type-on hotkey: this desktop offers no global shortcuts (no "
                  "GlobalShortcuts in its portal); use --type-on settle or print\n")


class Broker:
    """A mosquitto of this test's own on a free loopback port, anyone allowed."""

    def __init__(self, folder):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        config = os.path.join(folder, "mosquitto.conf")
        with open(config, "w") as out:
            out.write("listener %d 127.0.0.1\nallow_anonymous true\n" % self.port)
        self.process = subprocess.Popen(["mosquitto", "-c", config], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        for _ in range(50):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.1)
        self.close()
        raise SystemExit("mosquitto did not start")

    def url(self):
        return "mqtt://127.0.0.1:%d" % self.port

    def client(self, tool, *args):
        return [tool, "-h", "127.0.0.1", "-p", str(self.port)] + list(args)

    def close(self):
        self.process.terminate()
        self.process.wait()


def mqtt_type(broker, station):
    """Publishes the type command once the station is online; returns its result (without the
    time), or None when none came within 2 s."""
    topic = "scale-readout/%s/command" % station
    subprocess.run(broker.client("mosquitto_sub", "-t", "scale-readout/%s/status" % station,
                                 "-C", "1", "-W", "10"), check=True, capture_output=True)
    results = subprocess.Popen(broker.client("mosquitto_sub", "-t", topic + "/result", "-C", "1",
                                             "-W", "2"), stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    time.sleep(0.3)  # the subscription made before the command goes
    subprocess.run(broker.client("mosquitto_pub", "-q", "1", "-t", topic, "-m",
                                 '{"command":"type","id":"pedal-1"}'), check=True)
    result = results.communicate(timeout=10)[0]
    return re.sub(r'"time":"[^"]*"', '"time":"T"', result.strip()) or None


def wedge_case(desktop, folder):
    """The tray program, a copy of its own whose settings (scale-wedge.ini beside it) read a line
    of ours: one value per placement, as the reader types them."""
    window = Window(desktop, folder, "Sheet")
    line = Line()
    wedge = shutil.copy(WEDGE, os.path.join(folder, "scale-wedge"))
    with open(os.path.join(folder, "scale-wedge.ini"), "w") as ini:
        ini.write("[General]\nport=%s\nsettings=\"9600,N,8,1\"\nprotocol=sics\n"
                  "template={weight} {unit}{Enter}\non=settle\n" % line.path)
    process = subprocess.Popen([wedge], env=desktop.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        # The wedge says nothing when it reads: the load comes after a while off the scale.
        line.play([OFF + (2.0,), PLACED + (1.5,), OFF + (1.0,), PLACED + (1.5,)])
        time.sleep(0.5)
        check("received", window.text(), "12.345 kg\n12.345 kg\n")
    finally:
        process.terminate()
        process.wait(timeout=10)
        line.close()
    window.close()


def portal_case(folder):
    """The Wayland path against the fake portal: a copy of the reader of its own, whose settings
    folder is its own folder, where the restore token is kept."""
    mode = {"portal-cancelled": ["cancel"], "portal-no-shortcuts": ["noshortcuts"]}
    bus = SessionBus(folder, mode.get(CASE, []))
    global READER
    READER = shutil.copy(READER, os.path.join(folder, "scale-read"))
    try:
        if CASE == "portal-cancelled":
            done = subprocess.run([READER, "--port", os.path.join(folder, "nothing"), "--type",
                                   "{weight}"], capture_output=True, text=True, env=bus.env)
            check("exit status", done.returncode, 1)
            check("error", done.stderr, "scale-read: typing on this desktop was not allowed "
                  "(Start cancelled)\n")
            return
        template = ["--type", "{weight} {unit}{Enter}"]
        hotkey = template + ["--type-on", "hotkey", "--type-hotkey", "ctrl+alt+W"]
        session = ["CreateSession", "SelectDevices types=1 persist_mode=2 restore_token=%s", "Start"]
        note = ('scale-read: typing %s as "{weight} {unit}{Enter}" through the Wayland desktop '
                'portal (RemoteDesktop)')
        if CASE == "portal-hotkey":
            reader = start_reader(bus, [OFF + (0.5,), PLACED + (4.0,)], hotkey)
            check("start note", reader.notes[0], note % "the weight at ctrl+alt+W" +
                  ", the hotkey through the portal's GlobalShortcuts, bound to Ctrl+Alt+W")
            time.sleep(2.5)  # settled well before: nothing typed without the key
            subprocess.run(["dbus-send", "--session", "--print-reply",
                            "--dest=org.freedesktop.portal.Desktop",
                            "/org/freedesktop/portal/desktop", "test.FakePortal.Press"],
                           env=bus.env, check=True, stdout=subprocess.DEVNULL)
            status, _ = finish(reader)
            check("exit status", status, 0)
            check("portal calls", bus.calls(), [
                session[0], session[1] % "", session[2], "GlobalShortcuts.CreateSession",
                "BindShortcuts type-weight description='Type the weight standing now' "
                "preferred_trigger=CTRL+ALT+w session=scalereadkeys", "Press"] + SETTLED_KEYS)
            check("typed records", len(typed_values(folder)), 1)
            return
        expected = []
        if CASE == "portal-no-shortcuts":
            # Refused before any port opens; typing each settled weight still works there.
            done = subprocess.run([READER, "--port", os.path.join(folder, "nothing")] + hotkey,
                                  capture_output=True, text=True, env=bus.env)
            check("exit status", done.returncode, 1)
            check("error", done.stderr, HOTKEY_REFUSED)
            expected += [session[0], session[1] % "", session[2]]
        for run_number in (1, 2) if CASE == "portal" else (1,):
            reader = start_reader(bus, [OFF + (0.5,), PLACED + (1.5,)], template)
            status, errors = finish(reader)
            check("exit status", status, 0)
            check("start note", errors.splitlines()[0], note % "each settled weight")
            # The first run asks; the second restores the session with the token kept.
            token = "" if run_number == 1 and not expected else "token-1"
            expected += [session[0], session[1] % token, session[2]] + SETTLED_KEYS
        check("portal calls", bus.calls(), expected)
        with open(os.path.join(folder, "portal-restore-token")) as kept:
            check("token kept", kept.read(), "token-1\n")
    finally:
        bus.close()


def run(folder):
    if CASE.startswith("portal"):
        portal_case(folder)
        return
    if CASE == "bad-template":
        for template, message in [
                ("{weigth}", "--type: unknown field or key {weigth} in the template (fields: "
                 "weight, weight:0.00, unit, gross, net, tare, mode, station, seq, time:%H:%M:%S; "
                 "keys: Tab, Enter, Esc, Wait MS; {{ and }} for braces)"),
                ("{weight:0,00}", "--type: {weight:0,00} in the template: decimals are written "
                 "0, 0.0, 0.00 ...")]:
            done = subprocess.run([READER, "--port", "Com1", "--type", template],
                                  capture_output=True, text=True)
            check("exit status", done.returncode, 2)
            check("error", done.stderr, "scale-read: %s (see --help)\n" % message)
        return
    if CASE == "no-display":
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        # A port that does not exist: the desktop is looked for before any port is opened.
        done = subprocess.run([READER, "--port", os.path.join(folder, "nothing"), "--type",
                               "{weight}"], capture_output=True, text=True, env=env)
        check("exit status", done.returncode, 1)
        check("error", done.stderr, "scale-read: --type needs a desktop: neither DISPLAY nor "
              "WAYLAND_DISPLAY is set\n")
        return

    desktop = Desktop(folder)
    broker = None
    try:
        if CASE == "wedge":
            wedge_case(desktop, folder)
            return
        if CASE == "type-into":
            sheet = Window(desktop, folder, "Sheet")
            notes = Window(desktop, folder, "Notes")  # the focus is here now
            reader = start_reader(desktop, [OFF + (0.5,), PLACED + (1.5,), OFF + (1.0,),
                                                    (23.456, True, 2.0)],
                                  ["--type", "{weight}{Enter}", "--type-into", "^Sheet$"])
            held = reader.stderr.readline()
            while "held back" not in held:
                held = reader.stderr.readline()
            check("held back", held, 'scale-read: 12.345kg held back: the focus is on "Notes" '
                  '(type-target.type-target), not a window --type-into \'^Sheet$\' matches\n')
            sheet.focus()
            status, _ = finish(reader)
            check("exit status", status, 0)
            check("Notes received", notes.text(), "")
            check("Sheet received", sheet.text(), "23.456\n")
            return
        window = Window(desktop, folder, "Sheet")
        template = ["--type", "{weight} {unit}{Enter}"]
        if CASE == "settle-once":
            phases, options, expected = [OFF + (0.5,), MOVING + (0.5,), PLACED + (3.0,)], \
                template, "12.345 kg\n"
        elif CASE == "again-after-off":
            phases = [OFF + (0.5,), PLACED + (1.5,), (12.346, True, 0.5), OFF + (1.0,),
                      PLACED + (1.5,)]
            options, expected = template, "12.345 kg\n12.345 kg\n"
        elif CASE == "motion-never":
            phases, options, expected = [OFF + (0.5,), MOVING + (3.0,)], template, ""
        elif CASE in ("layout-fr", "layout-de"):
            layout = CASE[-2:]
            subprocess.run(["setxkbmap", "-display", desktop.env["DISPLAY"], layout], check=True)
            print("layout %s" % layout)
            # Digits (Shift on AZERTY), y and z (swapped on QWERTZ), a comma, and @, which
            # neither layout has on a level of its own (AltGr): a spare key is lent for it.
            phases = [OFF + (0.5,), (1234.567, True, 2.0)]
            options = ["--type", "{weight} {unit} yz@AZ{Tab}{weight:0.0}{Enter}",
                       "--type-decimal", ","]
            expected = "1234,567 kg yz@AZ\t1234,6\n"
        elif CASE in ("hotkey", "remote", "remote-mqtt", "remote-mqtt-not-allowed"):
            # The hotkey with Ctrl held, as a person presses it; the remote button over HTTP or
            # the broker, which types only where commands are allowed.
            phases = [OFF + (0.5,), PLACED + (4.0,)]
            options = template + ["--type-on", "hotkey", "--type-hotkey", "ctrl+F9"]
            if CASE == "remote":
                options += ["--http", "127.0.0.1:0", "--allow-commands"]
            if CASE.startswith("remote-mqtt"):
                phases = [OFF + (0.5,), PLACED + (3.0,)]
                broker = Broker(folder)
                options += ["--mqtt", broker.url()]
            if CASE == "remote-mqtt":
                options += ["--allow-commands"]
            expected = "" if CASE == "remote-mqtt-not-allowed" else "12.345 kg\n"
        reader = start_reader(desktop, phases, options)
        if broker:
            time.sleep(1.0)  # the weight stands
            station = os.path.basename(reader.line.path)
            check("result", mqtt_type(broker, station),
                  None if CASE == "remote-mqtt-not-allowed" else
                  '{"time":"T","station":"%s","port":"%s","protocol":"sics","command":"type",'
                  '"id":"pedal-1","result":"done"}' % (station, reader.line.path))
        if CASE == "remote":
            address = re.search(r"http://(127\.0\.0\.1:\d+)/", "\n".join(reader.notes))
            time.sleep(2.5)
            # A single port serves as the station named after it: the pseudo-terminal's number.
            station = os.path.basename(reader.line.path)
            request = urllib.request.Request(
                "http://%s/api/v1/stations/%s/type" % (address.group(1), station), data=b"{}",
                headers={"Content-Type": "application/json"}, method="POST")
            with urllib.request.urlopen(request, timeout=10) as answer:
                check("answer", answer.read().decode(),
                      '{"command":"type","result":"done","station":"%s"}\n' % station)
        if CASE == "hotkey":
            time.sleep(2.5)  # settled well before: nothing typed without the key
            check("before the key", window.text(), "")
            subprocess.run([PRESS, "ctrl+F9"], env=desktop.env, check=True)
        status, errors = finish(reader)
        check("exit status", status, 0)
        check("received", window.text(), expected)
        check("typed records", len(typed_values(folder)), expected.count("\n"))
        if CASE == "remote-mqtt":
            check("trigger", re.search(r'"trigger":"([^"]*)"', typed_values(folder)[0]).group(1),
                  "mqtt")
        window.close()
    finally:
        if broker:
            broker.close()
        desktop.close()


with tempfile.TemporaryDirectory(prefix="typing-") as folder:
    run(folder)
print("ok")
