import pytest

import kavvix
from conftest import EOT, SOH, STX

RECORD = "\x02xZoë/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,55.2,100.5,155.7y\x04"


# Bytes are the serial line's characters, one byte each.
@pytest.mark.parametrize("text", [RECORD, RECORD.encode("latin-1")])
def test_colorado_record(text):
    s = kavvix.ColoradoData().parse(text)
    assert (s.DataIsValid, s.PrimaryDiver, s.SynchroPartner, s.DiverNumber, s.DiveNumber, s.DiveDD,
            s.Judge1Score, s.Judge10Score, s.CurrentTotal) == \
        (True, "Zoë", "DiverB", 12, "105B", 2.4, 7.5, 0, 155.7)


@pytest.mark.parametrize("text, error, match", [
    ("\x02x1,2,3y\x04", kavvix.ParseError, "Only 3 items of data"),
    ("\x02x\udcff,1y\x04", UnicodeEncodeError, "surrogate"),
    (42, TypeError, "str or bytes"),
])
def test_colorado_failures(text, error, match):
    with pytest.raises(error, match=match):
        kavvix.ColoradoData().parse(text)


def test_daktronics_judges_packet():
    parser = kavvix.DaktronicsData()
    packet = SOH + b"00421" + b"00081" + STX + b"7.5 8.0 7.0 " + EOT
    assert parser.contains_valid_command(packet)
    assert (parser.parse(packet).Judge2Score, parser.have_judges_scores,
            parser.data_is_complete) == (8.0, True, False)
    parser.number_of_judges_required = 5
    assert parser.number_of_judges_required == 5
    with pytest.raises(kavvix.ParseError, match=r"\(5\)"):
        parser.parse(SOH + b"004" + STX + b"x" + EOT)


@pytest.mark.parametrize("make, use", [
    (kavvix.ColoradoData, lambda p: p.parse("x")),
    (kavvix.DakResponse, lambda p: p.reset()),
])
def test_closed_objects(make, use):
    with make() as obj:
        use(obj)
    with pytest.raises(kavvix.ClosedError):
        use(obj)
    obj.close()  # closing again is harmless
