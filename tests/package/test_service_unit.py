"""The systemd unit's command line, run as the unit runs it but with a configuration file and a
token file of the test's own and a notification socket in systemd's place: readiness and the
watchdog, health and metrics over HTTP, the token read from its file and the log reopened on
SIGHUP, and health turning to 503 when the console's device goes away.

KAVVIX_CLI names the kavvix tool, KAVVIX_UNIT the unit file (the installed ones in CI).
"""
import json
import os
import re
import shlex
import signal
import socket
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'pages'))
from conftest import Simulator, http_request, wait_until  # noqa: E402  (the pages' helpers)

KAVVIX = os.environ.get('KAVVIX_CLI', 'kavvix')
UNIT = os.environ['KAVVIX_UNIT']


def unit_command():
    """ExecStart of the unit, split as systemd splits it."""
    with open(UNIT) as unit:
        line = next(line for line in unit if line.startswith('ExecStart='))
    return shlex.split(line.removeprefix('ExecStart=').strip())


def request(url, method='GET', token=None, body=None):
    """(status, body text) of one request."""
    status, _, text = http_request(url, method, body, token)
    return status, text


class LogFile:
    """The service's log file, and the one a log rotator moved away before it."""

    def __init__(self, path):
        self.path = path
        self.moved = path.with_suffix('.log.1')

    def text(self):
        return ''.join(path.read_text() for path in (self.moved, self.path) if path.exists())

    def count(self, text):
        return self.text().count(text)

    def wait_for(self, text, count=1):
        wait_until(lambda: self.count(text) >= count)

    def rotate(self):
        self.path.rename(self.moved)


def received(notifications, until=None):
    """The notifications that have arrived, up to the first that holds until."""
    messages = []
    try:
        notifications.settimeout(10 if until else 0)
        while True:
            messages.append(notifications.recv(4096).decode())
            if until and until in messages[-1]:
                return messages
    except (BlockingIOError, socket.timeout):
        return messages


def metric(text, name):
    found = re.search(r'^' + re.escape(name) + r' (\S+)$', text, re.MULTILINE)
    assert found, f'{name} is not in /metrics'
    return float(found.group(1))


@pytest.fixture(scope='module')
def served(tmp_path_factory):
    folder = tmp_path_factory.mktemp('unit')
    database = str(folder / 'meet.sqlite')
    subprocess.run([KAVVIX, 'sample-db', database], check=True, capture_output=True)
    # A stable name of the kind udev makes under /dev/serial/by-id.
    by_id = folder / 'usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0'
    simulator = Simulator(str(by_id))
    token_file = folder / 'token'
    token_file.write_text('first-secret\n')
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        port = probe.getsockname()[1]
    config = folder / 'kavvix.conf'
    config.write_text(f'# as an administrator writes it\n'
                      f'database = {database}\nmeet = RIV26\nevent = E12\n'
                      f'device = {by_id}\nlisten = 127.0.0.1:{port}\n'
                      f'token-file = {token_file}\nlog = {folder / "serve.log"}\n')

    # What systemd gives a Type=notify service with WatchdogSec=.
    notifications = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    notifications.bind(str(folder / 'notify'))
    environment = dict(os.environ, NOTIFY_SOCKET=str(folder / 'notify'), WATCHDOG_USEC='400000')

    command = unit_command()
    assert command[1:3] == ['serve', '--config'] and '--token' not in command
    command[0] = KAVVIX
    command[command.index('--config') + 1] = str(config)
    process = subprocess.Popen(command, env=environment)
    log = LogFile(folder / 'serve.log')
    log.wait_for('serving meet')
    wait_until(lambda: log.count('console: line open') or
               request(f'http://127.0.0.1:{port}/healthz')[0] == 200)
    yield {'url': f'http://127.0.0.1:{port}', 'process': process, 'log': log,
           'simulator': simulator, 'token_file': token_file, 'notifications': notifications}
    process.send_signal(signal.SIGTERM)
    assert process.wait(10) == 0
    assert 'STOPPING=1' in received(notifications)
    if simulator.process.poll() is None:
        simulator.stop()


def test_ready_then_watchdog_pings_from_the_running_loop(served):
    messages = received(served['notifications'], until='WATCHDOG=1')
    assert messages[0].startswith('READY=1\nSTATUS=serving meet RIV26'), messages
    # Half the watchdog interval apart: several in a second.
    time.sleep(1)
    assert received(served['notifications']).count('WATCHDOG=1') >= 3


def test_healthy_with_console_database_and_journal(served):
    status, body = request(served['url'] + '/healthz')
    assert status == 200, body
    assert json.loads(body) == {'console': 'ok', 'database': 'ok', 'journal': 'ok'}


def test_token_comes_from_the_token_file_and_again_on_sighup(served):
    change = served['url'] + '/api/current-event'
    assert request(change, 'PUT', body={'eventId': 'E12'})[0] == 401
    assert request(change, 'PUT', 'first-secret', {'eventId': 'E12'})[0] == 200

    served['token_file'].write_text('second-secret\n')
    served['log'].rotate()
    served['process'].send_signal(signal.SIGHUP)
    served['log'].wait_for('reload: configuration read again')
    assert 'reload: configuration read again' in served['log'].path.read_text()
    assert 'RELOADING=1' in received(served['notifications'], until='READY=1')
    assert request(change, 'PUT', 'first-secret', {'eventId': 'E12'})[0] == 401
    assert request(change, 'PUT', 'second-secret', {'eventId': 'E12'})[0] == 200
    assert served['process'].poll() is None


def test_metrics_move_when_a_dive_arrives(served):
    before = request(served['url'] + '/metrics')[1]
    served['simulator'].dive(round=1, order=3, total=50.4, dive_total=50.4)
    served['log'].wait_for('round 1 order 3: stored')
    status, after = request(served['url'] + '/metrics')
    assert status == 200
    for name in ('kavvix_dives_stored_total', 'kavvix_dives_announced_total',
                 'kavvix_announce_latency_seconds_count',
                 'kavvix_announce_latency_seconds_bucket{le="+Inf"}'):
        assert metric(after, name) == metric(before, name) + 1, name
    assert metric(after, 'kavvix_dives_journaled_total') == 0
    assert metric(after, 'kavvix_journal_backlog') == 0
    assert metric(after, 'kavvix_http_requests_total{route="/metrics",code="200"}') >= 1
    assert metric(after, 'kavvix_http_requests_total{route="/healthz",code="200"}') >= 1


def test_unhealthy_once_the_console_device_is_gone(served):
    served['simulator'].stop()
    status, body = wait_until(
        lambda: (lambda answer: answer if answer[0] == 503 else None)(
            request(served['url'] + '/healthz')))
    report = json.loads(body)
    assert report['database'] == 'ok' and report['journal'] == 'ok'
    assert report['console'].startswith('COM 1 is closed')
    assert report['error'].startswith('console: COM 1 is closed')
