import pytest

import kavvix
from conftest import EOT, SOH, STX

RECORD = "DiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7"


@pytest.mark.parametrize("text", ["\x02x" + RECORD + "y\x04",
                                  ("\x02x" + RECORD + "y\x04").encode("latin-1")])
def test_colorado_record(text):
    s = kavvix.ColoradoData().parse(text)
    assert [getattr(s, name) for name in (
        "DataIsValid PrimaryDiver SynchroPartner DiverNumber CurrentRound DiveNumber DiveDD "
        "Judge1Score Judge2Score Judge5Score Judge10Score DiveTotal StartingScore CurrentTotal")
        .split()] == [True, "DiverA", "DiverB", 12, 3, "105B", 2.4, 7.5, 8, 8, 0, 55.2, 100.5,
                      155.7]


@pytest.mark.parametrize("text, error, match", [
    ("\x02x1,2,3y\x04", kavvix.ParseError, "Only 3 items of data"),
    ("\x02x" + RECORD.replace(",12,", ",40000,") + "y\x04", kavvix.ParseError, r"\(6\)"),
    ("\x02x\udcff,1y\x04", UnicodeEncodeError, "surrogate"),
    (42, TypeError, "str or bytes"),
])
def test_colorado_failures(text, error, match):
    with pytest.raises(error, match=match):
        kavvix.ColoradoData().parse(text)


def test_colorado_text_beyond_ascii():
    parser = kavvix.ColoradoData()
    assert parser.parse("\x02xZoë" + RECORD[13:] + "y\x04").PrimaryDiver == "Zoë"
    # Bytes are the serial line's characters, one byte each.
    assert parser.parse(b"\x02xZo\xeb" + RECORD[13:].encode() + b"y\x04").PrimaryDiver == "Zoë"


def test_daktronics_judges_packet():
    parser = kavvix.DaktronicsData()
    packet = SOH + b"00421" + b"00081" + STX + b"7.5 8.0 7.0 " + EOT
    assert parser.contains_valid_command(packet)
    s = parser.parse(packet)
    assert (s.Judge1Score, s.Judge2Score, s.Judge3Score) == (7.5, 8.0, 7.0)
    assert parser.have_judges_scores and not parser.data_is_complete
    parser.number_of_judges_required = 5
    assert parser.number_of_judges_required == 5
    with pytest.raises(kavvix.ParseError, match=r"\(5\)"):
        parser.parse(SOH + b"004" + STX + b"x" + EOT)
    parser.initialize_items()
    assert not parser.have_judges_scores


@pytest.mark.parametrize("make, use", [
    (kavvix.ColoradoData, lambda p: p.parse("x")),
    (kavvix.DaktronicsData, lambda p: p.data_is_complete),
    (kavvix.DakProcessor, lambda p: p.feed(b"x")),
    (kavvix.DakResponse, lambda p: p.reset()),
])
def test_closed_objects(make, use):
    with make() as obj:
        use(obj)
    with pytest.raises(kavvix.ClosedError):
        use(obj)
    obj.close()  # closing again is harmless
