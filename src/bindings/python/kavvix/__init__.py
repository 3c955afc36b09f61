"""Judging console text, the timing console's frames, and event uploads.

The parsers (ColoradoData, DaktronicsData) turn console text into ScoreSet objects; the
receivers (DakProcessor, DakResponse) take the bytes the serial line delivers and report what
the timing console said; upload() and test_connection() talk to the console over a serial
device and yield the operator's message lines as they happen.
"""

from typing import Callable, Generator, Optional

from ._kavvix import (
    ClosedError,
    ColoradoData,
    CommError,
    DakProcessor,
    DakResponse,
    DaktronicsData,
    DiveResult,
    FrameRejected,
    JobResult,
    KavvixError,
    PacketError,
    ParseError,
    ResponseOK,
    ScoreSet,
    SoftwareVersion,
    _Job,
    __version__,
)

__all__ = [
    "ClosedError", "ColoradoData", "CommError", "DakProcessor", "DakResponse", "DaktronicsData",
    "DiveResult", "FrameRejected", "JobError", "JobResult", "KavvixError", "PacketError", "ParseError",
    "ResponseOK", "ScoreSet", "SoftwareVersion", "test_connection", "upload",
]


class JobError(KavvixError):
    """An upload or a connection test did not succeed; result says how it ended.

    validation lists, for an event that failed its checks, each problem with the dives at
    fault (the same as result.validation); its message names them.
    """

    def __init__(self, result: JobResult) -> None:
        text = result.kind + (": " + result.detail if result.detail else "")
        super().__init__(text)
        self.result = result
        self.validation = result.validation


def upload(database: str, meet_id: str, event_id: str, device: str, order: str = "A",
           on_progress: Optional[Callable[[int, int], None]] = None,
           ) -> Generator[str, None, JobResult]:
    """Uploads one event of a meet to the timing console on a serial device.

    database is an SQLite file or a postgresql:// URL, order the console's dive order A to D.
    The device is reached as port number 1 (KAVVIX_COM1 is set to it for this process).
    Returns a generator of the operator message lines ("Sending packet 1", ...) that runs the
    upload while it is iterated; it returns the JobResult, and raises JobError when the upload
    did not end with every frame acknowledged. Leaving the loop early cancels the upload.
    on_progress(sent, total), when given, is called as frames are written: frame number sent
    of the total to send.
    Raises ValueError or KavvixError at once when an argument, the database or the meet is
    wrong.
    """
    return _follow(_Job.upload(database, meet_id, event_id, order, device), on_progress)


def test_connection(device: str) -> Generator[str, None, JobResult]:
    """Asks the timing console on a serial device for its software version.

    As upload(): a generator of message lines that returns the JobResult (its detail is the
    version text) or raises JobError when the console did not answer with its version.
    """
    return _follow(_Job.connection_test(device))


def _follow(job: _Job, on_progress: Optional[Callable[[int, int], None]] = None,
            poll_seconds: float = 0.25) -> Generator[str, None, JobResult]:
    shown = (0, 0)
    try:
        while True:
            lines = job.wait(poll_seconds)
            if on_progress is not None and job.progress != shown:
                shown = job.progress
                on_progress(*shown)
            yield from lines
            if job.finished and not lines:
                break
        result: JobResult = job.result
        if not result.succeeded:
            raise JobError(result)
        return result
    finally:
        job.close()


# Keeps pytest from collecting test_connection as a test in modules that import it by name.
test_connection.__test__ = False  # type: ignore[attr-defined]

