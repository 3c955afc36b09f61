#!/usr/bin/env python3
"""Writes a configuration that runs the packaged nginx site for the mirrors on loopback, as an
ordinary user, with everything nginx writes kept in one folder:

    scripts/nginx_edge.py FOLDER PORT MIRROR_PORT... [--clients-per-address N] [--workers N]
    nginx -p FOLDER -c FOLDER/nginx.conf -e FOLDER/error.log -g 'daemon off;'

The site is packaging/nginx/kavvix-mirrors.conf with only its listening address, its mirrors'
addresses and, when asked (a benchmark's clients all come from 127.0.0.1), its limit of feed
clients per address changed. Several workers share the port (reuseport), so that each holds its
part of the clients within the open files one process may have.
"""
import argparse
import os
import pathlib
import pwd
import re

SITE = pathlib.Path(__file__).resolve().parents[1] / 'packaging/nginx/kavvix-mirrors.conf'


def site_for(port, mirror_ports, clients_per_address=None, workers=1, site=SITE):
    text = pathlib.Path(site).read_text()
    shared = ' reuseport' if workers > 1 else ''
    text, listens = re.subn(r'^( *)listen 80;\n(?: *listen \[::\]:80;\n)?',
                            rf'\1listen 127.0.0.1:{port}{shared};\n', text, flags=re.M)
    servers = re.findall(r'^ *server \S+:8470 (.*);\n', text, flags=re.M)
    if listens != 1 or not servers:
        raise ValueError(f'{site}: no "listen 80;" or no mirror "server ...:8470" lines')
    upstream = ''.join(f'    server 127.0.0.1:{p} {servers[0]};\n' for p in mirror_ports)
    text = re.sub(r'(?:^ *server \S+:8470 .*;\n)+', upstream, text, count=1, flags=re.M)
    if clients_per_address:
        text = re.sub(r'limit_conn kavvix_feeds \d+;',
                      f'limit_conn kavvix_feeds {clients_per_address};', text)
    return text


def write(folder, port, mirror_ports, clients_per_address=None, workers=1, site=SITE):
    """FOLDER/nginx.conf and FOLDER/site.conf; room for every client and its mirror connection,
    with a fifth to spare for a worker that gets more than its share."""
    folder = pathlib.Path(folder)
    (folder / 'site.conf').write_text(
        site_for(port, mirror_ports, clients_per_address, workers, site))
    connections = 2 * (clients_per_address or 100) * 6 // (5 * workers) + 256
    # Started as root, nginx would hand its workers to an unprivileged user that cannot write
    # the folder: keep them as the user who started it.
    user = f'user {pwd.getpwuid(os.geteuid()).pw_name};\n' if os.geteuid() == 0 else ''
    temp = ''.join(f'    {kind}_temp_path {folder / kind};\n'
                   for kind in ('client_body', 'proxy', 'fastcgi', 'uwsgi', 'scgi'))
    (folder / 'nginx.conf').write_text(
        f'{user}worker_processes {workers};\nworker_rlimit_nofile {connections + 64};\n'
        f'pid {folder / "nginx.pid"};\n'
        f'events {{ worker_connections {connections}; }}\n'
        f'http {{\n    access_log {folder / "access.log"};\n{temp}'
        f'    include {folder / "site.conf"};\n}}\n')


if __name__ == '__main__':
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('folder')
    parser.add_argument('port', type=int)
    parser.add_argument('mirror_ports', type=int, nargs='+')
    parser.add_argument('--clients-per-address', type=int)
    parser.add_argument('--workers', type=int, default=1)
    arguments = parser.parse_args()
    write(arguments.folder, arguments.port, arguments.mirror_ports,
          arguments.clients_per_address, arguments.workers)
