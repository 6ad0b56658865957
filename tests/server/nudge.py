# SPDX-License-Identifier: GPL-3.0-or-later
# Nudged clocks: a demo whose clock reads are moved a millisecond here and
# there, as a machine's jitter could move them, every checksum made right.
# Before tickets, that chose a game's luck; on a ticket it must not.
#   python3 nudge.py DEMO OUT SEED [COUNT]   (COUNT clock reads moved, default 1)
import random, struct, sys, zlib
demo, out, seed = sys.argv[1], sys.argv[2], int(sys.argv[3])
count = int(sys.argv[4]) if len(sys.argv) > 4 else 1
d = bytearray(open(demo, "rb").read())
n = d[10]
sizes = 11 + n + 1 + 14  # the raw size, its checksum and the packed size follow
raw_size, raw_crc, packed = struct.unpack_from("<III", d, sizes)
stream = sizes + 12
if d[8] >= 2:
    stream += 1 + (16 + 8 + 1 + d[stream + 25] if d[stream] == 1 else 0)
raw = bytearray(zlib.decompress(bytes(d[stream:stream + packed])))
assert len(raw) == raw_size
rng = random.Random(seed)
clocks = []
def var(p):
    while raw[p] & 0x80: p += 1
    return p + 1
p = 0
while p < len(raw):
    c = raw[p]
    if c < 0x80:  # a clock read, so many ms after the last: moved by one, either way
        if 1 <= c <= 126: clocks.append(p)
        p += 1
    elif c < 0x90 or c in (0x92, 0x93, 0x94, 0x95, 0x9A): p += 1
    elif c == 0x90: p = var(p + 1) + 1
    elif c in (0x91, 0x96, 0x98, 0x99): p = var(p + 1)
    elif c == 0x97:
        p = var(p + 1); ok = raw[p]; p += 1
        if ok: p = var(var(var(p)))
    elif c == 0x9B: p += 2 + raw[p + 1]
    else: raise SystemExit("unknown read %#x" % c)
for at in rng.sample(clocks, min(count, len(clocks))):
    raw[at] += rng.choice((-1, 1))
z = zlib.compress(bytes(raw), 9)
head = d[:sizes] + struct.pack("<III", len(raw), zlib.crc32(bytes(raw)), len(z)) + d[sizes + 12:stream]
body = head + z
open(out, "wb").write(body + zlib.crc32(bytes(body)).to_bytes(4, "little"))
