import pytest

import kavvix
from conftest import frame

DIVE_DATA = ("012A10030007 105B2.43M       6.5 7.0 7.0 6.5 7.5 7.0 6.5 " + " " * 10 +
             " 50.40150.40")


def test_dive_result_fields():
    # A frame split across feeds: the receiver keeps what it has between calls.
    processor, data = kavvix.DakProcessor(), frame("305", DIVE_DATA)
    [dive] = processor.feed(data[:40]) + processor.feed(data[40:])
    assert isinstance(dive, kavvix.DiveResult)
    assert [getattr(dive, name) for name in (
        "EventNumberN EventNumberA Stage InsertOrder DiveRound DivingOrder DiveNumber DivePos "
        "DiveDD BoardLevel J1Score J5Score J9Score BALKflag FAILflag DiveTotal TotalScore")
        .split()] == [12, "A", "1", "0", 3, 7, " 105", "B", 2.4, "3M       ", 6.5, 7.5, 0,
                      " ", " ", 50.4, 150.4]


@pytest.mark.parametrize("data, events", [
    (frame("100", "OmniSport 2000 Ver 3.12".ljust(40)),
     [kavvix.SoftwareVersion("OmniSport 2000 Ver 3.12")]),
    (frame("900", "01"), [kavvix.CommError("Buffer Overrun")]),
    # bytes above 127 are characters like any other
    (b"\x16\x80\xff\xe9\x17", [kavvix.FrameRejected("header digit", b"\x16\x80\xff\xe9\x17")]),
    (b"", []),
])
def test_processor_events(data, events):
    assert kavvix.DakProcessor().feed(data) == events


@pytest.mark.parametrize("data, events", [
    (frame("900", "06"), [kavvix.PacketError("Not ready to Receive Data", "06")]),
    (frame("900", "00") + frame("900", "07"), [kavvix.ResponseOK(), kavvix.ResponseOK()]),
    (frame("900", "00")[:-3] + b"0A\x17", [kavvix.PacketError("Checksum Error", "")]),
    (frame("305", DIVE_DATA), []),
])
def test_response_events(data, events):
    assert kavvix.DakResponse().feed(memoryview(data)) == events


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
    # Fed from inside a callback, bytes are queued behind the rest of the outer feed.
    orders = []

    def feed_again(result):
        orders.append(result.DivingOrder)
        if len(orders) < 4:
            processor.feed(frame("305", DIVE_DATA.replace("0007 105", "0008 105")))

    processor = kavvix.DakProcessor(on_dive_result=feed_again)
    events = processor.feed(frame("305", DIVE_DATA) + frame("900", "01"))
    assert orders == [7, 8, 8, 8]
    assert [type(e).__name__ for e in events] == ["DiveResult", "CommError", "DiveResult",
                                                   "DiveResult", "DiveResult"]


def test_feed_takes_bytes_only_and_requests_the_version():
    for data in ("text", 3, memoryview(b"abcd")[::2]):
        with pytest.raises((TypeError, ValueError)):
            kavvix.DakProcessor().feed(data)
    assert kavvix.DakProcessor().software_version_request() == frame("200", "")
