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
    (folder / 'token').write_text('first-secret\n')
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        port = probe.getsockname()[1]
    config = folder / 'kavvix.conf'
    config.write_text(f'# as an administrator writes it\n'
                      f'database = {database}\nmeet = RIV26\nevent = E12\n'
                      f'device = {by_id}\nlisten = 127.0.0.1:{port}\n'
                      f'token-file = {folder / "token"}\nlog = {folder / "serve.log"}\n')

    # What systemd gives a Type=notify service with WatchdogSec=.
    notifications = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    notifications.bind(str(folder / 'notify'))
    environment = dict(os.environ, NOTIFY_SOCKET=str(folder / 'notify'), WATCHDOG_USEC='400000')

    with open(os.environ['KAVVIX_UNIT']) as unit:  # ExecStart, split as systemd splits it
        line = next(line for line in unit if line.startswith('ExecStart='))
    command = shlex.split(line.removeprefix('ExecStart=').strip())
    assert command[1:3] == ['serve', '--config'] and '--token' not in command
    command[0] = KAVVIX
    command[command.index('--config') + 1] = str(config)
    process = subprocess.Popen(command, env=environment)
    ready = received(notifications, until='READY=1')
    assert ready[-1].startswith('READY=1\nSTATUS=serving meet RIV26'), ready
    url = f'http://127.0.0.1:{port}'
    wait_until(lambda: http_request(url + '/healthz')[0] == 200)
    yield {'url': url, 'process': process, 'folder': folder, 'simulator': simulator,
           'notifications': notifications}
    process.send_signal(signal.SIGTERM)
    assert process.wait(10) == 0
    assert 'STOPPING=1' in received(notifications)
    simulator.stop()  # unless a test stopped it already


def test_healthy_with_watchdog_pings_from_the_running_loop(served):
    status, _, body = http_request(served['url'] + '/healthz')
    assert (status, json.loads(body)) == (200, {'console': 'ok', 'database': 'ok',
                                                'journal': 'ok'})
    # Half the watchdog interval apart: several in a second.
    time.sleep(1)
    assert received(served['notifications']).count('WATCHDOG=1') >= 3


def test_token_comes_from_the_token_file_and_again_on_sighup(served):
    def change(token):
        return http_request(served['url'] + '/api/current-event', 'PUT', {'eventId': 'E12'},
                            token)[0]
    assert (change(None), change('first-secret')) == (401, 200)

    (served['folder'] / 'token').write_text('second-secret\n')
    log = served['folder'] / 'serve.log'
    log.rename(log.with_suffix('.log.1'))  # as a log rotator moves it
    served['process'].send_signal(signal.SIGHUP)
    wait_until(lambda: log.exists() and 'reload: configuration read again' in log.read_text())
    assert 'RELOADING=1' in received(served['notifications'], until='READY=1')
    assert (change('first-secret'), change('second-secret')) == (401, 200)


def test_metrics_move_when_a_dive_arrives(served):
    before = http_request(served['url'] + '/metrics')[2]
    served['simulator'].dive(round=1, order=3, total=50.4, dive_total=50.4)
    log = served['folder'] / 'serve.log'
    wait_until(lambda: 'round 1 order 3: stored' in log.read_text())
    after = http_request(served['url'] + '/metrics')[2]
    for name in ('kavvix_dives_stored_total', 'kavvix_dives_announced_total',
                 'kavvix_announce_latency_seconds_count'):
        assert metric(after, name) == metric(before, name) + 1, name
    assert metric(after, 'kavvix_journal_backlog') == 0


def test_unhealthy_once_the_console_device_is_gone(served):
    served['simulator'].stop()
    status, _, body = wait_until(
        lambda: (lambda answer: answer if answer[0] == 503 else None)(
            http_request(served['url'] + '/healthz')))
    report = json.loads(body)
    assert report['console'].startswith('COM 1 is closed')
    assert report['error'].startswith('console: COM 1 is closed')
