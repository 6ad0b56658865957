# SPDX-License-Identifier: GPL-3.0-or-later
# A demo played on a ticket, made the same game under another ticket of the
# same luck (a day's tickets all share one): its ticket's id replaced, and
# with BEST the records its header starts with, the checksum made right again.
#   python3 retick.py DEMO TICKET.json OUT [BEST]
import json, sys, zlib
demo, ticket, out = sys.argv[1:4]
d = bytearray(open(demo, "rb").read())
t = json.load(open(ticket))
n = d[10]
if len(sys.argv) > 4:
    d[16 + n:20 + n] = int(sys.argv[4]).to_bytes(4, "little")  # the best score the game started with
at = 11 + n + 1 + 14 + 12  # after the flags, the clock, records and reads, the sizes of the stream
assert d[8] == 2 and d[at] == 1, "not a demo played on a ticket"
assert d[at + 17:at + 25] == int(t["seed"], 16).to_bytes(8, "little"), "the ticket has another luck"
d[at + 1:at + 17] = bytes.fromhex(t["ticket"])
d[-4:] = zlib.crc32(bytes(d[:-4])).to_bytes(4, "little")
open(out, "wb").write(d)
