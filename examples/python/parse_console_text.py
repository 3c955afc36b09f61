"""Reads judging console text into score sets.

    python3 parse_console_text.py             # a Colorado record and a Daktronics packet
"""

import kavvix

colorado = kavvix.ColoradoData()
scores = colorado.parse("\x02xDiverA/DiverB,12,3,105[B],2.4,7.5,8,7,7.5,8,0,0,0,0,0,"
                        "55.2,100.5,155.7y\x04")
print(f"{scores.PrimaryDiver} and {scores.SynchroPartner}, dive {scores.DiveNumber} "
      f"DD {scores.DiveDD}: judges {scores.Judge1Score} to {scores.Judge5Score}, "
      f"total {scores.CurrentTotal}")

try:
    colorado.parse("\x02x1,2,3y\x04")
except kavvix.ParseError as problem:
    print("the console sent too little:", problem)

# Daktronics packets each carry some fields of one record; they add up until
# initialize_items().
with kavvix.DaktronicsData() as daktronics:
    packet = b"\x01" b"00421" b"00081" b"\x02" b"7.5 8.0 7.0 " b"\x04"
    if daktronics.contains_valid_command(packet):
        scores = daktronics.parse(packet)
        print("judges:", scores.Judge1Score, scores.Judge2Score, scores.Judge3Score)
