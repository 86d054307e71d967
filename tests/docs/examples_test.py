#!/usr/bin/env python3
"""Runs the scale-read and indicator-sim examples of README.md and of both --help texts against
the simulator on pseudo-terminals, and decodes every sample record shown back from its raw bytes.

usage: examples_test.py README.md SCALE_READ INDICATOR_SIM

An example runs in a folder of its own: its ports become a simulator's link there, a run that
would go on for ever gets a --duration, and a file it reads is a short recording made first.
A real device becomes a pseudo-terminal's device, and an HTTP or Modbus port a free one. Examples that need what the machine has not
got (a broker, a line with parity) are listed as left out, with the reason."""

import concurrent.futures
import json
import os
import re
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile

README, READER, SIMULATOR = (os.path.abspath(path) for path in sys.argv[1:4])
ENV = dict(os.environ, LC_ALL="C")
RUN_MILLIS = "1000"


def commands_in(text, in_blocks):
    """Command lines of scale-read and indicator-sim, joined across "\\" line ends, without
    comments, pipes or redirections."""
    lines = []
    inside = not in_blocks
    pending = ""
    for line in text.splitlines():
        if in_blocks and line.startswith("```"):
            inside = line.strip() == "```sh"
            continue
        if not inside:
            continue
        line = pending + line.strip()
        if line.endswith("\\"):
            pending = line[:-1] + " "
            continue
        pending = ""
        lines.append(line)
    found = []
    for line in lines:
        words = shlex.split(line, comments=True)
        for cut in ("|", ">/dev/null", ">"):
            if cut in words:
                words = words[: words.index(cut)]
        if words and os.path.basename(words[0]) in ("scale-read", "indicator-sim"):
            found.append((line, words))
    return found


def examples():
    with open(README, encoding="utf-8") as readme:
        text = readme.read()
    found = commands_in(text, True)
    for program in (READER, SIMULATOR):
        help_text = subprocess.run([program, "--help"], capture_output=True, text=True,
                                   env=ENV, check=True).stdout
        found += commands_in(help_text.split("Examples:", 1)[1], False)
    return text, found


def value_after(words, option):
    return words[words.index(option) + 1] if option in words else None


def start_simulator(folder, name, arguments):
    link = os.path.join(folder, name)
    process = subprocess.Popen([SIMULATOR, "--link", link] + arguments, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, env=ENV)
    ready = process.stdout.readline()
    if not ready.startswith("ready "):
        process.kill()
        raise RuntimeError("the simulator did not start: " + process.stderr.read())
    return process, link


def stop(process):
    if process.poll() is None:
        process.terminate()
    process.communicate(timeout=10)


def make_recording(folder, name):
    """A second of a continuous indicator, recorded by scale-read."""
    simulator, link = start_simulator(folder, "recorded", [])
    try:
        subprocess.run([READER, "--port", link, "--record", os.path.join(folder, name),
                        "--duration", "1000"], cwd=folder, env=ENV, check=True,
                       capture_output=True, timeout=20)
    finally:
        stop(simulator)


FORMATS_GUIDE = os.path.join(os.path.dirname(README), "docs", "formats.md")


def write_formats(words, folder):
    """The example's --formats file, made in its folder from the guide's line format under the
    example's protocol name; the simulator's arguments that speak it."""
    if "--formats" not in words:
        return []
    with open(FORMATS_GUIDE, encoding="utf-8") as guide:
        line_format = re.search(r"```toml\n(.*?)```", guide.read(), re.DOTALL).group(1)
    name = value_after(words, "--protocol")
    line_format = re.sub(r'^name = ".*"$', 'name = "%s"' % name, line_format, flags=re.MULTILINE)
    path = os.path.join(folder, value_after(words, "--formats"))
    with open(path, "w", encoding="utf-8") as out:
        out.write(line_format)
    return ["--formats", path]


def left_out(words):
    if "--mqtt" in words:
        return "needs an MQTT broker"
    if "--type" in words:
        return "types into a desktop (tests/keyboard runs it under Xvfb)"
    for listener in ("--http", "--modbus"):
        address = value_after(words, listener) or ""
        if ":" in address and not address.startswith(("127.0.0.1:", "[::1]:", "localhost:")):
            return "listens beyond loopback"
    if "--modbus-rtu" in words:
        return "needs a serial line's other end"
    served = value_after(words, "--serve") or ""
    if "://" in served and not served.split("://", 1)[1].startswith(("127.0.0.1:", "[::1]:")) \
            and ":" in served.split("://", 1)[1]:
        return "listens beyond loopback"
    settings = value_after(words, "--settings") or ""
    if settings and settings.split(",")[1:3] != ["N", "8"]:
        return "a pseudo-terminal keeps no parity and no 7 data bits"
    return None


def free_port():
    """A TCP port of loopback that nothing listens on now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def run_reader(words, folder):
    words = list(words[1:])
    protocol = value_after(words, "--protocol") or "continuous"
    simulators = []
    formats = write_formats(words, folder)
    try:
        if "--port" in words:
            simulator, link = start_simulator(folder, "line", ["--protocol", protocol] + formats)
            simulators.append(simulator)
            words[words.index("--port") + 1] = link
        for i, word in enumerate(words):
            if word == "--station":  # NAME=PORT[,B,P,D,S],PROTOCOL
                name, rest = words[i + 1].split("=", 1)
                fields = rest.split(",")
                simulator, link = start_simulator(folder, name,
                                                  ["--protocol", fields[-1]] + formats)
                simulators.append(simulator)
                words[i + 1] = name + "=" + ",".join([link] + fields[1:])
        if "--input" in words:
            make_recording(folder, value_after(words, "--input"))
        for listener in ("--http", "--modbus"):
            if listener in words:
                # The examples' 8080 or 1502 may be taken by anything else on the host.
                at = words.index(listener) + 1
                host, _, _ = words[at].rpartition(":")
                words[at] = (host + ":" if host else "") + str(free_port())
        for i, word in enumerate(words):
            if word == "--serve":  # a TCP port of its own, or a link in the example's folder
                target = words[i + 1]
                if "://" in target:
                    words[i + 1] = target.rsplit(":", 1)[0] + ":" + str(free_port()) \
                        if target.count(":") > 1 else target.split("://")[0] + "://0"
                else:
                    words[i + 1] = target.split(":", 1)[0] + ":" + os.path.join(folder, "served")
        if "--duration" in words:
            words[words.index("--duration") + 1] = RUN_MILLIS
        elif not {"--detect", "--input", "--ports", "--command"} & set(words):
            words += ["--duration", RUN_MILLIS]
        result = subprocess.run([READER] + words, cwd=folder, env=ENV, capture_output=True,
                                text=True, timeout=60)
        return result.returncode, result.stderr
    finally:
        for simulator in simulators:
            stop(simulator)


def run_simulator(words, folder):
    words = list(words[1:])
    write_formats(words, folder)
    if "--replay" in words:
        make_recording(folder, value_after(words, "--replay"))
    device = None
    if "--link" in words:
        words[words.index("--link") + 1] = os.path.join(folder, "ports", "Com1")
    elif "--tcp" in words:
        words[words.index("--tcp") + 1] = "0"
    else:
        # The simulator drives the slave side as a device; the master stays open meanwhile.
        device = os.openpty()
        words[words.index("--device") + 1] = os.ttyname(device[1])
    if "--duration" not in words and "--replay" not in words:
        words += ["--duration", RUN_MILLIS]
    try:
        result = subprocess.run([SIMULATOR] + words, cwd=folder, env=ENV, capture_output=True,
                                text=True, timeout=60)
    finally:
        if device:
            os.close(device[0])
            os.close(device[1])
    return result.returncode, result.stderr


def run_example(example):
    line, words = example
    folder = tempfile.mkdtemp(prefix="examples-test-")
    try:
        if os.path.basename(words[0]) == "scale-read":
            return run_reader(words, folder)
        return run_simulator(words, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def sample_records(text):
    """Each record shown in README.md, decoded again from its raw bytes by scale-read --input:
    the record it gives must be the one shown, letter for letter."""
    failures = []
    samples = re.findall(r'^\{"time".*\}$', text, re.MULTILINE)
    if not samples:
        failures.append("no sample record found in " + README)
    for shown in samples:
        record = json.loads(shown)
        if "command" in record:  # a command's result: no frame to decode again
            continue
        if "seq" in record:  # the stable endpoint's answer: a record with its placement number
            continue
        folder = tempfile.mkdtemp(prefix="examples-test-")
        try:
            recording = os.path.join(folder, "sample.rec")
            with open(recording, "w", encoding="ascii") as out:
                out.write("# port=%s settings=9600,N,8,1 protocol=%s start=%s\n"
                          % (record["port"], record["protocol"], record["time"]))
                out.write("0.000000 %s\n" % record["raw"])
            arguments = ["--input", recording] + (["--errors"] if "error" in record else [])
            decoded = subprocess.run([READER] + arguments, env=ENV, capture_output=True,
                                     text=True, timeout=30).stdout.strip()
            if decoded != shown:
                failures.append("sample record\n  shown:   %s\n  decoded: %s" % (shown, decoded))
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    return failures


def main():
    text, found = examples()
    failures = sample_records(text)
    runnable = []
    for line, words in found:
        reason = left_out(words)
        if reason:
            print("left out (%s): %s" % (reason, line))
        else:
            runnable.append((line, words))
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for (line, _), (status, errors) in zip(runnable, pool.map(run_example, runnable)):
            print("exit %d: %s" % (status, line))
            if status != 0:
                failures.append("%s\n  ended with %d: %s" % (line, status, errors.strip()))
    if len(runnable) < 10:
        failures.append("only %d examples found to run" % len(runnable))
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
