"""Uploads one event of a meet to the timing console, printing the operator's message lines.

    python3 upload_event.py DATABASE MEET EVENT DEVICE [ORDER]

Try it without hardware: `kavvix sample-db meet.sqlite`, `kavvix simulate` in another
terminal (it prints its device), then
    python3 upload_event.py meet.sqlite RIV26 E12 /dev/pts/N B
"""

import sys
import time

import kavvix


def main() -> int:
    database, meet, event, device = sys.argv[1:5]
    order = sys.argv[5] if len(sys.argv) > 5 else "A"
    try:
        for line in kavvix.test_connection(device):
            print(time.strftime("%H:%M:%S"), line)
        for line in kavvix.upload(database, meet, event, device, order=order):
            print(time.strftime("%H:%M:%S"), line)
    except kavvix.JobError as failure:
        print("upload failed:", failure.result.kind, failure.result.detail, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
