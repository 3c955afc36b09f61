"""Type hints of the compiled part of kavvix."""

from typing import Callable, List, Optional, Tuple, TypedDict, Union

Text = Union[str, bytes, bytearray]
Bytes = Union[bytes, bytearray, memoryview]

__version__: str

class KavvixError(Exception): ...
class ParseError(KavvixError): ...
class ClosedError(KavvixError): ...

class ScoreSet:
    DataIsValid: bool
    PrimaryDiver: str
    SynchroPartner: str
    DiverNumber: int
    CurrentRound: int
    DiveNumber: str
    DivePosition: str
    DiveDD: float
    Judge1Score: float
    Judge2Score: float
    Judge3Score: float
    Judge4Score: float
    Judge5Score: float
    Judge6Score: float
    Judge7Score: float
    Judge8Score: float
    Judge9Score: float
    Judge10Score: float
    DiveTotal: float
    StartingScore: float
    CurrentTotal: float

class DiveResult:
    EventNumberN: int
    EventNumberA: str
    Stage: str
    InsertOrder: str
    DiveRound: int
    DivingOrder: int
    DiveNumber: str
    DivePos: str
    DiveDD: float
    J1Score: float
    J2Score: float
    J3Score: float
    J4Score: float
    J5Score: float
    J6Score: float
    J7Score: float
    J8Score: float
    J9Score: float
    BALKflag: str
    FAILflag: str
    DiveTotal: float
    TotalScore: float
    BoardLevel: str

class SoftwareVersion:
    version: str
    def __init__(self, version: str) -> None: ...

class CommError:
    message: str
    def __init__(self, message: str) -> None: ...

class FrameRejected:
    check: str
    frame: bytes
    def __init__(self, check: str, frame: bytes) -> None: ...

class ResponseOK:
    def __init__(self) -> None: ...

class PacketError:
    message: str
    response_code: str
    def __init__(self, message: str, response_code: str = "") -> None: ...

class ValidationDive(TypedDict):
    reg_id: str
    diving_order: int  # 0 when not set
    round: int

class ValidationProblem(TypedDict, total=False):
    check: str  # "zero-dd", "diving-order-not-set", "order-not-sequential", ...
    line: str  # the operator message line of the check
    fatal: bool  # False for the blank dive number warning
    text: str  # "DD zero or missing: diving order 3 (RegID 902) round 3"
    dives: List[ValidationDive]  # the first 50 dives at fault
    dive_count: int  # all dives at fault
    divers: int  # "too-many-divers"
    missing_orders: List[int]  # "order-not-sequential"
    missing_order_count: int

class JobResult:
    kind: str
    succeeded: bool
    response_code: str
    detail: str
    validation: List[ValidationProblem]

class ColoradoData:
    def __init__(self) -> None: ...
    def parse(self, text: Text) -> ScoreSet: ...
    def close(self) -> None: ...
    def __enter__(self) -> "ColoradoData": ...
    def __exit__(self, *args: object) -> None: ...

class DaktronicsData:
    number_of_judges_required: int
    def __init__(self) -> None: ...
    def parse(self, text: Text) -> ScoreSet: ...
    def contains_valid_command(self, text: Text) -> bool: ...
    @property
    def data_is_complete(self) -> bool: ...
    @property
    def have_judges_scores(self) -> bool: ...
    def initialize_items(self) -> None: ...
    def close(self) -> None: ...
    def __enter__(self) -> "DaktronicsData": ...
    def __exit__(self, *args: object) -> None: ...

ProcessorEvent = Union[SoftwareVersion, CommError, DiveResult, FrameRejected]
ResponseEvent = Union[ResponseOK, PacketError]

class DakProcessor:
    def __init__(
        self,
        *,
        on_software_version: Optional[Callable[[str], object]] = None,
        on_comm_error: Optional[Callable[[str], object]] = None,
        on_dive_result: Optional[Callable[[DiveResult], object]] = None,
        on_frame_rejected: Optional[Callable[[str, bytes], object]] = None,
    ) -> None: ...
    def feed(self, data: Bytes) -> List[ProcessorEvent]: ...
    def software_version_request(self) -> bytes: ...
    def close(self) -> None: ...
    def __enter__(self) -> "DakProcessor": ...
    def __exit__(self, *args: object) -> None: ...

class DakResponse:
    def __init__(
        self,
        *,
        on_response_ok: Optional[Callable[[], object]] = None,
        on_packet_error: Optional[Callable[[str, str], object]] = None,
    ) -> None: ...
    def feed(self, data: Bytes) -> List[ResponseEvent]: ...
    def reset(self) -> None: ...
    def close(self) -> None: ...
    def __enter__(self) -> "DakResponse": ...
    def __exit__(self, *args: object) -> None: ...

class _Job:
    @staticmethod
    def upload(database: str, meet_id: str, event_id: str, order: str, device: str) -> "_Job": ...
    @staticmethod
    def connection_test(device: str) -> "_Job": ...
    def wait(self, timeout: float) -> List[str]: ...
    @property
    def finished(self) -> bool: ...
    @property
    def progress(self) -> Tuple[int, int]: ...
    @property
    def result(self) -> JobResult: ...
    def cancel(self) -> None: ...
    def close(self) -> None: ...
