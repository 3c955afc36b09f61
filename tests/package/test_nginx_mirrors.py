"""The championship layout on one machine: Debian's nginx with the packaged mirrors
configuration, in front of two mirrors on one PostgreSQL meet database, and the pool's own
service with the console simulator. nginx runs in the foreground as the test's user, with its
prefix, logs and pid file in a temporary folder; the configuration is the packaged file with
only its listening address and its mirrors' addresses put in (scripts/nginx_edge.py).

KAVVIX_CLI names the kavvix tool, KAVVIX_NGINX_SITE the packaged configuration. The PostgreSQL
cluster is the one of KAVVIX_TEST_PG_* (scripts/test.sh starts it), else one of the test's own.
"""
import asyncio
import contextlib
import json
import os
import re
import shutil
import socket
import subprocess
import sys

import pytest
import websockets

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, '..', 'pages'), os.path.join(HERE, '..', '..', 'scripts')]
import nginx_edge  # noqa: E402  (the configuration around the packaged site)
from conftest import Lines, Simulator, http_request, wait_until  # noqa: E402  (the pages')

KAVVIX = os.environ.get('KAVVIX_CLI', 'kavvix')
SITE = os.environ['KAVVIX_NGINX_SITE']
CLUSTER_SCRIPT = os.path.join(HERE, '..', '..', 'scripts', 'pg-cluster.sh')
NGINX = shutil.which('nginx', path=os.environ.get('PATH', '') + ':/usr/sbin')


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def accepting(port):
    with socket.socket() as probe:
        return probe.connect_ex(('127.0.0.1', port)) == 0


class Served:
    """A kavvix serve process on a loopback port of its own, its log lines collected."""

    def __init__(self, started, *arguments):
        self.port = free_port()
        self.process = subprocess.Popen(
            [KAVVIX, 'serve', *arguments, '--listen', f'127.0.0.1:{self.port}'],
            stderr=subprocess.PIPE, text=True)
        started.callback(self.stop)
        self.log = Lines(self.process.stderr)
        wait_until(lambda: accepting(self.port) or self.process.poll() is not None, 30)
        assert self.process.poll() is None, '\n'.join(self.log.snapshot())

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


@pytest.fixture(scope='module')
def cluster():
    """(host folder, port, user) of a PostgreSQL server."""
    if os.environ.get('KAVVIX_TEST_PG_HOST'):
        yield tuple(os.environ[f'KAVVIX_TEST_PG_{key}'] for key in ('HOST', 'PORT', 'USER'))
        return
    exports = subprocess.run([CLUSTER_SCRIPT, 'start'], check=True, capture_output=True,
                             text=True).stdout
    found = dict(re.findall(r'(KAVVIX_TEST_PG_\w+)=(\S+)', exports))
    yield tuple(found[f'KAVVIX_TEST_PG_{key}'] for key in ('HOST', 'PORT', 'USER'))
    subprocess.run([CLUSTER_SCRIPT, 'stop', found['KAVVIX_TEST_PG_DIR']], check=True)


@pytest.fixture(scope='module')
def meet(cluster):
    host, port, user = cluster
    name = f'kavvix_nginx_{os.getpid()}'
    subprocess.run(['psql', '-h', host, '-p', port, '-U', user, '-d', 'postgres', '-qc',
                    f'CREATE DATABASE {name}'], check=True, capture_output=True)
    url = f"postgresql://{user}@{host.replace('/', '%2F')}:{port}/{name}"
    subprocess.run([KAVVIX, 'sample-db', url], check=True, capture_output=True)
    return url


@pytest.fixture(scope='module')
def layout(meet, tmp_path_factory):
    """The pool's service with its console, two mirrors and nginx in front of the mirrors; each
    stopped at the end, or as soon as one of them fails to start."""
    assert NGINX, 'nginx is not installed (scripts/setup-debian.sh installs it)'
    folder = tmp_path_factory.mktemp('edge')
    with contextlib.ExitStack() as started:
        simulator = Simulator(str(folder / 'console'))
        started.callback(simulator.stop)
        Served(started, '--db', meet, '--meet', 'RIV26', '--event', 'E12',  # the pool's
               '--device', str(folder / 'console'), '--journal', str(folder / 'journal'))
        mirrors = [Served(started, '--mirror', '--db', meet, '--meet', 'RIV26') for _ in range(2)]
        port = free_port()
        nginx_edge.write(folder, port, [mirror.port for mirror in mirrors], site=SITE)
        edge = subprocess.Popen([NGINX, '-p', str(folder), '-c', str(folder / 'nginx.conf'),
                                 '-e', str(folder / 'error.log'), '-g', 'daemon off;'])
        started.callback(lambda: edge.terminate() or edge.wait(10))
        wait_until(lambda: accepting(port) or edge.poll() is not None)
        assert edge.poll() is None, (folder / 'error.log').read_text()
        yield {'url': f'http://127.0.0.1:{port}', 'ws': f'ws://127.0.0.1:{port}/live',
               'simulator': simulator, 'mirrors': mirrors}


def mirror_lines(layout, text):
    return [mirror.log.count(text) for mirror in layout['mirrors']]


@pytest.mark.parametrize('method, path, status', [
    ('GET', '/', 200),
    ('HEAD', '/meet', 200),
    ('GET', '/api/events/E12/standings', 200),
    ('POST', '/api/events/E12/upload', 405),
    ('PUT', '/api/current-event', 405),
    ('GET', '/operator', 404),
    ('GET', '/metrics', 404),
])
def test_the_audience_reads_and_writes_nothing(layout, method, path, status):
    body = {} if method in ('POST', 'PUT') else None
    answer, headers, body = http_request(layout['url'] + path, method, body)
    assert answer == status, body
    if status == 405:
        assert headers['Allow'] == 'GET, HEAD'
        assert 'error' in json.loads(body)
    if status == 200:  # by one mirror, a HEAD asked as a GET
        wait_until(lambda: sum(mirror_lines(layout, f' GET {path} 200')) == 1)
    else:  # refused by nginx: no mirror saw it
        assert sum(mirror_lines(layout, f' {path} ')) == 0


def test_a_page_loads_with_its_scripts_and_styles_over_both_mirrors(layout):
    before = mirror_lines(layout, ' GET /pages/')
    pending, loaded = ['/results?event=E12'], set()
    while pending:
        path = pending.pop()
        status, headers, body = http_request(layout['url'] + path)
        assert status == 200, f'{path}: {status} {body}'
        loaded.add(path)
        found = re.findall(r'(?:href|src)="(/pages/[^"]+)"', body)
        found += ['/pages/' + name for name in re.findall(r"from '\./([^']+)'", body)]
        pending += [p for p in found if p not in loaded and p not in pending]
    assert {'/pages/results.js', '/pages/feed.js'} <= loaded
    headers = http_request(layout['url'] + '/results')[1]
    assert "default-src 'none'" in headers['Content-Security-Policy']
    # Requests one after another go round the mirrors.
    wait_until(lambda: all(a > b for a, b in zip(mirror_lines(layout, ' GET /pages/'), before)))


async def dives_at(url, clients, send_dive):
    """Opens the clients, sends a dive, and gives each client's first dive message."""
    sockets = [await websockets.connect(url) for _ in range(clients)]
    send_dive()

    async def first_dive(ws):
        while True:
            message = json.loads(await ws.recv())
            if message['type'] == 'dive':
                return message['dive']
    try:
        return await asyncio.wait_for(asyncio.gather(*(first_dive(ws) for ws in sockets)), 15)
    finally:
        for ws in sockets:
            await ws.close()


def test_a_dive_from_the_console_reaches_feed_clients_on_each_mirror(layout):
    before = mirror_lines(layout, 'WS /live 101')
    dives = asyncio.run(dives_at(layout['ws'], 6, lambda: layout['simulator'].dive(
        round=1, order=3, total=50.4, dive_total=50.4)))
    assert [(d['DiveRound'], d['DivingOrder']) for d in dives] == [(1, 3)] * 6
    # Feed connections are held open, so each new one goes to the mirror with fewer.
    wait_until(lambda: [a - b for a, b in zip(mirror_lines(layout, 'WS /live 101'), before)]
               == [3, 3])


def test_a_mirror_down_leaves_pages_and_feed_to_the_other(layout):
    layout['mirrors'][0].stop()
    for _ in range(6):
        assert http_request(layout['url'] + '/api/meet')[0] == 200
    dives = asyncio.run(dives_at(layout['ws'], 2, lambda: layout['simulator'].dive(
        round=1, order=4, total=48.0, dive_total=48.0)))
    assert [(d['DiveRound'], d['DivingOrder']) for d in dives] == [(1, 4)] * 2
