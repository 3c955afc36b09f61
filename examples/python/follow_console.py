"""Follows the timing console on a serial line, or a recording of one, and prints what it says.

    python3 follow_console.py FILE           # a capture of the console's output
    python3 follow_console.py /dev/ttyUSB0   # the line itself (9600 baud, even parity, 8N1
                                             # set up beforehand, e.g. with stty)
"""

import sys

import kavvix


def dive_line(dive: kavvix.DiveResult) -> str:
    judges = [dive.J1Score, dive.J2Score, dive.J3Score, dive.J4Score, dive.J5Score]
    return (f"round {dive.DiveRound} diver {dive.DivingOrder}: {dive.DiveNumber.strip()}"
            f"{dive.DivePos} DD {dive.DiveDD} judges {judges} -> {dive.DiveTotal}")


def main() -> None:
    # Callbacks run as each event completes ...
    processor = kavvix.DakProcessor(
        on_software_version=lambda version: print("console version:", version))
    with open(sys.argv[1], "rb", buffering=0) as line:
        while chunk := line.read(4096):
            # ... and feed() returns every event the chunk completed.
            for event in processor.feed(chunk):
                if isinstance(event, kavvix.DiveResult):
                    print(dive_line(event))
                elif isinstance(event, kavvix.CommError):
                    print("console error:", event.message)


if __name__ == "__main__":
    main()
