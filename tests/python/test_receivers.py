import pytest

import kavvix
from conftest import frame

DIVE_DATA = ("012A10030007 105B2.43M       6.5 7.0 7.0 6.5 7.5 7.0 6.5 " + " " * 10 +
             " 50.40150.40")
DIVE = frame("305", DIVE_DATA)


def test_dive_result_fields():
    # A frame split across feeds: the receiver keeps what it has between calls.
    processor = kavvix.DakProcessor()
    [dive] = processor.feed(DIVE[:40]) + processor.feed(DIVE[40:])
    assert (dive.EventNumberN, dive.EventNumberA, dive.DivingOrder, dive.DiveNumber, dive.DiveDD,
            dive.BoardLevel, dive.J1Score, dive.J9Score, dive.FAILflag, dive.TotalScore) == \
        (12, "A", 7, " 105", 2.4, "3M       ", 6.5, 0, " ", 150.4)


@pytest.mark.parametrize("receiver, data, events", [
    (kavvix.DakProcessor, frame("100", "OmniSport 2000 Ver 3.12".ljust(40)),
     [kavvix.SoftwareVersion("OmniSport 2000 Ver 3.12")]),
    (kavvix.DakProcessor, frame("900", "01"), [kavvix.CommError("Buffer Overrun")]),
    # bytes above 127 are characters like any other
    (kavvix.DakProcessor, b"\x16\x80\xff\xe9\x17",
     [kavvix.FrameRejected("header digit", b"\x16\x80\xff\xe9\x17")]),
    (kavvix.DakResponse, frame("900", "06"), [kavvix.PacketError("Not ready to Receive Data", "06")]),
    (kavvix.DakResponse, frame("900", "00") + frame("900", "07"), [kavvix.ResponseOK()] * 2),
])
def test_events_of_a_feed(receiver, data, events):
    assert receiver().feed(memoryview(data)) == events


def test_callbacks_get_the_event_fields():
    seen = []
    response = kavvix.DakResponse(on_response_ok=lambda: seen.append("ok"),
                                  on_packet_error=lambda m, c: seen.append((m, c)))
    response.feed(frame("900", "00") + frame("900", "02"))
    assert seen == ["ok", ("Checksum Error", "02")]


def test_a_raising_callback_raises_from_feed():
    seen = []

    def on_error(message):
        seen.append(message)
        if len(seen) == 1:
            raise KeyError(message)

    processor = kavvix.DakProcessor(on_comm_error=on_error)
    with pytest.raises(KeyError, match="Buffer Overrun"):
        processor.feed(frame("900", "01") + frame("900", "02"))
    assert seen == ["Buffer Overrun"]  # no callback after the one that raised
    assert processor.feed(frame("900", "03")) == [kavvix.CommError("Invalid Packet Type")]
    assert seen[-1] == "Invalid Packet Type"


def test_a_callback_may_close_its_receiver():
    processor = kavvix.DakProcessor(on_comm_error=lambda m: processor.close())
    processor.feed(frame("900", "01") + frame("900", "02"))
    with pytest.raises(kavvix.ClosedError):
        processor.feed(b"x")


def test_bytes_fed_from_a_callback_follow_in_order():
    # Fed from inside a callback, bytes are queued behind the rest of the outer feed, whose
    # result lists their events too.
    orders = []

    def feed_again(result):
        orders.append(result.DivingOrder)
        if len(orders) < 4:
            processor.feed(frame("305", DIVE_DATA.replace("0007 105", "0008 105")))

    processor = kavvix.DakProcessor(on_dive_result=feed_again)
    events = processor.feed(DIVE + frame("900", "01"))
    assert orders == [7, 8, 8, 8]
    assert [type(e).__name__ for e in events] == ["DiveResult", "CommError", "DiveResult",
                                                   "DiveResult", "DiveResult"]


def test_feed_takes_bytes_only_and_requests_the_version():
    for data in ("text", 3, memoryview(b"abcd")[::2]):
        with pytest.raises((TypeError, ValueError)):
            kavvix.DakProcessor().feed(data)
    assert kavvix.DakProcessor().software_version_request() == frame("200", "")
