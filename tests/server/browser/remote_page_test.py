#!/usr/bin/python3
"""The web remote in Debian's Chromium, headless, against sonaro-server --demo (its core logged in
to an embedded virtual unit), at tablet and at phone size:

    remote_page_test.py --server PROGRAM [--screenshots DIR [--all-views]] [--figures]

A fader moved by pointer, one by keyboard and a typed read-out reach the unit (read from the V
frames it logs); a front-panel change appears and nothing stays pending; a switch the unit never
got is marked; the console shows no errors. --screenshots saves the page in both languages
instead; --figures also prints its size and first meter update. All on 127.0.0.0/8, with a fresh
profile and none of the browser's background traffic."""

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

TIMEOUT = 10.0
GAIN_OFFSET_DB = 50  # a gain byte on the wire is the level in dB plus 50
SIZES = [("tablet", 1024, 768, 2), ("phone", 390, 844, 3)]


def wait(condition, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while not (value := condition()) and time.monotonic() < deadline:
        time.sleep(0.02)
    return value


class Server:
    """sonaro-server --demo on a free loopback port. The demo unit logs every frame it receives
    (one JSON object a line) and takes commands on standard input."""

    def __init__(self, program, folder):
        self.log = os.path.join(folder, "unit-frames.log")
        self.process = subprocess.Popen(
            [program, "--demo", "--listen", "127.0.0.1:0", "--demo-unit-log", self.log,
             "--demo-commands"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True, bufsize=1)
        self.url = next((line.split("listening on ", 1)[1].strip().rstrip("/") for line in
                         iter(self.process.stdout.readline, "") if "listening on " in line), None)
        if self.url is None:
            raise RuntimeError("the server did not start: " + self.process.stderr.read())
        # The server's messages are read all along, so that its pipes never fill up.
        for stream in (self.process.stdout, self.process.stderr):
            threading.Thread(target=lambda s=stream: [None for _ in s], daemon=True).start()

    def v_gain_after(self, action, channel, db, output=False):
        """After action, a V frame with this input's (or output's) gain (db(), read once action
        ran, when callable) reaches the unit."""
        start = os.path.getsize(self.log) if os.path.exists(self.log) else 0
        action()
        db = db() if callable(db) else db

        def seen():
            with open(self.log, "rb") as f:
                f.seek(start)
                lines = f.read().decode("utf-8").split("\n")[:-1]  # the last one is unfinished
            frames = [json.loads(line)["frame"] for line in lines]
            groups = [v.strip("%#").split(",")[3 if output else 2] for v in frames if v[1:2] == "V"]
            at = slice(2 * channel - 2, 2 * channel)
            return any(int(g[at], 16) - GAIN_OFFSET_DB == db for g in groups)
        return wait(seen)

    def command(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()


def browser(profile, width, height, ratio):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-default-apps", "--disable-extensions", "--no-proxy-server",
                 "--user-data-dir=" + profile, "--window-size=%d,%d" % (width, height)):
        options.add_argument(flag)
    options.add_experimental_option("mobileEmulation", {
        "deviceMetrics": {"width": width, "height": height, "pixelRatio": ratio, "touch": True}})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                              options=options)
    driver.set_page_load_timeout(TIMEOUT)
    return driver


def log_in(driver, url, language=None):
    driver.get(url + "/login")
    if language:
        driver.execute_script("localStorage.setItem('sonaro.language', arguments[0])", language)
        driver.get(url + "/login")
    driver.find_element(By.ID, "user").send_keys("demo")
    driver.find_element(By.ID, "password").send_keys("demo")
    driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
    return wait(lambda: driver.find_elements(By.CSS_SELECTOR, ".strip .fader[aria-valuenow]"))


def meters(driver):
    return driver.execute_script("return Number(document.body.dataset.levels || 0)")


def flow(server, driver, run, expect):
    """One pass over the page; run (0, 1, ...) picks values that differ from the last pass."""
    expect(log_in(driver, server.url), "the login opens the strips")
    expect(wait(lambda: meters(driver) > 0), "the meters move")
    fader = lambda key: driver.find_element(By.CSS_SELECTOR, '.fader[data-key="%s"]' % key)
    value = lambda key: int(fader(key).get_attribute("aria-valuenow"))

    before = value("input.1.gain")
    drag = ActionChains(driver).click_and_hold(fader("input.1.gain").find_element(
        By.CLASS_NAME, "cap")).move_by_offset(0, 40).move_by_offset(0, 40).release()
    expect(server.v_gain_after(drag.perform, 1, lambda: value("input.1.gain")) and
           value("input.1.gain") < before, "the pointer moves input 1 down and the unit gets it")

    f2, start = fader("input.2.gain"), value("input.2.gain")
    expect(server.v_gain_after(lambda: f2.send_keys(*[Keys.ARROW_UP] * 3), 2, start + 3),
           "three arrow keys raise input 2 at the unit")
    expect(f2.get_attribute("aria-valuetext") == "%d dB" % (start + 3),
           "the fader tells its value to assistive technology")

    typed = -7 - run
    readout = driver.find_element(By.CSS_SELECTOR, '.readout[data-key="output.1.gain"]')
    readout.click()
    readout.send_keys(Keys.CONTROL, "a")
    expect(server.v_gain_after(lambda: readout.send_keys(str(typed), Keys.ENTER), 1, typed, True),
           "a typed %d reaches output 1" % typed)

    panel = -20 - run
    server.command("panel input.3.gain %d" % panel)
    expect(wait(lambda: fader("input.3.gain").get_attribute("aria-valuenow") == str(panel)),
           "a front-panel change of input 3 shows on the page")
    expect(wait(lambda: not driver.find_elements(By.CSS_SELECTOR, ".pending")),
           "no control stays pending once the unit confirmed")

    server.command("drop M 1000")
    phantom = driver.find_element(By.CSS_SELECTOR, '.toggle[data-key="input.4.phantom"]')
    phantom.click()
    expect(wait(lambda: "failed" in (phantom.get_attribute("class") or ""), 15) and
           "not confirmed" in driver.find_element(By.ID, "toasts").text.lower(),
           "a phantom switch the unit never got is marked on its button and named in a message")
    server.command("drop M 0")

    errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    expect(not errors, "the console shows no errors %s" % errors)


def figures(driver, url):
    """The page's first meter update, measured by the page from its own navigation, and the bytes
    the browser received from the server (the performance log's encoded lengths)."""
    first = driver.execute_script("return Number(document.body.dataset.firstMeterMs)")
    print("web page first meter update: %.0f ms after the page's navigation" % first)
    urls, total = {}, 0
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        params = message.get("params", {})
        if message.get("method") == "Network.responseReceived":
            urls[params["requestId"]] = params["response"]["url"]
        elif message.get("method") == "Network.loadingFinished" and \
                urls.get(params["requestId"], "").startswith(url):
            total += params.get("encodedDataLength", 0)
    print("web page transferred: %.1f KB" % (total / 1024))


def screenshots(driver, url, args, name, language):
    os.makedirs(args.screenshots, exist_ok=True)
    log_in(driver, url, language)
    wait(lambda: meters(driver) > 3)
    for view in ["channels"] + (["matrix", "automix", "eq", "presets"] if args.all_views else []):
        if view != "channels":
            driver.find_element(By.ID, "tab-" + view).click()
            time.sleep(0.4)  # the tab's own transition, for the picture only
        path = os.path.join(args.screenshots, "screenshot-web-%s-%s%s.png" % (
            name, language, "" if view == "channels" else "-" + view))
        driver.save_screenshot(path)
        print("saved " + path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("--all-views", action="store_true", help="every tab in the screenshots")
    parser.add_argument("--figures", action="store_true")
    args = parser.parse_args()
    os.environ["no_proxy"] = "*"
    root = tempfile.mkdtemp(prefix="sonaro-browser-")
    server = Server(args.server, root)
    results = []

    def expect(condition, what):
        print(("ok      " if condition else "FAILED  ") + what)
        results.append(bool(condition))

    try:
        languages = ("en", "zh") if args.screenshots else (None,)
        for run, (name, width, height, ratio) in enumerate(SIZES):
            for language in languages:
                driver = browser(tempfile.mkdtemp(dir=root), width, height, ratio)
                try:
                    if args.screenshots:
                        screenshots(driver, server.url, args, name, language)
                        continue
                    print("-- %s (%dx%d)" % (name, width, height))
                    flow(server, driver, run, expect)
                    if args.figures and run == 0:
                        figures(driver, server.url)
                finally:
                    driver.quit()
        if results:
            print("%d passed, %d failed" % (results.count(True), results.count(False)))
        return 0 if all(results) else 1
    finally:
        server.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
