"""The results pages in a real headless Chromium, over kavvix serve fed by the console
simulator on a pseudo-terminal. One service, one simulator and one browser serve every test.
The package tests import http_request, Lines, Simulator and wait_until from here.

KAVVIX_CLI names the kavvix tool; KAVVIX_SCREENSHOT_DIR, when set, is where the screenshots go.
"""
import base64
import json
import os
import shutil
import socket
import sqlite3
import subprocess
import threading
import time
import urllib.request

import pytest

KAVVIX = os.environ.get('KAVVIX_CLI', 'kavvix')
CHROMIUM = shutil.which('chromium')
CHROMEDRIVER = shutil.which('chromedriver')
MEET = 'RIV26'
EVENT = 'E12'
TOKEN = 'pool-side-secret'
SHOTS = os.environ.get('KAVVIX_SCREENSHOT_DIR')


def pytest_sessionstart(session):
    if not (CHROMIUM and CHROMEDRIVER):
        # Exit code 77 tells CTest the suite was skipped, not passed.
        pytest.exit('chromium and chromium-driver are not installed: the page tests are skipped', 77)


def wait_until(condition, timeout=10.0):
    """The condition's first truthy value; fails after the timeout."""
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        assert time.monotonic() < deadline, f'timed out after {timeout} s waiting for {condition}'
        time.sleep(0.02)
    return value


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
    except urllib.request.HTTPError as error:
        return error.code, error.headers, error.read().decode('utf-8')


class Lines:
    """Collects the lines a child process writes to one of its pipes."""

    def __init__(self, stream):
        self.lines = []  # only ever appended to, which is atomic: no lock needed
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.append(line.rstrip('\n'))

    def snapshot(self):
        return list(self.lines)

    def count(self, text):
        return sum(text in line for line in self.lines)

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
        device = self.out.lines[0].split()[-1]
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(device, self.link)

    def command(self, **command):
        self.process.stdin.write(json.dumps(command) + '\n')
        self.process.stdin.flush()

    def dive(self, round, order, total, dive_total, number='105', position='B', dd=2.4,
             awards=(6.5, 7.0, 7.0, 6.5, 7.5, 7.0, 6.5), failed=' ', balked=' '):
        """Sends a judged dive and waits until the simulator has sent it."""
        fields = {'DiveRound': round, 'DivingOrder': order, 'DiveNumber': number,
                  'DivePos': position, 'DiveDD': dd, 'DiveTotal': dive_total, 'TotalScore': total,
                  'FAILflag': failed, 'BALKflag': balked}
        fields.update({f'J{i}Score': (tuple(awards) + (0,) * 9)[i - 1] for i in range(1, 10)})
        sent = self.out.count('sent judged dive')
        self.command(dive=fields)
        self.out.wait_for('sent judged dive', sent + 1)

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class Service:
    """kavvix serve on a fixed port, so that a restarted one is where the pages look for it; with a
    token, as off the loopback address."""

    def __init__(self, database, device, journal):
        self.database = database
        with socket.socket() as probe:
            probe.bind(('127.0.0.1', 0))
            self.port = probe.getsockname()[1]
        self.arguments = [KAVVIX, 'serve', '--db', database, '--meet', MEET, '--event', EVENT,
                          '--device', device, '--journal', journal, '--token', TOKEN,
                          '--listen', f'127.0.0.1:{self.port}']
        self.url = f'http://127.0.0.1:{self.port}'

    def start(self):
        self.process = subprocess.Popen(self.arguments, stderr=subprocess.PIPE, text=True)
        self.log = Lines(self.process.stderr)
        self.log.wait_for('serving meet')

    def stop(self):
        self.process.terminate()
        assert self.process.wait(10) == 0

    def request(self, method, path, body=None):
        return http_request(self.url + path, method, body, TOKEN)


@pytest.fixture(scope='session')
def simulator(tmp_path_factory):
    simulator = Simulator(str(tmp_path_factory.mktemp('line') / 'console'))
    yield simulator
    simulator.stop()


@pytest.fixture(scope='session')
def service(simulator, tmp_path_factory):
    """The service over the sample meet, whose file is service.database."""
    folder = tmp_path_factory.mktemp('meet')
    subprocess.run([KAVVIX, 'sample-db', folder / 'meet.sqlite'], check=True, capture_output=True)
    service = Service(str(folder / 'meet.sqlite'), simulator.link, str(folder / 'journal'))
    service.start()
    yield service
    service.stop()


@pytest.fixture(scope='session')
def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service as DriverService

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    options.arguments.extend(['--headless=new', '--no-sandbox', '--disable-gpu',
                              '--hide-scrollbars', '--disable-dev-shm-usage',
                              '--window-size=1920,1080'])
    driver = webdriver.Chrome(service=DriverService(CHROMEDRIVER), options=options)
    driver.set_script_timeout(10)
    yield driver
    driver.quit()


def viewport(driver, width, height, scale=1):
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
        'width': width, 'height': height, 'deviceScaleFactor': scale, 'mobile': width < 700})


def save_doc(name, data):
    """Writes NAME into KAVVIX_SCREENSHOT_DIR when it is set."""
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        with open(os.path.join(SHOTS, name), 'wb') as file:
            file.write(data)


def screenshot(driver, name, scale=1.0):
    """Saves the viewport as NAME.png into KAVVIX_SCREENSHOT_DIR when it is set."""
    if SHOTS:
        width, height = driver.execute_script('return [innerWidth, innerHeight]')
        shot = driver.execute_cdp_cmd('Page.captureScreenshot', {'format': 'png', 'clip': {
            'x': 0, 'y': 0, 'width': width, 'height': height, 'scale': scale}})
        save_doc(f'{name}.png', base64.b64decode(shot['data']))


def add_forty_divers(database):
    """E40: forty named divers in three rounds, each with the same dive in every round."""
    first = ['Ana', 'Ben', 'Cleo', 'Dario', 'Elif', 'Finn', 'Greta', 'Hugo', 'Ines', 'Jonas']
    last = ['Almeida-Krüger', 'Bergström', 'Castellanos', 'Dubrovnik-Ward']
    teams = ['Riverside DC', 'Lakeside Aquatics', 'Northgate Divers', 'Harbour City DC']
    with sqlite3.connect(database) as db:
        db.execute('INSERT INTO tblEventInfo (MeetID, EventID, EventName) VALUES (?, ?, ?)',
                   (MEET, 'E40', '1m Springboard - Open'))
        db.executemany('INSERT INTO kavvix_divers VALUES (?, ?, ?, ?)', [
            (MEET, 4000 + d, f'{first[d % 10]} {last[d // 10]}', teams[d % 4]) for d in range(40)])
        db.executemany('INSERT INTO tblDiveSheets VALUES (?, ?, ?, ?, ?, ?, ?)', [
            (MEET, 'E40', 4000 + d, d + 1, r, '105B', 2.4) for d in range(40) for r in (1, 2, 3)])


def planned(database, order, round=1):
    """(dive, DD, name, team) of E12's diving order in a round, as the meet database plans it."""
    with sqlite3.connect(database) as db:
        return db.execute(
            'SELECT DiveNum, DiveDD, DiverName, Team FROM tblDiveSheets JOIN kavvix_divers '
            'USING (MeetID, RegID) WHERE MeetID = ? AND EventID = ? AND DivingOrder = ? AND '
            'DiveRound = ?', (MEET, EVENT, order, round)).fetchone()
