#!/usr/bin/env python3
"""A meet day compressed: kavvix serve with the console simulator, a stream of judged dives,
feed clients, uploads and connection tests, and faults at random moments (kill and restart,
device hang-up and return, database lock, database stop and SIGSTOP, oversized requests).
At the end it counts what it promises: dives sent while the line was up against those stored
and those announced, doubles, memory and open files, and every stall over a second.

    soak.py --tool build/apps/kavvix/kavvix --db sqlite|postgresql --seconds 60 [--pg-dir DIR]

Exit 0 when nothing was lost or doubled, memory and open files stayed flat and nothing stalled
for over a second (the feed, /api/meet, /operator), during a database outage or outside one;
1 otherwise. Flat means: the same process, over the quiet last fifth of the run (dives still
arriving, no faults), grew by less than FLAT_KIB of resident memory and held at most FLAT_FILES
more open files at its end than at its start. Only the Python standard library.
"""

import argparse
import base64
import json
import os
import random
import re
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

MEET, EVENT = "RIV26", "E12"
STALL = 1.0
FLAT_KIB = 2048
FLAT_FILES = 2


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Feed(threading.Thread):
    """A /live client that reconnects whenever it is dropped and keeps every dive it is told."""

    def __init__(self, port, soak):
        super().__init__(daemon=True)
        self.port, self.soak = port, soak
        self.dives = []  # (round, order) in arrival order
        self.stop = False
        self.connected = threading.Event()

    def connect(self):
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=5)
        key = base64.b64encode(os.urandom(16)).decode()
        sock.sendall((f"GET /live HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\n"
                      f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                      f"Sec-WebSocket-Version: 13\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = sock.recv(1)
            if not chunk:
                raise OSError("closed during the handshake")
            head += chunk
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise OSError("refused: " + head.split(b"\r\n")[0].decode())
        sock.settimeout(1)
        return sock

    @staticmethod
    def read_exact(sock, n, buffer):
        while len(buffer[0]) < n:
            chunk = sock.recv(65536)
            if not chunk:
                raise OSError("closed")
            buffer[0] += chunk
        data, buffer[0] = buffer[0][:n], buffer[0][n:]
        return data

    def run(self):
        while not self.stop:
            try:
                sock = self.connect()
            except OSError:
                time.sleep(0.5)
                continue
            buffer = [b""]
            self.connected.set()
            try:
                while not self.stop:
                    try:
                        head = self.read_exact(sock, 2, buffer)
                    except socket.timeout:
                        continue
                    length = head[1] & 0x7F
                    if length == 126:
                        length = int.from_bytes(self.read_exact(sock, 2, buffer), "big")
                    elif length == 127:
                        length = int.from_bytes(self.read_exact(sock, 8, buffer), "big")
                    payload = self.read_exact(sock, length, buffer)
                    opcode = head[0] & 0x0F
                    if opcode == 8:
                        break
                    if opcode != 1:
                        continue
                    message = json.loads(payload)
                    if message.get("type") == "dive":
                        dive = message["dive"]
                        key = (dive["DiveRound"], dive["DivingOrder"])
                        self.dives.append(key)
                        self.soak.announced(key)
                    elif message.get("type") == "finished":
                        self.soak.job_finished.set()
            except (OSError, ValueError):
                pass
            finally:
                self.connected.clear()
                sock.close()


class Soak:
    def __init__(self, args):
        self.args = args
        self.tool = args.tool
        self.work = tempfile.mkdtemp(prefix="kavvix-soak-")
        self.link = os.path.join(self.work, "console")
        self.journal = os.path.join(self.work, "journal")
        self.log_path = os.path.join(self.work, "serve.log")
        self.port = free_port()
        self.lock = threading.Lock()
        self.sent = {}        # (round, order) -> when sent, only while the line was up
        self.first_seen = {}  # (round, order) -> when first announced
        self.stalls = []      # (what, seconds, at, during an outage)
        self.outages = []     # [start, end] of database outages
        self.line_up = threading.Event()
        self.job_finished = threading.Event()
        self.stop = threading.Event()
        self.counts = {"kills": 0, "hangups": 0, "locks": 0, "db-stops": 0, "sigstops": 0,
                       "oversized": 0, "uploads": 0, "tests": 0}
        self.serve = self.simulator = None
        self.feeds = []
        self.database = self.make_database()

    # --- parts -------------------------------------------------------------------------
    def make_database(self):
        if self.args.db == "sqlite":
            path = os.path.join(self.work, "meet.sqlite")
        else:
            host, port, user = (os.environ[f"KAVVIX_TEST_PG_{k}"] for k in ("HOST", "PORT", "USER"))
            name = f"soak_{os.getpid()}"
            subprocess.run(["psql", "-h", host, "-p", port, "-U", user, "-d", "postgres", "-qc",
                            f"CREATE DATABASE {name}"], check=True, capture_output=True)
            path = (f"postgresql://{user}@{host.replace('/', '%2F')}:{port}/{name}"
                    "?statement_timeout=2000&connect_timeout=2")
            self.pg = (host, port, user, name)
        subprocess.run([self.tool, "sample-db", path], check=True, capture_output=True)
        return path

    def start_simulator(self):
        self.simulator = subprocess.Popen([self.tool, "simulate", "--port", "1", "--commands"],
                                          stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                          text=True, bufsize=1)
        for line in self.simulator.stdout:
            if line.startswith("Console simulator on "):
                device = line.split()[-1]
                break
        threading.Thread(target=lambda out: [None for _ in out], args=(self.simulator.stdout,),
                         daemon=True).start()
        tmp = self.link + ".new"
        os.symlink(device, tmp)
        os.replace(tmp, self.link)

    def start_serve(self):
        log = open(self.log_path, "a")
        self.serve = subprocess.Popen(
            [self.tool, "serve", "--db", self.database, "--meet", MEET, "--event", EVENT,
             "--device", self.link, "--listen", f"127.0.0.1:{self.port}", "--journal",
             self.journal, "--idle-timeout", "5"], stderr=log, stdout=subprocess.DEVNULL)
        self.wait_for_line()

    def get(self, path, timeout=10):
        started = time.monotonic()
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}{path}",
                                        timeout=timeout) as reply:
                body = reply.read()
                return reply.status, body, time.monotonic() - started
        except urllib.error.HTTPError as error:
            return error.code, b"", time.monotonic() - started
        except OSError:
            return 0, b"", time.monotonic() - started

    def post(self, path, body=b"{}"):
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=body,
                                         method="POST")
        try:
            with urllib.request.urlopen(request, timeout=10) as reply:
                return reply.status
        except urllib.error.HTTPError as error:
            return error.code
        except OSError:
            return 0

    def wait_for_line(self, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            status, body, _ = self.get("/api/meet", timeout=2)
            if status == 200 and json.loads(body)["console"]["open"]:
                # Dives are sent once the feed clients are back too.
                for feed in self.feeds:
                    feed.connected.wait(max(0.0, deadline - time.monotonic()))
                self.line_up.set()
                return
            time.sleep(0.1)
        raise RuntimeError("the service did not open the line; see " + self.log_path)

    def rss_and_files(self):
        pid = self.serve.pid
        with open(f"/proc/{pid}/status") as status:
            rss = int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))
        return rss, len(os.listdir(f"/proc/{pid}/fd"))

    # --- what runs during the soak -----------------------------------------------------
    def announced(self, key):
        with self.lock:
            if key not in self.first_seen:
                self.first_seen[key] = time.monotonic()
                sent = self.sent.get(key)
                if sent is not None and self.first_seen[key] - sent > STALL:
                    self.stall("feed", self.first_seen[key] - sent)

    def stall(self, what, seconds):
        now = time.monotonic()
        # Overlapping an outage, give or take a second.
        during = any(now >= start - 1 and now - seconds <= (end or now) + 1
                     for start, end in self.outages)
        self.stalls.append((what, round(seconds, 2), round(now - self.t0, 1), during))

    def dive_stream(self):
        number = 0
        while not self.stop.is_set():
            time.sleep(1 / self.args.rate)
            if not self.line_up.is_set():
                continue
            # The console's frame has two digits for the round and four for the order.
            round_, order = number // 999 + 1, number % 999 + 1
            command = {"dive": {"DiveRound": round_, "DivingOrder": order,
                                "TotalScore": 10.0 + number, "DiveTotal": 10.0 + number}}
            try:
                with self.lock:
                    self.sent[(round_, order)] = time.monotonic()
                self.simulator.stdin.write(json.dumps(command) + "\n")
                self.simulator.stdin.flush()
                number += 1
            except (OSError, ValueError):
                with self.lock:
                    self.sent.pop((round_, order), None)

    def probes(self):
        while not self.stop.is_set():
            for path in ("/api/meet", "/operator"):
                status, _, seconds = self.get(path)
                if seconds > STALL and self.serve.poll() is None and self.line_up.is_set():
                    self.stall(path, seconds)
            time.sleep(0.25)

    # --- faults --------------------------------------------------------------------------
    def pause_line(self):
        self.line_up.clear()
        time.sleep(0.5)  # dives already on their way arrive first

    def kill_and_restart(self):
        self.pause_line()
        self.serve.send_signal(signal.SIGKILL)
        self.serve.wait()
        self.start_serve()
        self.counts["kills"] += 1

    def hang_up(self):
        self.pause_line()
        self.simulator.kill()
        self.simulator.wait()
        # What the new console sends before the service has let go of the old line and opened
        # the new one is not sent while the line is up: wait for the service to see it go.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            status, body, _ = self.get("/api/meet", timeout=2)
            if status == 200 and not json.loads(body)["console"]["open"]:
                break
            time.sleep(0.1)
        self.start_simulator()
        self.wait_for_line()
        self.counts["hangups"] += 1

    def database_lock(self):
        outage = [time.monotonic(), None]
        self.outages.append(outage)
        if self.args.db == "sqlite":
            connection = sqlite3.connect(self.database, isolation_level=None, timeout=10)
            connection.execute("BEGIN EXCLUSIVE")
            time.sleep(3)
            connection.execute("ROLLBACK")
            connection.close()
        else:
            self.psql("BEGIN; LOCK TABLE kavvix_dive_results IN ACCESS EXCLUSIVE MODE; "
                      "SELECT pg_sleep(3); COMMIT;")
        outage[1] = time.monotonic()
        self.counts["locks"] += 1

    def database_stop(self):
        outage = [time.monotonic(), None]
        self.outages.append(outage)
        pg_cluster = os.path.join(os.path.dirname(__file__), "pg-cluster.sh")
        subprocess.run([pg_cluster, "halt", self.args.pg_dir], check=True)
        time.sleep(3)
        subprocess.run([pg_cluster, "resume", self.args.pg_dir], check=True)
        outage[1] = time.monotonic()
        self.counts["db-stops"] += 1

    def database_sigstop(self):
        outage = [time.monotonic(), None]
        self.outages.append(outage)
        pids = [p for p in self.psql(
            f"SELECT pid FROM pg_stat_activity WHERE datname = '{self.pg[3]}' "
            "AND pid <> pg_backend_pid()", capture=True).split() if p.isdigit()]
        for pid in pids:
            os.kill(int(pid), signal.SIGSTOP)
        time.sleep(3)
        for pid in pids:
            os.kill(int(pid), signal.SIGCONT)
        outage[1] = time.monotonic()
        self.counts["sigstops"] += 1

    def psql(self, sql, capture=False):
        host, port, user, name = self.pg
        result = subprocess.run(["psql", "-h", host, "-p", port, "-U", user, "-d", name, "-Atqc",
                                 sql], capture_output=True, text=True)
        return result.stdout

    def oversized(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as sock:
            sock.sendall(b"POST /api/events/E12/upload HTTP/1.1\r\nHost: x\r\n"
                         b"Content-Length: 1000000000\r\n\r\n")
            try:
                answer = sock.recv(100)
            except OSError:
                answer = b""
        if b" 413 " not in answer:
            self.problems.append("an oversized request was not refused with 413")
        self.counts["oversized"] += 1

    def job(self, path, name):
        self.pause_line()
        self.job_finished.clear()
        if self.post(path, b'{"order":"A"}' if "upload" in path else b"{}") == 202:
            self.job_finished.wait(60)
            self.counts[name] += 1
        self.wait_for_line()

    def run(self):
        self.problems = []
        self.start_simulator()
        self.start_serve()
        self.t0 = time.monotonic()
        feeds = self.feeds = [Feed(self.port, self) for _ in range(self.args.clients)]
        for feed in feeds:
            feed.start()
        time.sleep(2)
        start_figures = self.rss_and_files()
        workers = [threading.Thread(target=self.dive_stream, daemon=True),
                   threading.Thread(target=self.probes, daemon=True)]
        for worker in workers:
            worker.start()
        faults = [self.kill_and_restart, self.hang_up, self.database_lock, self.oversized,
                  lambda: self.job(f"/api/events/{EVENT}/upload", "uploads"),
                  lambda: self.job("/api/connection-test", "tests")]
        if self.args.db == "postgresql" and self.args.pg_dir:
            faults += [self.database_stop, self.database_sigstop]
        rng = random.Random(self.args.seed)
        end = self.t0 + self.args.seconds
        # Every kind of fault once in a random order, then at random; none in the last fifth,
        # so that the end figures are those of a service that has settled.
        order = rng.sample(faults, len(faults))
        while time.monotonic() < end - self.args.seconds / 5:
            time.sleep(rng.uniform(1, 3))
            fault = order.pop() if order else rng.choice(faults)
            fault()
        # The quiet stretch: dives go on arriving, no fault; the same process throughout.
        time.sleep(1)
        quiet_pid, quiet_start = self.serve.pid, self.rss_and_files()
        while time.monotonic() < end:
            time.sleep(0.5)
        quiet_end = self.rss_and_files()
        if self.serve.pid != quiet_pid:
            self.problems.append("the service was restarted during the quiet stretch")
        self.line_up.clear()
        time.sleep(3)  # the last dives stored and announced, the journal written
        end_figures = self.rss_and_files()
        self.stop.set()
        for feed in feeds:
            feed.stop = True
        return self.report(feeds, start_figures, end_figures, (quiet_start, quiet_end))

    def stored(self):
        if self.args.db == "sqlite":
            with sqlite3.connect(self.database, timeout=10) as connection:
                rows = connection.execute(
                    "SELECT DiveRound, DivingOrder, COUNT(*) FROM kavvix_dive_results "
                    "WHERE meet_id = ? AND event_id = ? GROUP BY 1, 2", (MEET, EVENT)).fetchall()
        else:
            rows = [tuple(int(v) for v in line.split("|")) for line in self.psql(
                "SELECT DiveRound, DivingOrder, COUNT(*) FROM kavvix_dive_results "
                f"WHERE meet_id = '{MEET}' AND event_id = '{EVENT}' GROUP BY 1, 2").split()]
        return {(r, o): n for r, o, n in rows}

    def report(self, feeds, start_figures, end_figures, quiet):
        stored = self.stored()
        sent = set(self.sent)
        lost = sorted(sent - set(stored))
        doubled_rows = [k for k, n in stored.items() if n > 1]
        doubled_announcements = sum(len(f.dives) - len(set(f.dives)) for f in feeds)
        announced = [len(set(f.dives) & sent) for f in feeds]
        outside = [s for s in self.stalls if not s[3]]
        during = [s for s in self.stalls if s[3]]
        (quiet_kib, quiet_files), (quiet_end_kib, quiet_end_files) = quiet
        figures = {
            "database": self.args.db, "seconds": self.args.seconds, "faults": self.counts,
            "sent while the line was up": len(sent), "stored": len(stored),
            "lost": len(lost), "doubled rows": len(doubled_rows),
            "doubled announcements": doubled_announcements,
            "announced per client (min, max)": [min(announced), max(announced)],
            "never announced": len(sent - set(self.first_seen)),
            "resident KiB, first process at start, last at end": [start_figures[0],
                                                                  end_figures[0]],
            "open files, first process at start, last at end": [start_figures[1],
                                                               end_figures[1]],
            "resident KiB over the quiet stretch (start, end)": [quiet_kib, quiet_end_kib],
            "open files over the quiet stretch (start, end)": [quiet_files, quiet_end_files],
            "stalls over 1 s outside outages": outside,
            "stalls over 1 s during outages": during,
            "problems": self.problems,
        }
        print(json.dumps(figures, indent=1))
        ok = (not lost and not doubled_rows and not doubled_announcements and not self.stalls
              and not self.problems and quiet_end_kib < quiet_kib + FLAT_KIB
              and quiet_end_files <= quiet_files + FLAT_FILES)
        if lost:
            print("lost:", lost[:20], file=sys.stderr)
        return ok

    def close(self):
        for process in (self.serve, self.simulator):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        if self.args.db == "postgresql":
            host, port, user, name = self.pg
            subprocess.run(["psql", "-h", host, "-p", port, "-U", user, "-d", "postgres", "-qc",
                            f"DROP DATABASE IF EXISTS {name} WITH (FORCE)"], capture_output=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--db", choices=["sqlite", "postgresql"], default="sqlite")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--clients", type=int, default=20)
    parser.add_argument("--rate", type=float, default=5, help="judged dives a second")
    parser.add_argument("--pg-dir", help="the cluster folder, for stopping the server")
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    print(f"soak on {args.db}, {args.seconds:.0f} s, seed {args.seed}", flush=True)
    soak = Soak(args)
    try:
        ok = soak.run()
    finally:
        soak.close()
    print(f"soak on {args.db}: {'passed' if ok else 'FAILED'} (log: {soak.log_path})")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
