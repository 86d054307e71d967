#!/usr/bin/env python3
"""The live board in Debian's chromium, headless: three simulated stations read by scale-read
--http. Checks the weight in green, "Load..." in red once an indicator stops sending, grey
"port-lost" once its device is gone, the page reconnecting by itself when the reader restarts,
and the new weight after the zero button; saves a screenshot of the three tiles.

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

    def simulator(self, name, *options):
        process = subprocess.Popen(
            [self.args.simulator, "--link", os.path.join(self.folder, name), "--verbose", *options],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.children.append(process)
        if not process.stdout.readline().startswith("ready"):
            raise AssertionError(f"simulator {name} did not start")
        return process

    def reader(self, port):
        stations = []
        for name, protocol in (("gate", "sics"), ("silo", "continuous"), ("dock", "continuous")):
            stations += ["--station", f"{name}={os.path.join(self.folder, name)},{protocol}"]
        process = subprocess.Popen(
            [self.args.reader, *stations, "--http", f"127.0.0.1:{port}", "--allow-commands"],
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
        run = Run(args, folder)
        driver = None
        try:
            run.simulator("gate", "--protocol", "sics", "--weight", "fixed:12.345")
            run.simulator("silo", "--weight", "ramp:-20:60:0.37")
            dock = run.simulator("dock", "--weight", "fixed:3.5")
            port = free_port()
            reader = run.reader(port)

            options = webdriver.ChromeOptions()
            options.binary_location = chromium
            for flag in ("--headless", "--no-sandbox", "--disable-gpu",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--no-first-run", "--window-size=1400,620",
                         f"--user-data-dir={os.path.join(folder, 'profile')}"):
                options.add_argument(flag)
            driver = webdriver.Chrome(service=Service(driver_path), options=options)
            driver.get(f"http://127.0.0.1:{port}/")

            wait_until("gate's weight in green",
                       lambda: weight(driver, "gate") == ("12.345kg", GREEN))
            wait_until("gate's stable mark",
                       lambda: "on" in tile(driver, "gate").find_element(
                           By.CSS_SELECTOR, ".stable").get_attribute("class"))
            raw = tile(driver, "gate").find_element(By.CSS_SELECTOR, ".raw").text
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

            time.sleep(6)  # a few seconds of trend
            assert weight(driver, "silo")[1] == GREEN, weight(driver, "silo")
            driver.save_screenshot(args.screenshot)
            print(f"board: {args.screenshot}")

            # Buttons only where the indicator takes commands; the zero button zeroes the gate.
            assert not tile(driver, "silo").find_element(By.CSS_SELECTOR, ".commands").is_displayed()
            buttons = tile(driver, "gate").find_elements(By.CSS_SELECTOR, ".commands button")
            assert [b.text for b in buttons if b.is_displayed()] == ["Zero", "Tare", "Clear tare"]
            buttons[0].click()
            wait_until("gate's result", lambda: tile(driver, "gate").find_element(
                By.CSS_SELECTOR, ".result").text == "done")
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
