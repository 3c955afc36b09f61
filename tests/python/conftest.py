"""What the tests of the Python module share: console frames, and the console simulator with the
sample meet (both from the kavvix tool, named by KAVVIX_TOOL)."""

import os
import subprocess

import pytest

TOOL = os.environ.get("KAVVIX_TOOL", "kavvix")
SYN, SOH, STX, EOT, ETB = b"\x16", b"\x01", b"\x02", b"\x04", b"\x17"


def frame(command: str, data: str) -> bytes:
    """A timing console frame, its checksum the byte sum after SYN as two hex digits."""
    body = b"1" + b"0000000" + SOH + command.encode() + data.encode("latin-1") + EOT
    return SYN + body + b"%02X" % (sum(body) % 256) + ETB


@pytest.fixture
def meet(tmp_path) -> str:
    database = str(tmp_path / "meet.sqlite")
    subprocess.run([TOOL, "sample-db", database], check=True, capture_output=True)
    return database


@pytest.fixture
def console():
    """console(*options): a console simulator started with the options; returns its device."""
    started = []

    def start(*options: str) -> str:
        process = subprocess.Popen([TOOL, "simulate", "--port", "1", *options],
                                   stdout=subprocess.PIPE, text=True)
        started.append(process)
        return next(line for line in process.stdout if line.startswith("Console simulator on ")
                    ).split()[-1]

    yield start
    for process in started:
        process.terminate()
        process.wait(timeout=10)
        process.stdout.close()
