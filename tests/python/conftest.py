"""What the tests of the Python module share: console frames, and the console simulator with the
sample meet (both from the kavvix tool, named by KAVVIX_TOOL)."""

import os
import subprocess

import pytest

SYN, SOH, STX, EOT, ETB = b"\x16", b"\x01", b"\x02", b"\x04", b"\x17"


def frame(command: str, data: str) -> bytes:
    """A timing console frame, its checksum the byte sum after SYN as two hex digits."""
    body = b"1" + b"0000000" + SOH + command.encode() + data.encode("latin-1") + EOT
    return SYN + body + b"%02X" % (sum(body) % 256) + ETB


@pytest.fixture
def tool() -> str:
    path = os.environ.get("KAVVIX_TOOL")
    if not path:
        pytest.skip("KAVVIX_TOOL names no kavvix tool")
    return path


@pytest.fixture
def meet(tool, tmp_path) -> str:
    database = tmp_path / "meet.sqlite"
    subprocess.run([tool, "sample-db", str(database)], check=True, capture_output=True)
    return str(database)


@pytest.fixture
def console(tool):
    """console(*options): a console simulator started with the options; returns its device."""
    started = []

    def start(*options: str) -> str:
        process = subprocess.Popen([tool, "simulate", "--port", "1", *options],
                                   stdout=subprocess.PIPE, text=True)
        started.append(process)
        for line in process.stdout:
            if line.startswith("Console simulator on "):
                return line.split()[-1]
        raise RuntimeError("the simulator did not start")

    yield start
    for process in started:
        process.terminate()
        process.wait(timeout=10)
        process.stdout.close()
