#!/usr/bin/env python3
"""The live board in Debian's chromium, headless: three simulated stations read by scale-read
--http, as the README's command beside docs/board.png names them (Com1 to Com3, links beside a
copy of the program). Checks the weight in green with its stable mark and a moving one's mark,
"Load..." in red once an indicator stops sending, grey "port-lost" with the reason and no old
bytes once its device is gone, the page reconnecting by itself when the reader restarts, the
trend surviving a page load, no request the page makes going unanswered (its icon), and the zero
button asking first and showing its result; saves a screenshot of a stable, a moving and a lost
station (docs/board.png is that screenshot).

Exit status 77 (skipped) with the reason when chromium, chromedriver or selenium is missing.
"""
import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
GREEN = "rgba(20, 255, 20, 1)"
RED = "rgba(255, 48, 48, 1)"
GREY = "rgba(107, 115, 120, 1)"


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    skip("python3-selenium is not installed")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(what, check, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if check():
                return
        except Exception:  # the page may be between renders
            pass
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


class Run:
    def __init__(self, args, folder):
        self.args = args
        self.folder = folder
        self.children = []

    def simulator(self, port, *options):
        process = subprocess.Popen(
            [self.args.simulator, "--link", os.path.join(self.folder, "bin", "ports", port),
             "--verbose", *options],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.children.append(process)
        if not process.stdout.readline().startswith("ready"):
            raise AssertionError(f"simulator {port} did not start")
        return process

    def reader(self, port):
        # A copy of the program in a folder of its own, whose ports/ComN the simulators link.
        program = os.path.join(self.folder, "bin", "scale-read")
        if not os.path.exists(program):
            shutil.copy2(self.args.reader, program)
        stations = []
        for name, com, protocol in (("gate", "Com1", "sics"), ("silo", "Com2", "continuous"),
                                    ("dock", "Com3", "continuous")):
            stations += ["--station", f"{name}={com},{protocol}"]
        process = subprocess.Popen(
            [program, *stations, "--http", f"127.0.0.1:{port}", "--allow-commands"],
            stderr=subprocess.PIPE, text=True)
        self.children.append(process)
        line = process.stderr.readline()
        if "serving the board at" not in line:
            raise AssertionError(f"reader did not serve: {line!r}")
        return process

    def end(self):
        for process in reversed(self.children):
            if process.poll() is None:
                process.send_signal(signal.SIGCONT)
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()


def tile(driver, name):
    for node in driver.find_elements(By.CSS_SELECTOR, ".tile"):
        if node.find_element(By.CSS_SELECTOR, ".name").text == name:
            return node
    raise LookupError(name)


def weight(driver, name):
    node = tile(driver, name).find_element(By.CSS_SELECTOR, ".weight")
    return re.sub(r"\s", "", node.text), node.value_of_css_property("color")


def text(driver, name, selector):
    return tile(driver, name).find_element(By.CSS_SELECTOR, selector).text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reader", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--screenshot", required=True)
    args = parser.parse_args()
    chromium = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not chromium or not driver_path:
        skip("chromium or chromium-driver is not installed")

    with tempfile.TemporaryDirectory() as folder:
        os.makedirs(os.path.join(folder, "bin", "ports"))
        run = Run(args, folder)
        driver = None
        try:
            run.simulator("Com1", "--protocol", "sics", "--weight", "fixed:12.345")
            run.simulator("Com2", "--weight", "ramp:-20:60:0.37")
            dock = run.simulator("Com3", "--weight", "fixed:3.5")
            port = free_port()
            reader = run.reader(port)

            options = webdriver.ChromeOptions()
            options.binary_location = chromium
            for flag in ("--headless", "--no-sandbox", "--disable-gpu",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--no-first-run", "--window-size=1400,660",
                         f"--user-data-dir={os.path.join(folder, 'profile')}"):
                options.add_argument(flag)
            driver = webdriver.Chrome(service=Service(driver_path), options=options)
            driver.get(f"http://127.0.0.1:{port}/")

            wait_until("gate's weight in green",
                       lambda: weight(driver, "gate") == ("12.345kg", GREEN))
            wait_until("gate's stable mark", lambda: text(driver, "gate", ".mark") == "● stable")
            wait_until("silo's moving mark", lambda: text(driver, "silo", ".mark") == "▲ moving")
            raw = text(driver, "gate", ".raw")
            assert raw == "53 20 53 20 20 20 20 20 31 32 2E 33 34 35 20 6B 67 0D", raw

            # The reader restarts on the same port: the page finds it again by itself.
            reader.terminate()
            reader.wait(10)
            wait_until("the page to see the reader gone",
                       lambda: driver.find_element(By.ID, "link").text != "live")
            run.reader(port)
            wait_until("the page to reconnect",
                       lambda: driver.find_element(By.ID, "link").text == "live")
            wait_until("gate's weight in green again",
                       lambda: weight(driver, "gate") == ("12.345kg", GREEN))

            # An indicator that stops sending: "Load..." in red; unplugged: grey "port-lost".
            wait_until("dock's weight", lambda: weight(driver, "dock") == ("3.5kg", GREEN))
            dock.send_signal(signal.SIGSTOP)
            wait_until("dock's Load... in red", lambda: weight(driver, "dock") == ("Load...", RED))
            dock.send_signal(signal.SIGCONT)
            dock.terminate()
            dock.wait(5)
            wait_until("dock's port-lost in grey",
                       lambda: weight(driver, "dock") == ("port-lost", GREY))
            # Why, and its last weight only as such: no bytes, no mark, no stable word.
            why = text(driver, "dock", ".why")
            assert re.fullmatch(r"Com3( \(\S+\))? is gone; waiting for it to come back · "
                                r"last 3\.5kg at .+", why), why
            assert (text(driver, "dock", ".raw"), text(driver, "dock", ".mark")) == ("", ""), why

            # A page loaded again draws the trend the service kept, not only what comes after.
            time.sleep(4)
            driver.refresh()
            wait_until("silo's trend from before the load", lambda: driver.execute_script(
                "const points = tiles.get('silo').points;"
                "return points.length > 0 && points[0][0] < Date.now() - 3000;"))
            wait_until("silo's moving mark again",
                       lambda: text(driver, "silo", ".mark") == "▲ moving")
            wait_until("gate's stable mark again",
                       lambda: text(driver, "gate", ".mark") == "● stable")
            assert weight(driver, "silo")[1] == GREEN, weight(driver, "silo")
            driver.save_screenshot(args.screenshot)
            print(f"board: {args.screenshot}")
            # Every request of the page answered: its icon too.
            failed = [e["message"] for e in driver.get_log("browser") if "Failed to load" in e["message"]]
            assert not failed, failed

            # Buttons only where the indicator takes commands; the zero button asks first, then
            # zeroes the gate and says so large.
            assert not tile(driver, "silo").find_element(By.CSS_SELECTOR, ".commands").is_displayed()
            buttons = tile(driver, "gate").find_elements(By.CSS_SELECTOR, ".commands button")
            assert [b.text for b in buttons if b.is_displayed()] == ["Zero", "Tare", "Clear tare"]
            buttons[0].click()
            assert text(driver, "gate", ".question") == "Zero gate?", text(driver, "gate", ".question")
            tile(driver, "gate").find_element(By.CSS_SELECTOR, ".confirm .no").click()
            assert not tile(driver, "gate").find_element(By.CSS_SELECTOR, ".confirm").is_displayed()
            assert weight(driver, "gate") == ("12.345kg", GREEN)
            buttons[0].click()
            tile(driver, "gate").find_element(By.CSS_SELECTOR, ".confirm .yes").click()
            wait_until("gate's result", lambda: text(driver, "gate", ".result") == "zero: done")
            size = tile(driver, "gate").find_element(By.CSS_SELECTOR, ".result") \
                .value_of_css_property("font-size")
            assert float(size.rstrip("px")) >= 30, size
            wait_until("gate's zeroed weight in green",
                       lambda: weight(driver, "gate") == ("0.000kg", GREEN))
        except Exception:
            if driver is not None:
                driver.save_screenshot(args.screenshot)
                print(f"the board at the failure: {args.screenshot}")
                for entry in driver.get_log("browser"):
                    print(f"browser: {entry['message']}")
            raise
        finally:
            if driver is not None:
                driver.quit()
            run.end()
    return 0


if __name__ == "__main__":
    sys.exit(main())
