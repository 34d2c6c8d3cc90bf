#!/usr/bin/env python3
"""The web page in a real browser: headless Chromium driven over WebDriver
against `plenvo --headless --web` and plenvo-sim. Two pages at phone size;
a press and a slider drag reach the unit as their frames and the other page;
the unit's own front panel shows on the page; a choice the unit does not
answer shows as not taken; the page comes back by itself after the program
restarts; a new token shuts the old one out; a page that reads nothing
holds up neither the others nor the control door. Around it, what is refused:
no token (401), a foreign Host or Origin (403), a non-GET (405), and an
HTTP request on --listen (closed, nothing sent).

Usage: web_test.py BIN_DIR   (the folder holding plenvo, plenvo-ctl and plenvo-sim)
"""

import importlib.util
import os
import sys

DEBIAN_PYTHON = "/usr/bin/python3"
# Selenium is Debian's (python3-selenium), with Debian's own interpreter,
# which may not be the one running the tests.
if importlib.util.find_spec("selenium") is None and sys.executable != DEBIAN_PYTHON and os.path.exists(DEBIAN_PYTHON):
    os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, *sys.argv])

import http.client  # noqa: E402
import json  # noqa: E402
import socket  # noqa: E402
import subprocess  # noqa: E402
import time  # noqa: E402
import urllib.parse  # noqa: E402

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

import harness  # noqa: E402
from harness import CheckFailed, expect, wait_for  # noqa: E402

LIMIT_S = 80
# The page shows a change within 0.3 s of the unit's report; the rest is
# the browser's and the simulated unit's own time on loaded cores.
SHOW_S = 3
PAGE_LIMIT_BYTES = 100 * 1024


class Program:
    """plenvo --headless serving the page on every address and the control
    protocol on loopback."""

    def __init__(self, session, sim):
        self.session, self.sim = session, sim
        self.folder = session.install_panel(b"1200\r\n3000\r\n1\r\n")
        self.web_port, self.listen_port = harness.free_port(), harness.free_port()
        self.starts = 0
        self.start()

    def start(self):
        self.starts += 1
        env = {k: v for k, v in self.session.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.process = harness.Process(
            [os.path.join(self.folder, "plenvo"), "--headless", "--com1", self.sim.link, "--web",
             f"0.0.0.0:{self.web_port}", "--listen", str(self.listen_port)],
            self.session.folder, f"plenvo-{self.starts}", env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        wait_for(lambda: harness.listening(self.listen_port) or not self.process.running(), harness.START_TIMEOUT_S,
                 "the program listening")
        expect(self.process.running(), f"plenvo ended: {self.process.stderr_text()[-800:]}")

    def link(self, *options):
        result = self.session.ctl("web-url", *options, folder=self.folder)
        expect(result.returncode == 0, f"web-url ended with {result.returncode}: {result.stderr!r}")
        return result.stdout.strip().splitlines()[-1]

    def received(self, mark):
        return [line[3:] for line in self.sim.log_lines()[mark:] if line.startswith("RX ")]


def request(url, method="GET", headers=None, path=None):
    """Status and body of one request to the page's server."""
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=5)
    target = path if path is not None else parts.path + ("?" + parts.query if parts.query else "")
    connection.putrequest(method, target, skip_host=bool(headers and "Host" in headers))
    for name, value in (headers or {}).items():
        connection.putheader(name, value)
    connection.endheaders()
    response = connection.getresponse()
    return response.status, response.read()


def open_live(url, origin, receive_buffer=None):
    """A socket that has asked for the live feed at /live from `origin`."""
    parts = urllib.parse.urlsplit(url)
    client = socket.socket()
    if receive_buffer:
        client.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    client.settimeout(5)
    client.connect((parts.hostname, parts.port))
    client.sendall(f"GET /live?{parts.query} HTTP/1.1\r\nHost: {parts.netloc}\r\nUpgrade: websocket\r\n"
                   "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                   f"Sec-WebSocket-Version: 13\r\nOrigin: {origin}\r\n\r\n".encode())
    return client


def handshake_status(url, origin):
    """The status line a WebSocket handshake from `origin` gets."""
    with open_live(url, origin) as client:
        return client.recv(4096).split(b"\r\n", 1)[0].decode()


def refuses_what_is_not_for_it(program, link):
    parts = urllib.parse.urlsplit(link)
    bare = f"http://{parts.netloc}/"
    expect(request(bare)[0] == 401, "the page without the token")
    expect(request(link + "&x=1", headers={"Host": f"evil.example:{parts.port}"})[0] == 403, "a foreign Host")
    expect(request(link, method="POST")[0] == 405, "a POST")
    expect(handshake_status(link, "http://evil.example").endswith("403 Forbidden"), "a foreign Origin")
    expect(handshake_status(link, f"http://{parts.netloc}").endswith("101 Switching Protocols"), "its own origin")
    size = sum(len(request(link, path=p)[1]) for p in ("/?" + parts.query, "/app.js", "/app.css"))
    expect(0 < size < PAGE_LIMIT_BYTES, f"the page and its script weigh {size} bytes")

    mark = len(program.sim.log_lines())
    with socket.create_connection(("127.0.0.1", program.listen_port), timeout=5) as client:
        client.sendall(b"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n"
                       b"Content-Length: 15\r\n\r\nset output vga\n")
        expect(client.recv(4096) == b"", "--listen answered an HTTP request instead of closing")
    time.sleep(0.5)
    expect(program.received(mark) == [], f"the unit was sent {program.received(mark)}")


def browser(session):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=360,740",
                     f"--user-data-dir={session.folder}/chromium-{time.monotonic_ns()}"):
        options.add_argument(argument)
    service = Service(executable_path="/usr/bin/chromedriver", log_output=subprocess.DEVNULL) \
        if "log_output" in Service.__init__.__code__.co_varnames else Service(executable_path="/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    driver.set_window_size(360, 740)
    return driver


def connected(driver):
    return driver.find_element(By.ID, "link").text == "Connected"


def pressed(driver, name):
    return driver.find_element(By.ID, f"c-{name}").get_attribute("aria-pressed")


def value(driver, name):
    return driver.find_element(By.ID, f"c-{name}").get_attribute("value")


def checked_word(driver, name):
    boxes = driver.find_elements(By.CSS_SELECTOR, f"#c-{name} input[type=radio]")
    return next((box.get_attribute("value") for box in boxes if box.is_selected()), None)


def drives_the_unit_from_two_pages(program, link, pages):
    first, second = pages
    for page in pages:
        page.get(link)
        wait_for(lambda page=page: connected(page) and pressed(page, "power") == "true", SHOW_S * 2, "a live page")
    first.save_screenshot(os.path.join(program.session.folder, "web-phone.png"))
    expect(first.execute_script("return document.documentElement.scrollWidth") <= 360, "wider than a phone")
    labels = first.execute_script(
        "return [...document.querySelectorAll('button, input')].filter(e => !(e.labels && e.labels.length)"
        " && !e.textContent.trim()).length")
    expect(labels == 0, f"{labels} controls without a name")

    mark = len(program.sim.log_lines())
    slider = first.find_element(By.ID, "c-bright")
    ActionChains(first).click_and_hold(slider).move_by_offset(slider.size["width"] // 4, 0).release().perform()
    dragged = wait_for(lambda: next((rx for rx in program.received(mark) if rx.startswith("BR ")), None), SHOW_S,
                       "a BR frame")
    level = dragged.split()[1]
    wait_for(lambda: value(second, "bright") == level, SHOW_S, f"bright {level} on the second page")

    program.sim.tell("send CO 7")
    wait_for(lambda: value(first, "contrast") == "7" and value(second, "contrast") == "7", SHOW_S,
             "the front panel's contrast on both pages")

    before = checked_word(first, "output")
    program.sim.tell("mute on")
    program.sim.state()
    first.find_element(By.CSS_SELECTOR, "#c-output input[value='720p']").click()
    wait_for(lambda: "not taken" in first.find_element(By.ID, "refused").text, SHOW_S * 2, "the refusal shown")
    expect(checked_word(first, "output") == before, f"output shows {checked_word(first, 'output')}, not {before}")
    program.sim.tell("mute off")
    program.sim.state()

    mark = len(program.sim.log_lines())
    first.find_element(By.ID, "c-power").click()
    wait_for(lambda: "PW 0" in program.received(mark), SHOW_S, "PW 0 at the unit")
    wait_for(lambda: pressed(first, "power") == "false" and pressed(second, "power") == "false", SHOW_S,
             "power off on both pages")


def a_page_that_reads_nothing_holds_up_nobody(program, link, pages):
    # A phone gone to sleep keeps its connection but reads nothing: with a
    # tiny receive buffer its share piles up in the program, never in the
    # way of the other pages or the control door.
    parts = urllib.parse.urlsplit(link)
    with open_live(link, f"http://{parts.netloc}", receive_buffer=1024):
        for level in range(1, 31):
            program.sim.tell(f"send TI {level}")
        wait_for(lambda: value(pages[1], "tint") == "30", SHOW_S, "the last of 30 reports on the page that reads")
        status = program.session.ctl("status", "--json", folder=program.folder)
        expect(status.returncode == 0 and json.loads(status.stdout)["tint"] == 30, f"status: {status.stdout!r}")


def comes_back_after_a_restart_and_a_new_token_shuts_it_out(program, link, pages):
    first = pages[0]
    expect(program.process.terminate() == 0, "SIGTERM")
    wait_for(lambda: not connected(first), SHOW_S, "the page noticing")
    program.start()
    wait_for(lambda: connected(first), SHOW_S * 3, "the page reconnecting by itself")
    program.sim.tell("send SA 9")
    wait_for(lambda: value(first, "color") == "9", SHOW_S, "a report after reconnecting")

    new_link = program.link("--new")
    expect(new_link != link, "the token stayed the same")
    wait_for(lambda: not connected(first), SHOW_S, "the old token's page shut out")
    time.sleep(1)
    expect(not connected(first), "the old token got back in")
    expect(request(link)[0] == 401 and request(new_link)[0] == 200, "old and new token")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)

    harness.limit_whole_file(LIMIT_S)
    failures = 0
    with harness.Session(sys.argv[1]) as session:
        sim = session.start_sim()
        program = Program(session, sim)
        pages = []
        try:
            link = program.link()
            pages = [browser(session), browser(session)]
            for check in (refuses_what_is_not_for_it, drives_the_unit_from_two_pages,
                          a_page_that_reads_nothing_holds_up_nobody, comes_back_after_a_restart_and_a_new_token_shuts_it_out):
                try:
                    check(program, link, *([pages] if check is not refuses_what_is_not_for_it else []))
                    print(f"ok   {check.__name__}", flush=True)
                except CheckFailed as failure:
                    failures += 1
                    print(f"FAIL {check.__name__}: {failure}", flush=True)
        finally:
            for page in pages:
                page.quit()
            program.process.stop()
        expect(not program.process.sanitizer_reports(), "sanitizer report")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
