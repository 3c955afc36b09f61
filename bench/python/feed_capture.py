"""The real console capture, repeated 100 times, through kavvix.DakProcessor and
kavvix.DakResponse in 4 KiB chunks: megabytes per second of the process's CPU time (steadier
than the clock on a shared machine), median of three runs.

    PYTHONPATH=build-release/python python3 bench/python/feed_capture.py [CAPTURE]
"""

import pathlib
import statistics
import sys
import time

import kavvix

CHUNK = 4096
REPEATS = 100


def rate(receiver_class, stream):
    seconds = []
    for _ in range(3):
        receiver = receiver_class()
        start = time.process_time()
        for offset in range(0, len(stream), CHUNK):
            receiver.feed(stream[offset:offset + CHUNK])
        seconds.append(time.process_time() - start)
    return len(stream) / statistics.median(seconds) / 1e6


def main():
    default = pathlib.Path(__file__).parents[2] / "tests/data/allsport5000-j5-output.bin"
    capture = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else default).read_bytes()
    stream = capture * REPEATS
    print(f"{len(stream)} bytes ({len(capture)} x {REPEATS}) through the Python module, CPU time")
    for name, receiver_class in (("receive processor", kavvix.DakProcessor),
                                 ("response receiver", kavvix.DakResponse)):
        way = f"Python feed(), {CHUNK // 1024} KiB chunks"
        print(f"{name}  {way:<36} {rate(receiver_class, stream):7.1f} MB/s")


if __name__ == "__main__":
    main()
