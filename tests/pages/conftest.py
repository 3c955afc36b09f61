"""The results pages in a real headless Chromium, over kavvix serve fed by the console
simulator on a pseudo-terminal. One service, one simulator and one browser serve every test.

KAVVIX_CLI names the kavvix tool; KAVVIX_SCREENSHOT_DIR, when set, is where the screenshots go.
"""
import base64
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import threading
import time
import urllib.error
import urllib.request

import pytest

KAVVIX = os.environ.get('KAVVIX_CLI', 'kavvix')
CHROMIUM = shutil.which('chromium')
CHROMEDRIVER = shutil.which('chromedriver')
MEET = 'RIV26'
EVENT = 'E12'
TOKEN = 'pool-side-secret'


def pytest_sessionstart(session):
    if not (CHROMIUM and CHROMEDRIVER):
        # Exit code 77 tells CTest the suite was skipped, not passed.
        pytest.exit('chromium and chromium-driver are not installed: the page tests are skipped', 77)


def wait_until(condition, timeout=10.0, interval=0.02):
    """The condition's first truthy value; fails after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f'timed out after {timeout} s waiting for {condition}')
        time.sleep(interval)


def http_request(url, method='GET', body=None, token=None):
    """(status, headers, body text) of one request; body as JSON, token as a bearer token."""
    data = None if body is None else json.dumps(body).encode()
    headers = {'Content-Type': 'application/json'}
    if token:
        headers['Authorization'] = f'Bearer {token}'
    request = urllib.request.Request(url, data=data, method=method, headers=headers)
    try:
        with urllib.request.urlopen(request, timeout=10) as reply:
            return reply.status, reply.headers, reply.read().decode('utf-8')
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read().decode('utf-8')


class Lines:
    """Collects the lines a child process writes to one of its pipes."""

    def __init__(self, stream):
        self.lines = []
        self._lock = threading.Lock()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            with self._lock:
                self.lines.append(line.rstrip('\n'))

    def snapshot(self):
        with self._lock:
            return list(self.lines)

    def count(self, text):
        return sum(text in line for line in self.snapshot())

    def wait_for(self, text, count=1, timeout=10.0):
        wait_until(lambda: self.count(text) >= count, timeout)


class Simulator:
    """kavvix simulate --commands: judged dives and answers at the test's command. The service
    opens it through a link, so that the console can be pulled (stopped) and plugged in again."""

    def __init__(self, link):
        self.link = link
        self.plug()

    def plug(self):
        self.process = subprocess.Popen([KAVVIX, 'simulate', '--port', '3', '--commands'],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.out = Lines(self.process.stdout)
        self.out.wait_for('Console simulator on ')
        device = re.search(r'on (\S+)', self.out.snapshot()[0]).group(1)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(device, self.link)

    def command(self, **command):
        self.process.stdin.write(json.dumps(command) + '\n')
        self.process.stdin.flush()

    def dive(self, round, order, total, dive_total, number='105', position='B', dd=2.4,
             awards=(6.5, 7.0, 7.0, 6.5, 7.5, 7.0, 6.5), failed=' ', balked=' '):
        """Sends a judged dive and waits until the simulator has sent it."""
        fields = {'EventNumberN': 12, 'EventNumberA': 'A', 'DiveRound': round,
                  'DivingOrder': order, 'DiveNumber': number, 'DivePos': position, 'DiveDD': dd,
                  'DiveTotal': dive_total, 'TotalScore': total, 'BoardLevel': '1M',
                  'FAILflag': failed, 'BALKflag': balked}
        fields.update({f'J{i}Score': (tuple(awards) + (0,) * 9)[i - 1] for i in range(1, 10)})
        sent = self.out.count('sent judged dive')
        self.command(dive=fields)
        self.out.wait_for('sent judged dive', sent + 1)

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        self.process.wait(10)


class Service:
    """kavvix serve on a fixed port, so that a restarted one is where the pages look for it; with a
    token, as off the loopback address."""

    def __init__(self, database, device, journal):
        with socket.socket() as probe:
            probe.bind(('127.0.0.1', 0))
            self.port = probe.getsockname()[1]
        self.arguments = [KAVVIX, 'serve', '--db', database, '--meet', MEET, '--event', EVENT,
                          '--device', device, '--journal', journal, '--token', TOKEN,
                          '--listen', f'127.0.0.1:{self.port}']
        self.url = f'http://127.0.0.1:{self.port}'
        self.process = None
        self.log = None

    def start(self):
        self.process = subprocess.Popen(self.arguments, stderr=subprocess.PIPE, text=True)
        self.log = Lines(self.process.stderr)
        self.log.wait_for('serving meet')

    def stop(self):
        self.process.terminate()
        assert self.process.wait(10) == 0

    def request(self, method, path, body=None, token=TOKEN):
        """(status, headers, body text) of a request, with the token unless told otherwise."""
        return http_request(self.url + path, method, body, token)

    def json(self, path):
        status, _, text = self.request('GET', path)
        assert status == 200, text
        return json.loads(text)

    def api_requests(self):
        """How many API requests the service has logged."""
        return self.log.count(' GET /api/')


@pytest.fixture(scope='session')
def database(tmp_path_factory):
    path = str(tmp_path_factory.mktemp('meet') / 'meet.sqlite')
    subprocess.run([KAVVIX, 'sample-db', path], check=True, capture_output=True)
    return path


@pytest.fixture(scope='session')
def simulator(tmp_path_factory):
    simulator = Simulator(str(tmp_path_factory.mktemp('line') / 'console'))
    yield simulator
    simulator.stop()


@pytest.fixture(scope='session')
def service(database, simulator, tmp_path_factory):
    service = Service(database, simulator.link,
                      str(tmp_path_factory.mktemp('journal') / 'journal'))
    service.start()
    yield service
    service.stop()


@pytest.fixture(scope='session')
def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service as DriverService

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--hide-scrollbars',
                     '--disable-dev-shm-usage', '--window-size=1920,1080'):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=DriverService(CHROMEDRIVER), options=options)
    driver.set_script_timeout(10)
    yield driver
    driver.quit()


def viewport(driver, width, height, scale=1):
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
        'width': width, 'height': height, 'deviceScaleFactor': scale, 'mobile': width < 700})


def save_doc(name, data):
    """Writes docs/NAME when KAVVIX_SCREENSHOT_DIR says where."""
    folder = os.environ.get('KAVVIX_SCREENSHOT_DIR')
    if folder:
        with open(os.path.join(folder, name), 'wb') as file:
            file.write(data)


def screenshot(driver, name, scale=1.0):
    """Saves the viewport as docs/NAME.png when KAVVIX_SCREENSHOT_DIR says where."""
    if os.environ.get('KAVVIX_SCREENSHOT_DIR'):
        width, height = driver.execute_script('return [innerWidth, innerHeight]')
        shot = driver.execute_cdp_cmd('Page.captureScreenshot', {'format': 'png', 'clip': {
            'x': 0, 'y': 0, 'width': width, 'height': height, 'scale': scale}})
        save_doc(f'{name}.png', base64.b64decode(shot['data']))


def add_event(database, event_id, name, divers, rounds, first_reg_id):
    """A meet event of many named divers, each with the same dive in every round."""
    with sqlite3.connect(database) as db:
        db.execute('INSERT INTO tblEventInfo (MeetID, EventID, EventName) VALUES (?, ?, ?)',
                   (MEET, event_id, name))
        for d in range(divers):
            reg_id = first_reg_id + d
            db.execute('INSERT INTO kavvix_divers VALUES (?, ?, ?, ?)',
                       (MEET, reg_id, f'{FIRST[d % len(FIRST)]} {LAST[d // len(FIRST) % len(LAST)]}',
                        TEAMS[d % len(TEAMS)]))
            for r in range(1, rounds + 1):
                db.execute('INSERT INTO tblDiveSheets VALUES (?, ?, ?, ?, ?, ?, ?)',
                           (MEET, event_id, reg_id, d + 1, r, '105B', 2.4))


FIRST = ['Ana', 'Ben', 'Cleo', 'Dario', 'Elif', 'Finn', 'Greta', 'Hugo', 'Ines', 'Jonas']
LAST = ['Almeida-Krüger', 'Bergström', 'Castellanos', 'Dubrovnik-Ward']
TEAMS = ['Riverside DC', 'Lakeside Aquatics', 'Northgate Divers', 'Harbour City DC']


def query(database, sql, *values):
    """The first row a query of the meet finds."""
    with sqlite3.connect(database) as db:
        return db.execute(sql, (MEET, *values)).fetchone()


def sheet_dive(database, order, round):
    """The planned dive of a diving order and round in the dive sheets: (number, DD)."""
    return query(database, 'SELECT DiveNum, DiveDD FROM tblDiveSheets WHERE MeetID = ? AND '
                 'EventID = ? AND DivingOrder = ? AND DiveRound = ?', EVENT, order, round)


def diver(database, reg_id):
    """(name, team) of a diver in kavvix_divers."""
    return query(database, 'SELECT DiverName, Team FROM kavvix_divers WHERE MeetID = ? AND '
                 'RegID = ?', reg_id)
