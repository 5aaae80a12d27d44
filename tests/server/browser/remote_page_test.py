#!/usr/bin/python3
"""The web remote in Debian's Chromium, headless, against sonaro-server --demo: the program's own
core logged in to its embedded virtual unit.

    remote_page_test.py --server PROGRAM [--screenshots DIR] [--figures]

Checks: the page loads and logs in; a fader moved by pointer and one moved by keyboard reach the
unit (the V frame the unit received, read from its log, carries the new gain); a front-panel
change at the unit appears on the page; nothing is left pending once the unit confirmed; a change
the unit never got is marked; the console shows no errors. With --screenshots it saves the page
at tablet (1024x768, ratio 2) and phone (390x844, ratio 3) sizes in both languages. With
--figures it prints the page's transferred size and the time to the first meter update.
Everything stays on 127.0.0.0/8; the browser is started with a fresh profile and without any of
its background network traffic. Exit status 0 when every check passed."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
TIMEOUT = 10.0


GAIN_OFFSET_DB = 50  # a gain byte on the wire is the level in dB plus 50


class Server:
    """sonaro-server --demo on a free loopback port. The demo unit logs every frame it receives
    (one JSON object a line) and takes commands on standard input."""

    def __init__(self, program, folder):
        self.log = os.path.join(folder, "unit-frames.log")
        self.process = subprocess.Popen(
            [program, "--demo", "--listen", "127.0.0.1:0", "--demo-unit-log", self.log,
             "--demo-commands"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True, bufsize=1)
        self.url = None
        self.read = 0
        deadline = time.monotonic() + TIMEOUT
        while self.url is None and time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if not line:
                break
            if "listening on " in line:
                self.url = line.split("listening on ", 1)[1].strip().rstrip("/")
        if self.url is None:
            self.stop()
            raise RuntimeError("the server did not start: " + self.process.stderr.read())
        # The server's messages are read all along, so that its pipes never fill up.
        for stream in (self.process.stdout, self.process.stderr):
            threading.Thread(target=lambda s=stream: [None for _ in s], daemon=True).start()

    def frames(self, kind):
        """Frames of kind the unit received since the last call, as their comma fields."""
        found = []
        with open(self.log, encoding="utf-8") as f:
            f.seek(self.read)
            for line in f:
                if not line.endswith("\n"):
                    break
                self.read += len(line.encode("utf-8"))
                frame = json.loads(line)["frame"]
                if frame[1:2] == kind:
                    found.append(frame.strip("%#").split(","))
        return found

    def wait_v_gain(self, channel, db, output=False, timeout=TIMEOUT):
        """A V frame with this input's (or output's) gain reached the unit within the time."""
        def gain(fields):
            group = fields[3] if output else fields[2]
            return int(group[2 * (channel - 1):2 * channel], 16) - GAIN_OFFSET_DB
        return wait(lambda: any(gain(f) == db for f in self.frames("V")), timeout)

    def command(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def lose(self, kind, count):
        self.command("drop %s %d" % (kind, count))

    def front_panel(self, key, value):
        self.command("panel %s %s" % (key, json.dumps(value)))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()


def browser(profile, width=1280, height=900, ratio=1, mobile=False):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-default-apps", "--disable-extensions", "--no-proxy-server",
                 "--user-data-dir=" + profile, "--window-size=%d,%d" % (width, height)):
        options.add_argument(flag)
    if mobile:
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": width, "height": height, "pixelRatio": ratio, "touch": True}})
    elif ratio != 1:
        options.add_argument("--force-device-scale-factor=%g" % ratio)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.set_page_load_timeout(TIMEOUT)
    return driver


def wait(condition, timeout=TIMEOUT, step=0.02):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


def log_in(driver, url, language=None):
    driver.get(url + "/login")
    if language:
        driver.execute_script("localStorage.setItem('sonaro.language', arguments[0])", language)
        driver.get(url + "/login")
    driver.find_element(By.ID, "user").send_keys("demo")
    driver.find_element(By.ID, "password").send_keys("demo")
    driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
    return wait(lambda: driver.find_elements(By.CSS_SELECTOR, ".strip .fader[aria-valuenow]"))


def fader(driver, key):
    return driver.find_element(By.CSS_SELECTOR, '.fader[data-key="%s"]' % key)


class Checks:
    def __init__(self):
        self.failures = []

        self.passed = 0

    def expect(self, condition, what):
        print(("ok      " if condition else "FAILED  ") + what)
        if condition:
            self.passed += 1
        else:
            self.failures.append(what)


def run_checks(server, profile, figures):
    checks = Checks()
    driver = browser(profile)
    try:
        checks.expect(log_in(driver, server.url), "the page loads and the login opens the strips")
        first_meter = wait(lambda: driver.execute_script("return Number(document.body.dataset.levels || 0)") > 0)
        checks.expect(first_meter, "the meters move")

        # A fader by pointer: from its cap down to near the bottom of its track.
        server.frames("V")
        f1 = fader(driver, "input.1.gain")
        before = int(f1.get_attribute("aria-valuenow"))
        cap = f1.find_element(By.CLASS_NAME, "cap")
        ActionChains(driver).click_and_hold(cap).move_by_offset(0, 40).move_by_offset(0, 40).release().perform()
        after = int(f1.get_attribute("aria-valuenow"))
        checks.expect(after < before, "the pointer moves input 1's fader down (%d -> %d dB)" % (before, after))
        checks.expect(server.wait_v_gain(1, after),
                      "the unit gets a V frame with input 1 at %d dB" % after)

        # A fader by keyboard.
        f2 = fader(driver, "input.2.gain")
        start = int(f2.get_attribute("aria-valuenow"))
        f2.send_keys(Keys.ARROW_UP, Keys.ARROW_UP, Keys.ARROW_UP)
        checks.expect(server.wait_v_gain(2, start + 3),
                      "three arrow keys raise input 2 to %d dB in a V frame at the unit" % (start + 3))
        checks.expect(f2.get_attribute("aria-valuetext") == "%d dB" % (start + 3),
                      "the fader tells its value to assistive technology")

        # Typed entry in the read-out.
        readout = driver.find_element(By.CSS_SELECTOR, '.readout[data-key="output.1.gain"]')
        readout.click()
        readout.send_keys(Keys.CONTROL, "a")
        readout.send_keys("-7", Keys.ENTER)
        checks.expect(server.wait_v_gain(1, -7, output=True),
                      "a typed -7 in output 1's read-out reaches the unit in a V frame")

        # A front-panel change appears.
        sent = time.monotonic()
        server.front_panel("input.3.gain", -20)
        shown = wait(lambda: fader(driver, "input.3.gain").get_attribute("aria-valuenow") == "-20")
        checks.expect(shown, "a front-panel change of input 3 shows on the page (%.0f ms)"
                      % ((time.monotonic() - sent) * 1000))

        # The unit confirmed everything (V by reading the state back): nothing stays pending.
        checks.expect(wait(lambda: not driver.find_elements(By.CSS_SELECTOR, ".pending")),
                      "no control stays pending once the unit confirmed")

        # A switch whose frames never reach the unit is shown as not confirmed.
        server.lose("M", 1000)
        phantom = driver.find_element(By.CSS_SELECTOR, '.toggle[data-key="input.4.phantom"]')
        phantom.click()
        checks.expect(wait(lambda: "failed" in (phantom.get_attribute("class") or ""), 15),
                      "a phantom switch the unit never got is marked on its button")
        toasts = driver.find_element(By.ID, "toasts").text
        checks.expect("not confirmed" in toasts.lower(), "and named in a message (%r)" % toasts)
        server.lose("M", 0)

        errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        checks.expect(not errors, "the console shows no errors %s" % errors)
        if figures:
            # Measured by the page from the start of its own navigation, after the login.
            first = driver.execute_script("return Number(document.body.dataset.firstMeterMs)")
            print("web page first meter update: %.0f ms after the page's navigation" % first)
            print("web page transferred: %.1f KB" % (transferred(driver, server.url) / 1024))
    finally:
        driver.quit()
    return checks


def transferred(driver, url):
    """Bytes the browser received from the server for the login and the page (the performance
    log's encoded lengths; the browser's own pages are not counted)."""
    urls = {}
    total = 0
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        params = message.get("params", {})
        if message.get("method") == "Network.responseReceived":
            urls[params["requestId"]] = params["response"]["url"]
        elif message.get("method") == "Network.loadingFinished":
            if urls.get(params["requestId"], "").startswith(url):
                total += params.get("encodedDataLength", 0)
    return total


def screenshots(server, folder, profile_root, all_views):
    os.makedirs(folder, exist_ok=True)
    sizes = [("tablet", 1024, 768, 2), ("phone", 390, 844, 3)]
    for language in ("en", "zh"):
        for name, width, height, ratio in sizes:
            profile = tempfile.mkdtemp(dir=profile_root)
            driver = browser(profile, width, height, ratio, mobile=True)
            try:
                log_in(driver, server.url, language)
                wait(lambda: driver.execute_script("return Number(document.body.dataset.levels || 0)") > 3)
                time.sleep(0.3)
                views = ["channels"] + (["matrix", "automix", "eq", "presets"] if all_views else [])
                for view in views:
                    if view != "channels":
                        driver.find_element(By.ID, "tab-" + view).click()
                        time.sleep(0.4)
                    path = os.path.join(folder, "screenshot-web-%s-%s%s.png" % (
                        name, language, "" if view == "channels" else "-" + view))
                    driver.save_screenshot(path)
                    print("saved " + path)
            finally:
                driver.quit()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("--figures", action="store_true")
    parser.add_argument("--all-views", action="store_true",
                        help="with --screenshots: every tab, not only the strips")
    args = parser.parse_args()
    os.environ["no_proxy"] = "*"
    profile_root = tempfile.mkdtemp(prefix="sonaro-browser-")
    server = Server(args.server, profile_root)
    try:
        if args.screenshots:
            screenshots(server, args.screenshots, profile_root, args.all_views)
            return 0
        checks = run_checks(server, os.path.join(profile_root, "profile"), args.figures)
        print("%d passed, %d failed" % (checks.passed, len(checks.failures)))
        return 1 if checks.failures else 0
    finally:
        server.stop()
        shutil.rmtree(profile_root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
