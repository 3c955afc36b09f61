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


def served(started, *arguments):
    """A kavvix serve process on a loopback port of its own, its log lines collected."""
    port = free_port()
    process = subprocess.Popen([KAVVIX, 'serve', *arguments, '--listen', f'127.0.0.1:{port}'],
                               stderr=subprocess.PIPE, text=True)
    started.callback(lambda: process.poll() is None and (process.terminate() or process.wait(10)))
    log = Lines(process.stderr)
    wait_until(lambda: accepting(port) or process.poll() is not None, 30)
    assert process.poll() is None, '\n'.join(log.snapshot())
    return {'port': port, 'process': process, 'log': log}


@pytest.fixture(scope='module')
def meet():
    """A sample meet in a new database of the KAVVIX_TEST_PG_* cluster, else of one of its own."""
    found = {key: value for key, value in os.environ.items() if key.startswith('KAVVIX_TEST_PG_')}
    own = not found.get('KAVVIX_TEST_PG_HOST')
    if own:
        found = dict(re.findall(r'(KAVVIX_TEST_PG_\w+)=(\S+)', subprocess.run(
            [CLUSTER_SCRIPT, 'start'], check=True, capture_output=True, text=True).stdout))
    host, port, user = (found[f'KAVVIX_TEST_PG_{key}'] for key in ('HOST', 'PORT', 'USER'))
    name = f'kavvix_nginx_{os.getpid()}'
    subprocess.run(['psql', '-h', host, '-p', port, '-U', user, '-d', 'postgres', '-qc',
                    f'CREATE DATABASE {name}'], check=True, capture_output=True)
    url = f"postgresql://{user}@{host.replace('/', '%2F')}:{port}/{name}"
    subprocess.run([KAVVIX, 'sample-db', url], check=True, capture_output=True)
    yield url
    if own:
        subprocess.run([CLUSTER_SCRIPT, 'stop', found['KAVVIX_TEST_PG_DIR']], check=True)


@pytest.fixture(scope='module')
def layout(meet, tmp_path_factory):
    """The pool's service with its console, two mirrors and nginx in front of the mirrors; each
    stopped at the end, or as soon as one of them fails to start."""
    assert NGINX, 'nginx is not installed (scripts/setup-debian.sh installs it)'
    folder = tmp_path_factory.mktemp('edge')
    with contextlib.ExitStack() as started:
        simulator = Simulator(str(folder / 'console'))
        started.callback(simulator.stop)
        served(started, '--db', meet, '--meet', 'RIV26', '--event', 'E12',  # the pool's
               '--device', str(folder / 'console'), '--journal', str(folder / 'journal'))
        mirrors = [served(started, '--mirror', '--db', meet, '--meet', 'RIV26') for _ in range(2)]
        port = free_port()
        nginx_edge.write(folder, port, [mirror['port'] for mirror in mirrors], site=SITE)
        edge = subprocess.Popen([NGINX, '-p', str(folder), '-c', str(folder / 'nginx.conf'),
                                 '-e', str(folder / 'error.log'), '-g', 'daemon off;'])
        started.callback(lambda: edge.terminate() or edge.wait(10))
        wait_until(lambda: accepting(port) or edge.poll() is not None)
        assert edge.poll() is None, (folder / 'error.log').read_text()
        yield {'url': f'http://127.0.0.1:{port}', 'ws': f'ws://127.0.0.1:{port}/live',
               'simulator': simulator, 'mirrors': mirrors}


def mirror_lines(layout, text):
    return [mirror['log'].count(text) for mirror in layout['mirrors']]


@pytest.mark.parametrize('method, path, status', [
    ('POST', '/api/events/E12/upload', 405),
    ('GET', '/operator', 404),
    ('GET', '/metrics', 404),
])
def test_the_audience_writes_nothing_and_reaches_no_operator_page(layout, method, path, status):
    answer, headers, body = http_request(layout['url'] + path, method,
                                         {} if method == 'POST' else None)
    assert answer == status, body
    if status == 405:
        assert headers['Allow'] == 'GET, HEAD' and 'error' in json.loads(body)
    assert sum(mirror_lines(layout, f' {path} ')) == 0  # refused by nginx: no mirror saw it


def test_a_page_loads_with_its_scripts_and_styles_over_both_mirrors(layout):
    before = mirror_lines(layout, ' GET /pages/')
    status, _, page = http_request(layout['url'] + '/results?event=E12')
    assert status == 200, page
    assets = re.findall(r'(?:href|src)="(/pages/[^"]+)"', page)
    assert '/pages/sheet.js' in assets
    for path in assets:
        assert http_request(layout['url'] + path)[0] == 200, path
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
    layout['mirrors'][0]['process'].terminate()
    for _ in range(6):
        assert http_request(layout['url'] + '/api/meet')[0] == 200
    dives = asyncio.run(dives_at(layout['ws'], 2, lambda: layout['simulator'].dive(
        round=1, order=4, total=48.0, dive_total=48.0)))
    assert [(d['DiveRound'], d['DivingOrder']) for d in dives] == [(1, 4)] * 2
